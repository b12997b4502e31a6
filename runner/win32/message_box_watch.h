// The watcher that reports a message box the module shows (message_box_watch_win32.cpp), for
// --show-message-box.
#pragma once

#include <cstdint>

// Watches for a message box of this process; prints its caption, its text and whether `owner`
// owns it on stdout ("caption: ", "text: ", "owner: " lines, UTF-8, line feeds in the text as
// \n) and closes it.
void start_message_box_watch(intptr_t owner);
void stop_message_box_watch();
