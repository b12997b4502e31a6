// The module's message boxes caught on the running thread, through a CBT hook.
#include "bfrun/win32/message_box_catch.h"

#include <windows.h>

#include "bfrun/win32/utf8.h"

namespace {

// Where this thread's catch keeps the box: the hook procedure has no other way to find it.
thread_local CaughtMessageBox* current_box = nullptr;
MessageBoxReport box_report = nullptr;

std::string window_text(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return narrow_utf8(text);
}

bool is_message_box(HWND window) {
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    return lstrcmpW(class_name, L"#32770") == 0;
}

LRESULT CALLBACK on_cbt(int code, WPARAM wparam, LPARAM lparam) {
    // A dialog about to be activated has its controls and text; the message box's text is its
    // static control 0xFFFF. Pressing OK for the user ends MessageBoxW with IDOK.
    const HWND window = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && current_box != nullptr && is_message_box(window)) {
        if (!current_box->caught) {
            current_box->caught = true;
            current_box->caption = window_text(window);
            current_box->text = window_text(GetDlgItem(window, 0xFFFF));
            current_box->owner = reinterpret_cast<intptr_t>(GetWindow(window, GW_OWNER));
        }
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

} // namespace

MessageBoxCatch::MessageBoxCatch() : outer_(current_box) {
    current_box = &box_;
    hook_ = SetWindowsHookExW(WH_CBT, on_cbt, nullptr, GetCurrentThreadId());
}

MessageBoxCatch::~MessageBoxCatch() {
    if (hook_ != nullptr) UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
    current_box = outer_;
}

void set_message_box_report(MessageBoxReport report) {
    box_report = report;
}

void report_message_box(const CaughtMessageBox& box, intptr_t owner_window) {
    if (box.caught && box_report != nullptr) box_report(box, owner_window);
}
