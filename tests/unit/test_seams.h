// What the plug-in would have shown on Windows, recorded by the tests' own message box and
// about box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ShownMessageBox {
    intptr_t owner;
    std::u16string caption;
    std::u16string text;
};

extern std::vector<ShownMessageBox> shown_message_boxes;
extern std::vector<intptr_t> shown_about_boxes; // owner of each about box
