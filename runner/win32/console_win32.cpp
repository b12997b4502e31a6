// Ctrl+C, the console and the owner window, through Win32.
#include "runner/win32/console_win32.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI on_console_event(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE;
    }
    return FALSE;
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

intptr_t create_owner_window() {
    HWND window = CreateWindowExW(0, L"STATIC", L"bfrun", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    return reinterpret_cast<intptr_t>(window);
}

void destroy_owner_window(intptr_t window) {
    if (window != 0) DestroyWindow(reinterpret_cast<HWND>(window));
}
