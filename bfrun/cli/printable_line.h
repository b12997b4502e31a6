// Any text as one printable line for bfrun's messages.
#pragma once

#include <string>

// The text as one printable line: control characters and bytes that are not UTF-8 become '?'.
std::string printable_line(const std::string& text);
