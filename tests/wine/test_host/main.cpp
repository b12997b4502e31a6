// test_host's entry: picks the face named by the first argument (test_host.h).
#include <cstdio>
#include <cwchar>

#include "tests/wine/test_host/test_host.h"

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"profiles") == 0)
        return run_host_profiles(argc - 2, argv + 2);
    if (argc >= 2 && std::wcscmp(argv[1], L"apply") == 0)
        return run_protocol_apply(argc - 2, argv + 2);
    std::fputs("usage: test_host profiles MODULE [PROFILE...]\n"
               "       test_host apply [--module PATH] IN OUT.png [options]\n",
               stderr);
    return 2;
}
