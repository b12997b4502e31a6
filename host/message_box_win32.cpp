#include "host/message_box.h"

#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is passed as wide strings");

void show_message_box(intptr_t owner, const char16_t* caption, const char16_t* text) {
    // The answer does not matter: the box has only an OK button.
    MessageBoxW(reinterpret_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(text),
                reinterpret_cast<const wchar_t*>(caption), MB_OK);
}
