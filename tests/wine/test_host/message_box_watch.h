// test_host apply --show-message-box: the module's message box, which bfrun's code catches and
// closes, reported on stdout (message_box_watch.cpp).
#pragma once

// Prints each caught box's caption, its text and whether bfrun's owner window (the one the run
// hands the module) owns it ("caption: ", "text: ", "owner: " lines, UTF-8, line feeds in the
// text as \n).
void start_message_box_watch();
void stop_message_box_watch();
