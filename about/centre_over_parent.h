// Where the about box goes when it opens: horizontally centred over the parent's client area
// (nudged left by most of a title-bar button), a third of the free height above it, and kept
// on the screen. Pure arithmetic; about_box_win32.cpp gathers the inputs and moves the window.
#pragma once

#include <cstdint>

struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct CentreInputs {
    ScreenRect parent_client;   // parent's client area, in screen coordinates
    ScreenRect dialog;          // the dialog's window rectangle
    int32_t title_button_width; // SM_CXSIZE
    bool has_system_menu;       // WS_SYSMENU in the dialog's style
    int32_t screen_width;       // SM_CXSCREEN
    int32_t screen_height;      // SM_CYSCREEN
};

struct WindowPlacement {
    int32_t x, y, width, height;
};

WindowPlacement centre_over_parent(const CentreInputs& in);
