# test_host apply (protocol_apply.cpp): bfrun's run of files, linked from bfrun's own code, with
# the switches that test the host protocol and the watcher of the module's message box.
target_sources(test_host PRIVATE ${CMAKE_CURRENT_LIST_DIR}/protocol_apply.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/message_box_watch.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/common/protocol_switches.cpp)
target_link_libraries(test_host PRIVATE bfrun_windows)
