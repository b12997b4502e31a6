// bfrun's console and window side (console_win32.cpp): Ctrl+C, the owner window handed to
// the module, and the watcher that reports the module's message box.
#pragma once

#include <cstdint>

// After this, Ctrl+C no longer ends bfrun: it makes user_interrupted() true.
void catch_interrupts();
bool user_interrupted();

// stderr is a console window (not a file or a pipe): a progress bar can be drawn there.
bool stderr_is_console();

// The most memory the process has held (its peak working set), in bytes.
uint64_t peak_memory_bytes();

// A hidden top-level window to own the module's dialogs; 0 if none can be made.
intptr_t create_owner_window();
void destroy_owner_window(intptr_t window);

// Watches for a message box of this process; prints its caption, its text and whether `owner`
// owns it on stdout ("caption: ", "text: ", "owner: " lines, UTF-8, line feeds in the text as
// \n) and closes it.
void start_message_box_watch(intptr_t owner);
void stop_message_box_watch();
