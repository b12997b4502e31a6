# The module's resources read back from the built module: the property list through the
# resource API, the version block through the version API. The module's path is given as a
# Windows path on Wine's Z: drive.
add_executable(resources_pipl_test ${CMAKE_CURRENT_LIST_DIR}/resources_pipl_test.cpp)
target_link_options(resources_pipl_test PRIVATE -static)
add_test(NAME wine.resources.pipl COMMAND resources_pipl_test "Z:$<TARGET_FILE:Brightfade>")

add_executable(resources_version_test ${CMAKE_CURRENT_LIST_DIR}/resources_version_test.cpp)
target_link_options(resources_version_test PRIVATE -static)
target_link_libraries(resources_version_test PRIVATE version)
add_test(NAME wine.resources.version COMMAND resources_version_test "Z:$<TARGET_FILE:Brightfade>")

# The string padding of the resource layout, for strings of many lengths.
add_test(NAME wine.resources.string_padding
         COMMAND ${CMAKE_COMMAND} -P ${CMAKE_SOURCE_DIR}/resources/resource_layout_test.cmake)

set_tests_properties(wine.resources.pipl wine.resources.version wine.resources.string_padding
                     PROPERTIES LABELS wine)

# The ARM64 module's resources against the x86-64 module's, when that one is built too.
if(BRIGHTFADE_ARM64 AND BRIGHTFADE_X86_64_MODULE)
  add_test(NAME wine.resources.same_as_x86_64
           COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/same_resources.sh ${BRIGHTFADE_X86_64_MODULE}
                   $<TARGET_FILE:Brightfade>)
  set_tests_properties(wine.resources.same_as_x86_64 PROPERTIES LABELS wine)
endif()
