// The module's message box as bfrun's catch hands it over, printed for the Wine tests.
#include "tests/wine/test_host/message_box_watch.h"

#include <cstdio>
#include <string>

#include "bfrun/win32/message_box_catch.h"

namespace {

// The text on one line: line feeds written as \n.
std::string one_line(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}

void print_box(const CaughtMessageBox& box, intptr_t owner_window) {
    std::printf("caption: %s\ntext: %s\nowner: %s\n", one_line(box.caption).c_str(),
                one_line(box.text).c_str(),
                box.owner != 0 && box.owner == owner_window ? "bfrun's window" : "another window");
    std::fflush(stdout);
}

} // namespace

void start_message_box_watch() {
    set_message_box_report(print_box);
}

void stop_message_box_watch() {
    set_message_box_report(nullptr);
}
