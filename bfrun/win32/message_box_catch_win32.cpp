// The module's message boxes caught among the process's windows.
#include "bfrun/win32/message_box_catch.h"

#include <windows.h>

#include "bfrun/win32/utf8.h"

namespace {

MessageBoxReport box_report = nullptr;

BOOL CALLBACK find_message_box(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        lstrcmpW(class_name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::string window_text(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return narrow_utf8(text);
}

} // namespace

MessageBoxCatch::MessageBoxCatch() : watcher_([this] { watch(); }) {}

MessageBoxCatch::~MessageBoxCatch() {
    finish();
}

const CaughtMessageBox& MessageBoxCatch::finish() {
    stopping_ = true;
    if (watcher_.joinable()) watcher_.join();
    return box_;
}

void MessageBoxCatch::watch() {
    while (!stopping_) {
        HWND box = nullptr;
        EnumWindows(find_message_box, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr) {
            // The first box is kept: its text is the static control 0xFFFF. Pressing OK for the
            // user ends MessageBoxW with IDOK.
            if (!box_.caught) {
                box_.caught = true;
                box_.caption = window_text(box);
                box_.text = window_text(GetDlgItem(box, 0xFFFF));
                box_.owner = reinterpret_cast<intptr_t>(GetWindow(box, GW_OWNER));
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
}

void set_message_box_report(MessageBoxReport report) {
    box_report = report;
}

void report_message_box(const CaughtMessageBox& box, intptr_t owner_window) {
    if (box.caught && box_report != nullptr) box_report(box, owner_window);
}
