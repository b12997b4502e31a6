#include "tests/common/test_seams.h"

#include "about/about_box.h"
#include "host/message_box.h"
#include "host/system_browser.h"

std::vector<ShownMessageBox> shown_message_boxes;
std::vector<ShownAboutBox> shown_about_boxes;
std::vector<std::string> opened_in_system_browser;

void show_message_box(intptr_t owner, const char16_t* caption, const char16_t* text) {
    shown_message_boxes.push_back({owner, caption, text});
}

void show_about_box(intptr_t owner, void* module_instance, AddressOpener open_address) {
    shown_about_boxes.push_back({owner, module_instance, open_address});
}

void open_in_system_browser(const char* address) {
    opened_in_system_browser.emplace_back(address);
}
