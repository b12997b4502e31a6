// Shared by the Windows test programs that work the module's live windows: checks that count
// failures, the module's path as Windows sees it, and finding the thread's open dialog.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "host/host_records.h"

inline int check_failures = 0;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::printf("FAILED %s:%d: %s\n", __FILE__, __LINE__, #condition);                     \
            ++check_failures;                                                                      \
        }                                                                                          \
    } while (0)

#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        const auto& actual_value = (actual);                                                       \
        const auto& expected_value = (expected);                                                   \
        if (!(actual_value == expected_value)) {                                                   \
            std::printf("FAILED %s:%d: %s == %s (got %lld, want %lld)\n", __FILE__, __LINE__,      \
                        #actual, #expected, static_cast<long long>(actual_value),                  \
                        static_cast<long long>(expected_value));                                   \
            ++check_failures;                                                                      \
        }                                                                                          \
    } while (0)

#define CHECK_STR(actual, expected)                                                                \
    do {                                                                                           \
        const std::string& actual_value = (actual);                                                \
        const std::string& expected_value = (expected);                                            \
        if (actual_value != expected_value) {                                                      \
            std::printf("FAILED %s:%d: %s is \"%s\", want \"%s\"\n", __FILE__, __LINE__, #actual,  \
                        actual_value.c_str(), expected_value.c_str());                             \
            ++check_failures;                                                                      \
        }                                                                                          \
    } while (0)

// A path given on the command line by CTest ("/work/...") as a Windows path on Wine's Z:.
inline std::string windows_path(const char* path) {
    std::string out = path[0] == '/' ? std::string("Z:") + path : std::string(path);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// The first visible dialog-class window of this thread: the about box or a message box.
inline HWND find_open_dialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            char name[32] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) == "#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::string window_text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string class_name(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A plain top-level window standing for the host's main window.
inline HWND create_host_window(const char* title, int x, int y, int width, int height) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.lpszClassName = "BrightfadeTestHost";
    RegisterClassA(&window_class);
    // Named outside the CreateWindowA macro: MinGW pastes an "l" onto the WS_ values, which
    // clang-tidy's literal-suffix check then reports inside the macro with no place to point at.
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    HWND window = CreateWindowA("BrightfadeTestHost", title, style, x, y, width, height, nullptr,
                                nullptr, window_class.hInstance, nullptr);
    UpdateWindow(window);
    return window;
}

inline PluginEntry find_plugin_main(HMODULE module) {
    return reinterpret_cast<PluginEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")));
}

// Loads the module at a path CTest gives and finds its entry point; a check fails, and null
// comes back, when either is missing.
inline PluginEntry load_plugin_main(const char* path, HMODULE& module) {
    module = LoadLibraryA(windows_path(path).c_str());
    CHECK(module != nullptr);
    if (module == nullptr) return nullptr;
    const PluginEntry plugin_main = find_plugin_main(module);
    CHECK(plugin_main != nullptr);
    return plugin_main;
}
