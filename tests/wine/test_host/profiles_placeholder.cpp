// A stand-in for the profiles face (host_profiles.cpp), which comes from another branch, so
// that test_host links and its apply face can be tested before it does. Goes when it comes,
// with profiles_placeholder.cmake.
#include <cstdio>

#include "tests/wine/test_host/test_host.h"

int run_host_profiles(int, wchar_t**) {
    std::fputs("test_host profiles: not in this build\n", stderr);
    return 2;
}
