// The watcher that reports a message box the module shows (message_box_watch.cpp), for
// test_host apply --show-message-box.
#pragma once

// Watches for a message box of this process; prints its caption, its text and whether bfrun's
// owner window (the one the run hands the module) owns it on stdout ("caption: ", "text: ",
// "owner: " lines, UTF-8, line feeds in the text as \n) and closes it.
void start_message_box_watch();
void stop_message_box_watch();
