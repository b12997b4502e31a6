// Paths compared through Win32.
#include "bfrun/win32/windows_files.h"

#include <windows.h>

#include "bfrun/win32/utf8.h"

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

namespace {

std::string windows_error_text(DWORD code) {
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return "no such folder";
    if (code == ERROR_ACCESS_DENIED) return "access denied";
    return "Windows error " + std::to_string(code);
}

bool is_folder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen_utf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// FindExInfoBasic leaves out the 8.3 names, though a pattern still matches them: the caller
// matches the long names again itself.
bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
    std::wstring pattern = widen_utf8(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return true; // an empty folder
        error = windows_error_text(code);
        return false;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back(
            {narrow_utf8(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

} // namespace

FileSystemView windows_file_system() {
    return FileSystemView{is_folder, list_folder};
}

bool path_exists(const std::string& path) {
    return GetFileAttributesW(widen_utf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool create_folders(const std::string& path, std::string& error) {
    const std::wstring wide = widen_utf8(path);
    // Each folder on the way, from the first after a drive or share root.
    for (size_t at = wide.find_first_of(L"\\/", 1);; at = wide.find_first_of(L"\\/", at + 1)) {
        const std::wstring part = wide.substr(0, at);
        if (!part.empty() && part.back() != L':' && !CreateDirectoryW(part.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_ACCESS_DENIED) {
            error = "cannot create the folder " + narrow_utf8(part) + " (" +
                    windows_error_text(GetLastError()) + ")";
            return false;
        }
        if (at == std::wstring::npos) break;
    }
    if (is_folder(path)) return true;
    error = "cannot create the folder " + path;
    return false;
}
