// bfrun's console and window side (console_win32.cpp): Ctrl+C, whether stderr is a console,
// and the owner window handed to the module.
#pragma once

#include <cstdint>

// After this, Ctrl+C no longer ends bfrun: it makes user_interrupted() true.
void catch_interrupts();
bool user_interrupted();

// stderr is a console window (not a file or a pipe): a progress bar can be drawn there.
bool stderr_is_console();

// A hidden top-level window to own the module's dialogs; 0 if none can be made.
intptr_t create_owner_window();
void destroy_owner_window(intptr_t window);
