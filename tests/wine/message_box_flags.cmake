# The refusal message boxes' flags, read from the real module's call to MessageBoxW; headless.
add_executable(message_box_flags ${CMAKE_CURRENT_LIST_DIR}/message_box_flags.cpp)
target_link_options(message_box_flags PRIVATE -static)
target_link_libraries(message_box_flags PRIVATE user32)
add_test(NAME wine.message_box.flags COMMAND message_box_flags $<TARGET_FILE:Brightfade>)
set_tests_properties(wine.message_box.flags PROPERTIES LABELS wine TIMEOUT 60)
