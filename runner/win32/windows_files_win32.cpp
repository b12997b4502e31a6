// Paths compared through Win32.
#include "runner/win32/windows_files.h"

#include <windows.h>

#include "runner/win32/utf8.h"

namespace {

std::wstring full_path(const std::string& path) {
    std::wstring wide = widen_utf8(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(length);
    return full;
}

} // namespace

bool same_file(const std::string& a, const std::string& b) {
    const std::wstring x = full_path(a), y = full_path(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}
