#include "host/system_browser.h"

#include <windows.h>

#include <shellapi.h>

#include "about/link_button.h"

void open_in_system_browser(const char* address) {
    // The address comes from the link button's text, at most kLinkBufferSize bytes with its
    // NUL; widened on the stack, as the module keeps no heap of its own.
    wchar_t wide[kLinkBufferSize] = {};
    if (MultiByteToWideChar(CP_ACP, 0, address, -1, wide, kLinkBufferSize) == 0) return;
    ShellExecuteW(nullptr, L"open", wide, nullptr, nullptr, SW_SHOWNORMAL);
}
