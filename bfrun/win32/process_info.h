// What Windows says of this process (process_info_win32.cpp): the processors it runs on and
// the most memory it has held.
#pragma once

#include <cstdint>

// The number of processors Windows runs this process on.
int processor_count();

// The most memory the process has held (its peak working set), in bytes.
uint64_t peak_memory_bytes();
