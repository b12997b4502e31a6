// The module's file through Win32: its property list read as data, its code loaded.
#include "bfrun/win32/module_library.h"

#include <windows.h>

#include <cwchar>

#include "bfrun/win32/file_streams.h"
#include "bfrun/win32/utf8.h"

std::string default_module_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash);
    return narrow_utf8(folder + L"\\Brightfade.8bf");
}

bool read_module_start(const std::string& module_path, std::vector<uint8_t>& bytes,
                       std::string& error) {
    FileSource file;
    if (!file.open(module_path)) {
        error = file.error;
        return false;
    }
    bytes.resize(4096);
    bytes.resize(file.read(bytes.data(), bytes.size()));
    error = file.error;
    return error.empty();
}

std::string module_version_lines(const std::string& module_path) {
    const std::wstring path = widen_utf8(module_path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<uint8_t> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return "";
    struct Translation {
        WORD language, code_page;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation))
        return "";
    wchar_t prefix[64];
    (void)swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translations[0].language,
                   translations[0].code_page);
    std::string lines;
    for (const wchar_t* name : {L"ProductName", L"FileDescription", L"FileVersion",
                                L"ProductVersion", L"CompanyName", L"LegalCopyright"}) {
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), (std::wstring(prefix) + name).c_str(),
                           reinterpret_cast<void**>(&value), &length) &&
            length > 1)
            lines += "  " + narrow_utf8(name) + ": " + narrow_utf8(value) + "\n";
    }
    return lines;
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
