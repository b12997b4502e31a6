#include "runner/cli/progress_bar.h"

#include <algorithm>

std::string progress_line(int32_t done, int32_t total, int width) {
    const int64_t shown_total = std::max<int64_t>(total, 1);
    const int64_t shown_done = std::clamp<int64_t>(done, 0, shown_total);
    const int64_t filled = shown_done * width / shown_total;
    const int64_t percent = shown_done * 100 / shown_total;
    std::string line = "\r[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(width - filled), '.');
    line += "] ";
    std::string p = std::to_string(percent);
    line.append(3 - std::min<size_t>(3, p.size()), ' ');
    line += p + "% (" + std::to_string(done) + "/" + std::to_string(total) + ")";
    return line;
}

bool ProgressThrottle::due(int64_t now_ms, int32_t done, int32_t total) {
    if (done < total && last_ms != INT64_MIN && now_ms - last_ms < 100) return false;
    last_ms = now_ms;
    return true;
}
