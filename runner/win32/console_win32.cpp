#include "runner/win32/console_win32.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "runner/win32/windows_files.h"

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> watching{false};
HANDLE watcher = nullptr;
HWND expected_owner = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE;
    }
    return FALSE;
}

BOOL CALLBACK find_message_box(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        std::wstring(class_name) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The window's text in UTF-8, line feeds written as \n so that it stays on one line.
std::string window_text(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    std::string line;
    for (char c : narrow_utf8(text)) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}

DWORD WINAPI watch(void*) {
    while (watching) {
        HWND box = nullptr;
        EnumWindows(find_message_box, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr) {
            // The message text is the static control with id 0xFFFF.
            const std::string caption = window_text(box);
            const std::string text = window_text(GetDlgItem(box, 0xFFFF));
            const bool owned = GetWindow(box, GW_OWNER) == expected_owner;
            std::printf("caption: %s\ntext: %s\nowner: %s\n", caption.c_str(), text.c_str(),
                        owned ? "bfrun's window" : "another window");
            std::fflush(stdout);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

} // namespace

void catch_interrupts() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool user_interrupted() {
    return interrupted;
}

bool stderr_is_console() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

uint64_t peak_memory_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

intptr_t create_owner_window() {
    HWND window = CreateWindowExW(0, L"STATIC", L"bfrun", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    return reinterpret_cast<intptr_t>(window);
}

void destroy_owner_window(intptr_t window) {
    if (window != 0) DestroyWindow(reinterpret_cast<HWND>(window));
}

void start_message_box_watch(intptr_t owner) {
    expected_owner = reinterpret_cast<HWND>(owner);
    watching = true;
    watcher = CreateThread(nullptr, 0, watch, nullptr, 0, nullptr);
}

void stop_message_box_watch() {
    watching = false;
    if (watcher != nullptr) {
        WaitForSingleObject(watcher, 2000);
        CloseHandle(watcher);
        watcher = nullptr;
    }
}
