// The module's file (module_library_win32.cpp): where it is by default, its property list
// read as a host reads it, and its code loaded. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Brightfade.8bf in bfrun.exe's own folder.
std::string default_module_path();

// The first bytes of the module's file (up to 4 KiB), or false and why ("no such file", ...).
bool read_module_start(const std::string& module_path, std::vector<uint8_t>& bytes,
                       std::string& error);

// The module's version strings ("FileVersion: 1.0", ...), a line each; empty if it has none.
std::string module_version_lines(const std::string& module_path);

// The module's PIPL 16000, read with the module loaded as data only.
bool read_property_list(const std::string& module_path, std::vector<uint8_t>& bytes,
                        std::string& error);

void* load_module(const std::string& module_path, std::string& error);
void* find_entry(void* module, const std::string& name);
void unload_module(void* module);
