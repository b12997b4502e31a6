// Files, paths and the module's library through Win32, for bfrun_win32.cpp.
#include "runner/windows_files.h"

#include <windows.h>

std::wstring widen_utf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string narrow_utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

std::string default_module_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash);
    return narrow_utf8(folder + L"\\Brightfade.8bf");
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    HANDLE file = CreateFileW(widen_utf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND
                    ? "no such file"
                    : "cannot open it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart < (1LL << 31);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            DWORD got = 0;
            ok = ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                          nullptr) != 0 &&
                 got > 0;
            done += got;
        }
    }
    CloseHandle(file);
    if (!ok) error = "cannot read it";
    return ok;
}

bool replace_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::wstring target = widen_utf8(path);
    const std::wstring temporary = target + L".bfrun-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot create a file beside it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD put = 0;
        ok = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                       nullptr) != 0;
        done += put;
    }
    ok = CloseHandle(file) != 0 && ok;
    if (ok) ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) {
        error = "write failed (error " + std::to_string(GetLastError()) + ")";
        DeleteFileW(temporary.c_str());
    }
    return ok;
}

bool read_property_list(const std::string& module_path, std::vector<uint8_t>& bytes,
                        std::string& error) {
    // As a host does: as data, without running the module's code.
    HMODULE module = LoadLibraryExW(widen_utf8(module_path).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        error = "cannot load " + module_path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    HRSRC found = FindResourceExW(module, L"PIPL", MAKEINTRESOURCEW(16000),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) found = FindResourceW(module, MAKEINTRESOURCEW(16000), L"PIPL");
    bool ok = found != nullptr;
    if (ok) {
        HGLOBAL loaded = LoadResource(module, found);
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        const DWORD size = SizeofResource(module, found);
        ok = data != nullptr;
        if (ok)
            bytes.assign(static_cast<const uint8_t*>(data),
                         static_cast<const uint8_t*>(data) + size);
    }
    FreeLibrary(module);
    if (!ok) error = module_path + " has no property list (PIPL 16000)";
    return ok;
}

void* load_module(const std::string& module_path, std::string& error) {
    HMODULE module = LoadLibraryW(widen_utf8(module_path).c_str());
    if (module == nullptr)
        error = "cannot load " + module_path + " (error " + std::to_string(GetLastError()) + ")";
    return module;
}

void* find_entry(void* module, const std::string& name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name.c_str()));
}

void unload_module(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
}
