// The plug-in's message boxes: MessageBoxW with MB_OK on Windows (message_box_win32.cpp);
// the unit tests supply their own to observe what would be shown.
#pragma once

#include <cstdint>

// owner: the host window's handle, 0 for none. Strings are UTF-16, NUL-terminated.
void show_message_box(intptr_t owner, const char16_t* caption, const char16_t* text);
