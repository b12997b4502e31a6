// Ctrl+C, the console and the owner window, through Win32.
#include "bfrun/win32/console_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<bool> interrupted{false};
std::mutex temporary_lock;
HANDLE temporary_file = nullptr;

// Runs on a thread of its own. For the closing events Windows ends the process when this
// returns (or after a few seconds), so the temporary file is marked for deletion here; it goes
// when its handle is closed, at the latest as the process ends.
BOOL WINAPI on_console_event(DWORD event) {
    interrupted = true;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        std::lock_guard<std::mutex> hold(temporary_lock);
        if (temporary_file != nullptr) {
            FILE_DISPOSITION_INFO remove{TRUE};
            SetFileInformationByHandle(temporary_file, FileDispositionInfo, &remove, sizeof remove);
        }
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

void watch_temporary_file(void* handle) {
    std::lock_guard<std::mutex> hold(temporary_lock);
    temporary_file = static_cast<HANDLE>(handle);
}

bool stderr_is_console() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool console_is_ours_alone() {
    DWORD processes[2];
    DWORD mode = 0;
    return GetConsoleProcessList(processes, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void wait_for_a_key() {
    std::fputs("Press a key to close this window.", stderr);
    std::fflush(stderr);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    for (;;) {
        INPUT_RECORD record{};
        DWORD got = 0;
        if (!ReadConsoleInputW(input, &record, 1, &got) || got == 0) return;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
    }
}

intptr_t create_owner_window() {
    HWND window = CreateWindowExW(0, L"STATIC", L"bfrun", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    return reinterpret_cast<intptr_t>(window);
}

void destroy_owner_window(intptr_t window) {
    if (window != 0) DestroyWindow(reinterpret_cast<HWND>(window));
}
