// The link button's job: turn the button's text into "http://<text>" and hand it to the
// host's file-list suite (BrowseUrl), which opens it in the user's browser.
#pragma once

#include <cstddef>

constexpr size_t kLinkBufferSize = 256;

// Zero-fills address, then writes "http://" and as much of text as fits, always ending in a
// NUL inside the buffer: a text of up to 248 characters is kept whole, a longer one is cut.
void format_link_address(const char* text, char (&address)[kLinkBufferSize]);

// Formats the address and asks the file-list suite to open it. When the suite cannot be had
// (no basic suite, or the host refuses it) nothing happens and nothing reaches the host.
void open_link(const char* text);
