// The progress line bfrun prints on stderr: "\r[#####.....]  50% (1/2)".
#pragma once

#include <cstdint>
#include <string>

std::string progress_line(int32_t done, int32_t total, int width);
