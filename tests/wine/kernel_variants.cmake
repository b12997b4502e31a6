# The kernel's variants as the Windows build compiles them, checked against the reference under
# Wine, with the variant the kernel chooses by itself.
add_executable(transform_variants ${CMAKE_CURRENT_LIST_DIR}/transform_variants.cpp
                                  ${CMAKE_SOURCE_DIR}/tests/common/variant_check.cpp)
brightfade_add_kernel(transform_variants)
target_link_options(transform_variants PRIVATE -static)
add_test(NAME wine.kernel.variants_match_the_reference COMMAND transform_variants)
set_tests_properties(wine.kernel.variants_match_the_reference PROPERTIES LABELS wine)

# On x86-64 the end-to-end bfrun cases that filter pixels run once more through a test-only
# build of the module whose kernel goes no higher than SSE2 (the plain runs in bfrun.cmake use
# the fastest): the same sources, compiled again with a lower ceiling, beside a copy of bfrun,
# which loads the module from its own folder.
if(NOT BRIGHTFADE_ARM64)
  get_target_property(module_sources Brightfade SOURCES)
  get_target_property(core_sources brightfade_core SOURCES)
  add_library(Brightfade_sse2_only SHARED ${module_sources} ${core_sources})
  set_source_files_properties(${BRIGHTFADE_KERNEL_SIMD_SOURCES}
                              TARGET_DIRECTORY Brightfade_sse2_only
                              PROPERTIES COMPILE_OPTIONS "${BRIGHTFADE_KERNEL_SIMD_OPTIONS}")
  target_compile_options(Brightfade_sse2_only PRIVATE ${BRIGHTFADE_MODULE_OPTIONS})
  target_compile_definitions(Brightfade_sse2_only
                             PRIVATE BRIGHTFADE_KERNEL_CEILING=KernelVariant::sse2)
  target_include_directories(
    Brightfade_sse2_only PRIVATE $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}/resources>)
  target_link_libraries(Brightfade_sse2_only PRIVATE brightfade_protocol user32 shell32)
  target_link_options(Brightfade_sse2_only PRIVATE -static -s)
  set_target_properties(Brightfade_sse2_only PROPERTIES
    PREFIX "" SUFFIX ".8bf" OUTPUT_NAME Brightfade
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sse2-only
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sse2-only)
  # bfrun.exe beside it, copied again whenever either is built.
  add_custom_target(sse2_only_bfrun ALL
                    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:bfrun>
                            ${CMAKE_BINARY_DIR}/sse2-only/bfrun.exe
                    DEPENDS bfrun Brightfade_sse2_only)
  add_dependencies(bfrun_end_to_end sse2_only_bfrun)
  foreach(case core_rgba8 types float selection quirks stops large)
    add_test(NAME wine.bfrun.sse2.${case}
             COMMAND bfrun_end_to_end ${CMAKE_BINARY_DIR}/sse2-only/bfrun.exe
                     $<TARGET_FILE:test_host> ${case})
    set_tests_properties(wine.bfrun.sse2.${case} PROPERTIES LABELS wine)
  endforeach()
endif()
