// Stand-ins for the module's two windows and the browser, which the benchmarked start call
// never opens.
#include "about/about_box.h"
#include "host/message_box.h"
#include "host/system_browser.h"

void show_message_box(intptr_t, const char16_t*, const char16_t*) {}

void show_about_box(intptr_t, void*, AddressOpener) {}

void open_in_system_browser(const char*) {}
