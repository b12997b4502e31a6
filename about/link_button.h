// The link button's job: turn the button's text into "http://<text>" and hand it to whatever
// opens web addresses for the box (the host's file-list suite, in the module).
#pragma once

#include <cstddef>

constexpr size_t kLinkBufferSize = 256;

// Opens a NUL-terminated 8-bit web address; what it does when it cannot is its own business.
using AddressOpener = void (*)(const char* address);

// Zero-fills address, then writes "http://" and as much of text as fits, always ending in a
// NUL inside the buffer: a text of up to 248 characters is kept whole, a longer one is cut.
void format_link_address(const char* text, char (&address)[kLinkBufferSize]);

// Formats the address and hands it to `open` (nothing happens when `open` is null).
void open_link(const char* text, AddressOpener open);
