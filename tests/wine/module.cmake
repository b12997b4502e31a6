# The built module's file format, exports and imports.
add_test(NAME wine.module.exports_and_imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check_module.sh $<TARGET_FILE:Brightfade>
                 x86_64-w64-mingw32-objdump)
set_tests_properties(wine.module.exports_and_imports PROPERTIES LABELS wine)
