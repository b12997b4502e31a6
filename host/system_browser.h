// The user's browser as Windows starts it (ShellExecuteW, "open", in
// system_browser_win32.cpp), for hosts that offer no way of their own; the unit tests supply
// their own to observe what would be opened.
#pragma once

// address: a NUL-terminated 8-bit web address. A failure is not reported: there is nothing
// the about box could do about it.
void open_in_system_browser(const char* address);
