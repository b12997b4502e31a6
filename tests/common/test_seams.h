// What the plug-in would have shown on Windows, recorded by the tests' own message box, about
// box and system browser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "about/link_button.h"

struct ShownMessageBox {
    intptr_t owner;
    std::u16string caption;
    std::u16string text;
};

struct ShownAboutBox {
    intptr_t owner;
    void* module_instance;
    AddressOpener open_address;
};

extern std::vector<ShownMessageBox> shown_message_boxes;
extern std::vector<std::string> opened_in_system_browser;
extern std::vector<ShownAboutBox> shown_about_boxes;
