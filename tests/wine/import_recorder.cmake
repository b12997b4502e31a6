# What the real module imports and calls, through recorders put in its import address tables;
# headless. The refusal message boxes' flags, and the module's heap calls (none) while it filters.
add_executable(import_recorder ${CMAKE_CURRENT_LIST_DIR}/import_recorder.cpp)
target_link_options(import_recorder PRIVATE -static)
target_link_libraries(import_recorder PRIVATE fake_filter_host user32)
add_test(NAME wine.message_box.flags
         COMMAND import_recorder $<TARGET_FILE:Brightfade> message-box-flags)
add_test(NAME wine.module.no_heap_calls COMMAND import_recorder $<TARGET_FILE:Brightfade> allocations)
set_tests_properties(wine.message_box.flags wine.module.no_heap_calls
                     PROPERTIES LABELS wine TIMEOUT 60)
