# Until host_profiles.cpp comes (profiles_placeholder.cpp says why).
target_sources(test_host PRIVATE ${CMAKE_CURRENT_LIST_DIR}/profiles_placeholder.cpp)
