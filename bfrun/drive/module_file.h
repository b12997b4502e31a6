// What a module file is, from its first bytes: a Windows DLL for which processor, or not a DLL
// at all; so that bfrun can say why a module will not load, rather than Windows' error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The PE header's machine field (0x8664 x64, 0xAA64 ARM64, 0x14C x86, ...), or 0 when the bytes
// (at least the first 4 KiB of the file, or all of it) hold no PE header.
uint16_t pe_machine(const uint8_t* bytes, size_t size);
// "x64", "ARM64", "32-bit x86", or "machine 0x1C4" for others.
std::string machine_name(uint16_t machine);
// This bfrun's own machine field.
uint16_t this_machine();

// Why a module at `path`, whose first bytes are these, cannot be this bfrun's module; empty
// when its header is fit to load.
std::string module_file_problem(const std::string& path, const uint8_t* bytes, size_t size);
