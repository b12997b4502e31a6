// Files, paths and the module's library through Win32, for bfrun_win32.cpp.
#include "runner/win32/windows_files.h"

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

int processor_count() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
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
