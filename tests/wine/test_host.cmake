# test_host, the one program for the module's protocol tests under Wine (test_host/test_host.h).
# Each face keeps its sources and tests in a fragment of its own, test_host/*.cmake.
add_executable(test_host ${CMAKE_CURRENT_LIST_DIR}/test_host/main.cpp)
target_link_options(test_host PRIVATE -static -municode)
add_dependencies(test_host Brightfade)
file(GLOB test_host_faces CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/test_host/*.cmake)
foreach(face IN LISTS test_host_faces)
  include(${face})
endforeach()
