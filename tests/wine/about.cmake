# The about box and the refusal message boxes, live under Wine with a display (label xvfb).
# Each about run is its own process, so that the module's unload is checked run by run.
add_executable(about_host ${CMAKE_CURRENT_SOURCE_DIR}/about_host.cpp)
target_include_directories(about_host SYSTEM PRIVATE /usr/include/stb)
target_link_options(about_host PRIVATE -static)
target_link_libraries(about_host PRIVATE user32 gdi32)

foreach(run IN ITEMS escape enter ok cancel escape_key enter_key no_click refused no_basic_suite
                nothing_handed_out no_owner)
  add_test(NAME wine.about.${run} COMMAND about_host $<TARGET_FILE:Brightfade> ${run})
  set_tests_properties(wine.about.${run} PROPERTIES LABELS xvfb TIMEOUT 60)
endforeach()
# The full run also saves a picture of the open box over its host window.
add_test(NAME wine.about.link COMMAND about_host $<TARGET_FILE:Brightfade> link
                                      ${CMAKE_BINARY_DIR}/about-box.png)
set_tests_properties(wine.about.link PROPERTIES LABELS xvfb TIMEOUT 60)

add_executable(message_box_live ${CMAKE_CURRENT_SOURCE_DIR}/message_box_live.cpp)
target_link_options(message_box_live PRIVATE -static)
target_link_libraries(message_box_live PRIVATE fake_filter_host user32)
add_test(NAME wine.message_box.live COMMAND message_box_live $<TARGET_FILE:Brightfade>)
set_tests_properties(wine.message_box.live PROPERTIES LABELS xvfb TIMEOUT 60)
