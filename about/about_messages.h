// What the about box's dialog procedure does with each window message; the Win32 side
// (about_box_win32.cpp) carries it out. Kept apart from Win32 so it can be tested natively.
#pragma once

#include <cstdint>

// Message numbers as in the Windows headers (about_box_win32.cpp checks they agree).
constexpr uint32_t kMessageInitDialog = 0x0110;
constexpr uint32_t kMessageChar = 0x0102;
constexpr uint32_t kMessageCommand = 0x0111;
constexpr uint32_t kMessageLeftButtonDown = 0x0201;

enum class AboutAction {
    not_handled, // the procedure returns FALSE
    centre,      // place the box over its parent
    swallow,     // handled, nothing to do
    close,       // EndDialog with 0
    open_link,   // open the address on the link button whose id is the command's low word
};

AboutAction about_action(uint32_t message, uint64_t wparam);

// The control id a command message refers to: the low 16 bits of wParam.
inline int32_t command_control_id(uint64_t wparam) {
    return static_cast<int32_t>(wparam & 0xFFFF);
}
