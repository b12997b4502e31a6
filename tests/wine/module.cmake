# The built module's and bfrun's file format, machine, exports and imports.
if(BRIGHTFADE_ARM64)
  set(machine ARM64)
else()
  set(machine AMD64)
endif()
add_test(NAME wine.module.exports_and_imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check_module.sh $<TARGET_FILE:Brightfade>
                 ${machine} module)
add_test(NAME wine.bfrun.imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check_module.sh $<TARGET_FILE:bfrun> ${machine}
                 program)
set_tests_properties(wine.module.exports_and_imports wine.bfrun.imports PROPERTIES LABELS wine)
