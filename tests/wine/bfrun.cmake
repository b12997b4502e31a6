# bfrun, the host, driving the real module end to end on PNG, JPEG and TIFF files made by the
# test. Its
# output is read back with stb_image, a decoder independent of bfrun's; the expected pixels
# come from the kernel's reference rows over the matted input.
add_executable(bfrun_end_to_end ${CMAKE_CURRENT_LIST_DIR}/bfrun_end_to_end.cpp
                                ${CMAKE_SOURCE_DIR}/tests/bfrun/test_png.cpp
                                ${CMAKE_SOURCE_DIR}/tests/bfrun/test_images.cpp)
brightfade_add_kernel(bfrun_end_to_end)
target_include_directories(bfrun_end_to_end SYSTEM PRIVATE /usr/include/stb)
target_link_libraries(bfrun_end_to_end PRIVATE bfrun_core)
target_link_options(bfrun_end_to_end PRIVATE -static)
# The switches that test the host protocol are test_host apply's, which runs files with bfrun's
# own code.
add_dependencies(bfrun_end_to_end bfrun Brightfade test_host)
foreach(case core_rgba8 types float selection quirks stops formats bad_files batch in_place large info
             habits console_closed)
  add_test(NAME wine.bfrun.${case}
           COMMAND bfrun_end_to_end $<TARGET_FILE:bfrun> $<TARGET_FILE:test_host> ${case})
  set_tests_properties(wine.bfrun.${case} PROPERTIES LABELS wine TIMEOUT 600)
endforeach()
# The refusal's real message box needs a display.
add_test(NAME wine.bfrun.message_box
         COMMAND bfrun_end_to_end $<TARGET_FILE:bfrun> $<TARGET_FILE:test_host> message_box)
set_tests_properties(wine.bfrun.message_box PROPERTIES LABELS xvfb TIMEOUT 300)
