// The Win32 side of bfrun's files and of loading the module (windows_files_win32.cpp).
// Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::wstring widen_utf8(const std::string& text);
std::string narrow_utf8(const std::wstring& text);

// Brightfade.8bf in bfrun.exe's own folder.
std::string default_module_path();

// Both paths name one file (compared as full paths, letter case aside).
bool same_file(const std::string& a, const std::string& b);

// The number of processors Windows runs this process on.
int processor_count();

// The module's PIPL 16000, read with the module loaded as data only.
bool read_property_list(const std::string& module_path, std::vector<uint8_t>& bytes,
                        std::string& error);

void* load_module(const std::string& module_path, std::string& error);
void* find_entry(void* module, const std::string& name);
void unload_module(void* module);
