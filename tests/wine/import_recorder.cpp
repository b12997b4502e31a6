// What the real module asks of the system, seen through its import address tables: the test
// loads Brightfade.8bf and points imports of the module at recorders of its own.
//   - message-box-flags: the flags the module passes to MessageBoxW for its two refusals, on a
//     CMYK layer and on a flat RGB image: exactly MB_OK (one OK button, no icon, no modality or
//     placement flags).
//   - allocations: every heap function the module imports counts its calls while PluginMain
//     runs the first filtering of the module's life, a second one, and both refusals; the
//     module allocates nothing, so every count is 0. The second filtering comes from a host
//     that does no matting, which the module then does itself.
// No window opens, so it runs headless.
//
//   import_recorder <module> message-box-flags|allocations
#include "tests/wine/about_test_support.h"
#include "tests/wine/import_patch.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_codes.h"
#include "host/host_records.h"
#include "tests/common/fake_filter_host.h"

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

// --- Heap functions, counted ------------------------------------------------------------------
int heap_calls = 0;
std::vector<std::string> heap_calls_seen;

void count(const char* name) {
    ++heap_calls;
    if (heap_calls_seen.size() < 20) heap_calls_seen.push_back(name);
}

void* counting_malloc(size_t n) {
    count("malloc");
    return std::malloc(n);
}
void* counting_calloc(size_t n, size_t size) {
    count("calloc");
    return std::calloc(n, size);
}
void* counting_realloc(void* p, size_t n) {
    count("realloc");
    return std::realloc(p, n);
}
void counting_free(void* p) {
    if (p != nullptr) count("free");
    std::free(p);
}
char* counting_strdup(const char* s) {
    count("_strdup");
    return _strdup(s);
}
wchar_t* counting_wcsdup(const wchar_t* s) {
    count("_wcsdup");
    return _wcsdup(s);
}
void* counting_aligned_malloc(size_t n, size_t alignment) {
    count("_aligned_malloc");
    return _aligned_malloc(n, alignment);
}
void* counting_aligned_realloc(void* p, size_t n, size_t alignment) {
    count("_aligned_realloc");
    return _aligned_realloc(p, n, alignment);
}
void counting_aligned_free(void* p) {
    if (p != nullptr) count("_aligned_free");
    _aligned_free(p);
}
LPVOID WINAPI counting_heap_alloc(HANDLE heap, DWORD flags, SIZE_T n) {
    count("HeapAlloc");
    return HeapAlloc(heap, flags, n);
}
LPVOID WINAPI counting_heap_realloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T n) {
    count("HeapReAlloc");
    return HeapReAlloc(heap, flags, p, n);
}
HLOCAL WINAPI counting_local_alloc(UINT flags, SIZE_T n) {
    count("LocalAlloc");
    return LocalAlloc(flags, n);
}
HGLOBAL WINAPI counting_global_alloc(UINT flags, SIZE_T n) {
    count("GlobalAlloc");
    return GlobalAlloc(flags, n);
}
LPVOID WINAPI counting_virtual_alloc(LPVOID at, SIZE_T n, DWORD type, DWORD protection) {
    count("VirtualAlloc");
    return VirtualAlloc(at, n, type, protection);
}

struct Counter {
    const char* name;
    void* replacement;
};
const Counter kCounters[] = {
    {"malloc", reinterpret_cast<void*>(counting_malloc)},
    {"calloc", reinterpret_cast<void*>(counting_calloc)},
    {"realloc", reinterpret_cast<void*>(counting_realloc)},
    {"free", reinterpret_cast<void*>(counting_free)},
    {"_strdup", reinterpret_cast<void*>(counting_strdup)},
    {"_wcsdup", reinterpret_cast<void*>(counting_wcsdup)},
    {"_aligned_malloc", reinterpret_cast<void*>(counting_aligned_malloc)},
    {"_aligned_realloc", reinterpret_cast<void*>(counting_aligned_realloc)},
    {"_aligned_free", reinterpret_cast<void*>(counting_aligned_free)},
    {"HeapAlloc", reinterpret_cast<void*>(counting_heap_alloc)},
    {"HeapReAlloc", reinterpret_cast<void*>(counting_heap_realloc)},
    {"LocalAlloc", reinterpret_cast<void*>(counting_local_alloc)},
    {"GlobalAlloc", reinterpret_cast<void*>(counting_global_alloc)},
    {"VirtualAlloc", reinterpret_cast<void*>(counting_virtual_alloc)},
};

// Points each heap function the module imports at its counter; returns their names. Any other
// import whose name speaks of allocating is reported, so that a new one is not missed.
std::vector<std::string> count_heap_imports(HMODULE module) {
    std::vector<std::string> counted;
    for_each_import(module, [&](const char* name, ULONG_PTR* slot) {
        for (const Counter& counter : kCounters) {
            if (std::strcmp(name, counter.name) != 0) continue;
            write_slot(slot, counter.replacement);
            counted.push_back(name);
            return;
        }
        std::string lower(name);
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool speaks_of_allocating =
            lower.find("alloc") != std::string::npos && lower != "tlsalloc" && lower != "flsalloc";
        if (speaks_of_allocating) {
            std::printf("FAILED: the module imports %s, which this test does not count\n", name);
            ++check_failures;
        }
    });
    return counted;
}

// --- A whole filtering run, for the allocation count -------------------------------------------
// 20 rows of 16 RGBA pixels, served band by band from the fake host's image.
constexpr int kRows = 20, kColumns = 16;

// Selectors 1 to 5 on the host's layer, each with the result word cleared first; returns the
// start call's.
int16_t filter_once(FakeFilterHost& host) {
    for (size_t i = 0; i < host.image.size(); ++i)
        host.image[i] = static_cast<unsigned char>(i * 37);
    int16_t start_result = 0x1234;
    for (int16_t selector = 1; selector <= 5; ++selector) {
        host.result = 0;
        host.call(selector);
        if (selector == 3) start_result = host.result;
    }
    return start_result;
}

// One start call on a fresh record; returns the message box calls it made.
std::vector<Call> start(PluginEntry plugin_main, int16_t mode, int16_t filter_case) {
    FakeHostRecord host(plugin_main, 4, 4);
    host.record.imageMode = mode;
    host.record.filterCase = filter_case;
    calls.clear();
    host.call(filterSelectorStart);
    CHECK_EQ(host.result, kFakeHostResult);
    return calls;
}

void check_one_box_with_only_ok(const std::vector<Call>& seen) {
    CHECK_EQ(seen.size(), 1u);
    if (seen.empty()) return;
    std::printf("  flags 0x%08x, owner 0x%llx\n", seen[0].flags,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(seen[0].owner)));
    const UINT only_ok = MB_OK; // not inside CHECK_EQ: see create_host_window
    CHECK_EQ(seen[0].flags, only_ok);
    CHECK(seen[0].owner == reinterpret_cast<HWND>(kFakeHostWindow));
}

} // namespace

int message_box_flags(HMODULE module, PluginEntry plugin_main) {
    void* message_box =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxW"));
    const int patched =
        patch_imports(module, message_box, reinterpret_cast<void*>(record_message_box));
    CHECK_EQ(patched, 1);
    if (patched == 0) return 1;
    std::printf("CMYK layer:\n");
    check_one_box_with_only_ok(start(plugin_main, 4, 4));
    std::printf("RGB flat image:\n");
    check_one_box_with_only_ok(start(plugin_main, 3, 1));
    return 0;
}

int allocations(HMODULE module, PluginEntry plugin_main) {
    void* message_box =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxW"));
    patch_imports(module, message_box, reinterpret_cast<void*>(record_message_box));
    const std::vector<std::string> counted = count_heap_imports(module);
    std::printf("heap functions the module imports, counted:");
    for (const std::string& name : counted)
        std::printf(" %s", name.c_str());
    std::printf("\n");

    FakeFilterHost photoshop(plugin_main, kColumns, kRows);
    CHECK_EQ(filter_once(photoshop), 0);
    // Pixel 0 was (0, 37, 74): 37 x 0.586611 + 74 x 0.114478 = 30.18, grey 30, alpha 225;
    // pixel 1 (148, 185, 222): 44.24 + 108.52 + 25.41 = 178.18, grey 178, alpha 77.
    CHECK_EQ(photoshop.image[0], 30);
    CHECK_EQ(photoshop.image[3], 225);
    CHECK_EQ(photoshop.image[4], 178);
    CHECK_EQ(photoshop.image[7], 77);
    std::printf("first filtering: %d heap calls\n", heap_calls);
    // A host that does no matting (Paint.NET's 'NDP.'): the module composites over white
    // itself. Pixel 0, (0, 37, 74) at alpha 111, is (144, 160, 176) over white: luminance
    // 157.05, so black ink at alpha 98.
    FakeFilterHost paint_net(plugin_main, kColumns, kRows);
    paint_net.record.hostSig = 0x4E44502E;
    CHECK_EQ(filter_once(paint_net), 0);
    CHECK_EQ(paint_net.image[0], 0);
    CHECK_EQ(paint_net.image[2], 0);
    CHECK_EQ(paint_net.image[3], 98);
    CHECK_EQ(start(plugin_main, 4, 4).size(), 1u);
    CHECK_EQ(start(plugin_main, 3, 1).size(), 1u);
    std::printf("in all, after a second filtering and both refusals: %d heap calls", heap_calls);
    for (const std::string& name : heap_calls_seen)
        std::printf(" %s", name.c_str());
    std::printf("\n");
    CHECK_EQ(heap_calls, 0);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: import_recorder <module> message-box-flags|allocations\n");
        return 2;
    }
    HMODULE module = nullptr;
    const PluginEntry plugin_main = load_plugin_main(argv[1], module);
    if (plugin_main == nullptr) return 1;
    const std::string mode = argv[2];
    int status = 2;
    if (mode == "message-box-flags") status = message_box_flags(module, plugin_main);
    if (mode == "allocations") status = allocations(module, plugin_main);
    if (status == 2) std::printf("unknown mode %s\n", mode.c_str());

    FreeLibrary(module);
    std::printf("%s\n", check_failures == 0 && status == 0 ? "passed" : "FAILED");
    return check_failures == 0 && status == 0 ? 0 : 1;
}
