// bfrun's console and window side (console_win32.cpp): Ctrl+C and the console's other events,
// the temporary file those remove, whether stderr is a console, started from Explorer, and the
// owner window handed to the module.
#pragma once

#include <cstdint>

// After this, Ctrl+C no longer ends bfrun: it makes user_interrupted() true. Closing the
// console window, logging off and shutting down do too, and also mark the temporary file
// given to watch_temporary_file() for deletion at once, since Windows ends the process as soon
// as the handler returns.
void catch_interrupts();
bool user_interrupted();
// The open output file to delete should the console go away (nullptr: none).
void watch_temporary_file(void* handle);

// stderr is a console window (not a file or a pipe): a progress line can be drawn there.
bool stderr_is_console();

// bfrun has its console to itself (started from Explorer, as by a drag and drop) and stdin is
// that console: then it waits for a key before it ends, so that its lines can be read.
bool console_is_ours_alone();
void wait_for_a_key();

// A hidden top-level window to own the module's dialogs; 0 if none can be made.
intptr_t create_owner_window();
void destroy_owner_window(intptr_t window);
