#include "tests/unit/test_seams.h"

#include "about/about_box.h"
#include "host/message_box.h"

std::vector<ShownMessageBox> shown_message_boxes;
std::vector<intptr_t> shown_about_boxes;

void show_message_box(intptr_t owner, const char16_t* caption, const char16_t* text) {
    shown_message_boxes.push_back({owner, caption, text});
}

void show_about_box(intptr_t owner) {
    shown_about_boxes.push_back(owner);
}
