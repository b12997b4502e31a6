// The progress line bfrun prints on stderr, "\r[#####.....]  50% (1/2)", and how often.
#pragma once

#include <cstdint>
#include <string>

std::string progress_line(int32_t done, int32_t total, int width);

// Lets a redraw through at most every 100 ms, and the last step always.
struct ProgressThrottle {
    bool due(int64_t now_ms, int32_t done, int32_t total);
    int64_t last_ms = INT64_MIN;
};
