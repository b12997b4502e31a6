// Paths as Windows sees them (windows_files_win32.cpp). Paths are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "bfrun/cli/file_arguments.h"

// Both paths name one file (compared as full paths, letter case aside).
bool same_file(const std::string& a, const std::string& b);

// The file system for expanding file arguments: folders and their listings.
FileSystemView windows_file_system();

// Makes the folder and any missing folders above it; true when it exists afterwards.
bool create_folders(const std::string& path, std::string& error);

// The path names an existing file or folder.
bool path_exists(const std::string& path);
