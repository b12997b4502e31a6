// Paths as Windows sees them (windows_files_win32.cpp). Paths are UTF-8.
#pragma once

#include <string>

// Both paths name one file (compared as full paths, letter case aside).
bool same_file(const std::string& a, const std::string& b);
