#include "about/link_button.h"

#include <cstdio>
#include <cstring>

void format_link_address(const char* text, char (&address)[kLinkBufferSize]) {
    std::memset(address, 0, sizeof address);
    // A text too long for the buffer is cut; that is the rule, not a failure.
    (void)std::snprintf(address, sizeof address, "http://%s", text);
}

void open_link(const char* text, AddressOpener open) {
    char address[kLinkBufferSize];
    format_link_address(text, address);
    if (open != nullptr) open(address);
}
