# The kernel's variants as the Windows build compiles them, checked against the reference under
# Wine; the variant BRIGHTFADE_KERNEL forces; and the end-to-end bfrun cases that filter pixels
# once more with the module forced to SSE2 (the plain runs in bfrun.cmake use the fastest).
add_executable(transform_variants ${CMAKE_CURRENT_LIST_DIR}/transform_variants.cpp
                                  ${CMAKE_SOURCE_DIR}/tests/common/variant_check.cpp)
brightfade_add_kernel(transform_variants)
target_link_options(transform_variants PRIVATE -static)
add_test(NAME wine.kernel.variants_match_the_reference COMMAND transform_variants)
add_test(NAME wine.kernel.forced_sse2_is_in_use COMMAND transform_variants in-use sse2)
set_tests_properties(wine.kernel.variants_match_the_reference PROPERTIES LABELS wine)
set_tests_properties(wine.kernel.forced_sse2_is_in_use
                     PROPERTIES LABELS wine ENVIRONMENT BRIGHTFADE_KERNEL=sse2)

foreach(case core_rgba8 types float selection quirks stops large)
  add_test(NAME wine.bfrun.sse2.${case} COMMAND bfrun_end_to_end $<TARGET_FILE:bfrun> ${case})
  set_tests_properties(wine.bfrun.sse2.${case}
                       PROPERTIES LABELS wine ENVIRONMENT BRIGHTFADE_KERNEL=sse2)
endforeach()
