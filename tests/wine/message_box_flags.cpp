// The flags the real module passes to MessageBoxW for its two refusals: exactly MB_OK (one OK
// button, no icon, no modality or placement flags). The test loads Brightfade.8bf, points the
// module's import of USER32's MessageBoxW at a recorder of its own, and runs the start selector
// on a CMYK layer and on a flat RGB image. No window opens, so it runs headless.
//
//   message_box_flags <module>
#include "tests/wine/about_test_support.h"

#include <cstring>
#include <vector>

#include "host/host_records.h"

namespace {

struct Call {
    HWND owner;
    UINT flags;
};

std::vector<Call> calls;

int WINAPI record_message_box(HWND owner, LPCWSTR /*text*/, LPCWSTR /*caption*/, UINT flags) {
    calls.push_back({owner, flags});
    return IDOK;
}

// Replaces every entry of the module's import address tables that holds `target` with
// `replacement`; returns how many were replaced.
int patch_imports(HMODULE module, void* target, void* replacement) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return 0;
    int patched = 0;
    for (auto* import =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        for (auto* slot = reinterpret_cast<ULONG_PTR*>(base + import->FirstThunk); *slot != 0;
             ++slot) {
            if (*slot != reinterpret_cast<ULONG_PTR>(target)) continue;
            DWORD old_protection = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protection);
            *slot = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(slot, sizeof *slot, old_protection, &old_protection);
            ++patched;
        }
    }
    return patched;
}

OSErr advance_state() {
    return 0;
}

// One start call on a fresh record; returns the message box calls it made.
std::vector<Call> start(PluginMainProc plugin_main, int16_t mode, int16_t filter_case) {
    static PlatformData platform;
    platform.hwnd = 0x10010;
    static FilterRecord record;
    std::memset(&record, 0, sizeof record);
    record.imageMode = mode;
    record.filterCase = filter_case;
    record.planes = 4;
    record.depth = 8;
    record.filterRect = {0, 0, 4, 4};
    record.outTileHeight = record.outTileWidth = 64;
    record.platformData = &platform;
    record.advanceState = advance_state;
    calls.clear();
    int16_t result = 0x1234;
    plugin_main(3, &record, nullptr, &result);
    CHECK_EQ(result, 0x1234);
    return calls;
}

void check_one_box_with_only_ok(const std::vector<Call>& seen) {
    CHECK_EQ(seen.size(), 1u);
    if (seen.empty()) return;
    std::printf("  flags 0x%08x, owner 0x%llx\n", seen[0].flags,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(seen[0].owner)));
    const UINT only_ok = MB_OK; // not inside CHECK_EQ: see create_host_window
    CHECK_EQ(seen[0].flags, only_ok);
    CHECK(seen[0].owner == reinterpret_cast<HWND>(0x10010));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: message_box_flags <module>\n");
        return 2;
    }
    HMODULE module = LoadLibraryA(windows_path(argv[1]).c_str());
    CHECK(module != nullptr);
    if (module == nullptr) return 1;
    auto plugin_main = find_plugin_main(module);
    CHECK(plugin_main != nullptr);
    void* message_box =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxW"));
    const int patched =
        patch_imports(module, message_box, reinterpret_cast<void*>(record_message_box));
    CHECK_EQ(patched, 1);
    if (plugin_main == nullptr || patched == 0) return 1;

    std::printf("CMYK layer:\n");
    check_one_box_with_only_ok(start(plugin_main, 4, 4));
    std::printf("RGB flat image:\n");
    check_one_box_with_only_ok(start(plugin_main, 3, 1));

    FreeLibrary(module);
    std::printf("%s\n", check_failures == 0 ? "passed" : "FAILED");
    return check_failures == 0 ? 0 : 1;
}
