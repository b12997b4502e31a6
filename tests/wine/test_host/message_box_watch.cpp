// The watcher that reports the module's message box, through Win32.
#include "tests/wine/test_host/message_box_watch.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "bfrun/win32/utf8.h"

namespace {

std::atomic<bool> watching{false};
HANDLE watcher = nullptr;

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

// bfrun's owner window: a window of this process of the class and title create_owner_window
// gives it (console_win32.cpp), made when the module is loaded.
bool is_owner_window(HWND window) {
    if (window == nullptr) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t class_name[16] = {}, title[16] = {};
    GetClassNameW(window, class_name, 16);
    GetWindowTextW(window, title, 16);
    return process == GetCurrentProcessId() && lstrcmpiW(class_name, L"Static") == 0 &&
           std::wstring(title) == L"bfrun";
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
            const bool owned = is_owner_window(GetWindow(box, GW_OWNER));
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

void start_message_box_watch() {
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
