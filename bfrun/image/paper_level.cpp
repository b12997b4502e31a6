#include "bfrun/image/paper_level.h"

#include <algorithm>
#include <cstring>

#include "transform/weights.h"

namespace {

uint32_t sample_at(const uint8_t* row, size_t index, int bits) {
    if (bits != 16) return row[index];
    uint16_t v;
    std::memcpy(&v, row + 2 * index, 2);
    return v;
}

} // namespace

uint16_t paper_sample(uint16_t v, int level, int bits) {
    const uint32_t full = bits == 16 ? 65535 : 255;
    const uint32_t white = bits == 16 ? static_cast<uint32_t>(level) * 257 : level;
    if (v >= white) return static_cast<uint16_t>(full);
    return static_cast<uint16_t>((uint64_t{v} * full + white / 2) / white);
}

PaperLevel::PaperLevel(int level, int channels, int bits)
    : channels_(channels), bits_(bits), table_(bits == 16 ? 65536 : 256) {
    for (size_t v = 0; v < table_.size(); ++v)
        table_[v] = paper_sample(static_cast<uint16_t>(v), level, bits);
}

void PaperLevel::apply(uint8_t* row, size_t first, size_t end) const {
    const size_t channels = static_cast<size_t>(channels_);
    for (size_t x = first; x < end; ++x)
        for (size_t at = x * channels; at < x * channels + channels - 1; ++at) {
            if (bits_ != 16) {
                row[at] = static_cast<uint8_t>(table_[row[at]]);
                continue;
            }
            uint16_t v;
            std::memcpy(&v, row + 2 * at, 2);
            v = table_[v];
            std::memcpy(row + 2 * at, &v, 2);
        }
}

void count_luminance(const uint8_t* row, int channels, int bits, size_t first, size_t end,
                     LuminanceHistogram& histogram) {
    const size_t n = static_cast<size_t>(channels);
    const uint64_t unit = bits == 16 ? 257000000 : 1000000;
    for (size_t x = first; x < end; ++x) {
        if (sample_at(row, x * n + n - 1, bits) == 0) continue;
        const uint64_t millionths =
            n == 4 ? kRedMillionths * uint64_t{sample_at(row, x * n, bits)} +
                         kGreenMillionths * uint64_t{sample_at(row, x * n + 1, bits)} +
                         kBlueMillionths * uint64_t{sample_at(row, x * n + 2, bits)}
                   : 1000000 * uint64_t{sample_at(row, x * n, bits)};
        // White weighs 255.000255: the weights add up to 1.000001.
        ++histogram[std::min<uint64_t>(millionths / unit, 255)];
    }
}

PaperChoice choose_paper_level(const LuminanceHistogram& histogram) {
    // The paper is light and covers much of a scan: its peak p is the fullest bin of the upper
    // half (the brighter on a tie), and it must hold 1/64 of the pixels, four times a flat
    // histogram's share, or there is no paper to level. Its noise sigma is measured above the
    // peak, where there is no ink: the root mean square of the distance from p, which is sigma
    // for the upper half of a normal noise. The level is p - 4.5 sigma, rounded down, and at
    // least p / 2: that is 3 sigma of each colour channel, which Levels moves on its own and
    // whose noise is up to 1.5 times the luminance's (independent channels: 1 over the root of
    // the sum of the weights' squares, 1.50), so that all but a few paper pixels in a thousand
    // become white, while ink, far below the level, stays dark (black stays black).
    PaperChoice choice;
    uint64_t total = 0;
    for (uint64_t count : histogram)
        total += count;
    int p = 128;
    for (int b = 129; b < 256; ++b)
        if (histogram[b] >= histogram[p]) p = b;
    if (total == 0 || histogram[p] * 64 < total) return choice;
    uint64_t above = 0, squares = 0;
    for (int b = p + 1; b < 256; ++b) {
        above += histogram[b];
        squares += histogram[b] * static_cast<uint64_t>((b - p) * (b - p));
    }
    // The least d with d >= 4.5 sigma: 4 d^2 above >= 81 squares.
    uint64_t d = 0;
    while (4 * d * d * above < 81 * squares)
        ++d;
    choice.peak = p;
    choice.level = std::max(p - static_cast<int>(d), p / 2);
    choice.found = choice.level == kPaperUnchanged ? PaperFound::white : PaperFound::paper;
    return choice;
}

std::string paper_line(const PaperChoice& choice) {
    if (choice.found == PaperFound::evened)
        return "paper evened out: levels " + std::to_string(choice.lowest) + ".." +
               std::to_string(choice.highest) + " (auto)";
    const std::string level = "paper level " + std::to_string(choice.level);
    switch (choice.found) {
    case PaperFound::paper:
        return level + " (auto)";
    case PaperFound::white:
        return level + " (auto: the paper is white already, no change)";
    case PaperFound::none:
    case PaperFound::evened:
        break;
    }
    return level + " (auto: no paper peak in the upper half of the histogram, no change)";
}
