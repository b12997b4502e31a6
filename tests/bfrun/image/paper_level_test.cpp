// --paper: the mapping's worked values and bounds, the luminance histogram, and the level auto
// chooses from worked histograms and from a synthetic scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "bfrun/image/paper_level.h"

TEST(PaperLevel, WorkedSamplesAtEightAndSixteenBits) {
    // At 240: 120 x 255 / 240 = 127.5 goes up to 128, 239 gives (60945 + 120) / 240 = 254.44,
    // 240 and above white; at 2, 1 gives 127.5 -> 128; at 1 all but black is white. 16 bits at
    // 240 x 257 = 61680: 1 gives 1.06, 30840 gives 32767.5 -> 32768, 61679 gives 65533.94; at
    // 257 (level 1): 128 x 65535 / 257 = 32640 exactly.
    // clang-format off
    const int cases[][4] = {
        {240, 8, 0, 0}, {240, 8, 120, 128}, {240, 8, 239, 254}, {240, 8, 240, 255},
        {240, 8, 255, 255}, {2, 8, 1, 128}, {1, 8, 0, 0}, {1, 8, 1, 255},
        {240, 16, 0, 0}, {240, 16, 1, 1}, {240, 16, 30840, 32768}, {240, 16, 61679, 65534},
        {240, 16, 61680, 65535}, {240, 16, 65535, 65535},
        {1, 16, 128, 32640}, {1, 16, 256, 65280}, {1, 16, 257, 65535}};
    // clang-format on
    for (const auto& [level, bits, v, want] : cases)
        EXPECT_EQ(paper_sample(uint16_t(v), level, bits), want) << v << " at " << level;
    for (uint32_t v = 0; v <= 65535; ++v) { // 255 changes nothing
        ASSERT_EQ(paper_sample(uint16_t(v), 255, 16), v);
        ASSERT_EQ(paper_sample(uint16_t(v & 255), 255, 8), v & 255);
    }
}

TEST(PaperLevel, OnlyColourSamplesOfThePixelsAskedForChange) {
    // Pixels 1..2 of 4, grey + alpha: 200 -> 212.5 -> 213, 239 -> 254.
    uint8_t grey[8] = {200, 200, 200, 100, 239, 7, 200, 200};
    PaperLevel(240, 2, 8).apply(grey, 1, 3);
    EXPECT_EQ(std::vector<uint8_t>(grey, grey + 8),
              (std::vector<uint8_t>{200, 200, 213, 100, 254, 7, 200, 200}));
    uint16_t rgba[8] = {0, 0, 0, 0, 61680, 30840, 65535, 30840}; // pixel 1 of 2, 16 bits
    PaperLevel(240, 4, 16).apply(reinterpret_cast<uint8_t*>(rgba), 1, 2);
    EXPECT_EQ(std::vector<uint16_t>(rgba, rgba + 8),
              (std::vector<uint16_t>{0, 0, 0, 0, 65535, 32768, 65535, 30840}));
}

TEST(PaperLevel, PixelsAreCountedUnderTheirGrey) {
    LuminanceHistogram histogram{}, want{};
    // (298912 x 244 + 586611 x 241 + 114478 x 234) / 10^6 = 241.096; white 255.000255; blue 1
    // 0.11; the last pixel has alpha 0. 16-bit grey from pixel 1: 25956 / 257 = 100.996.
    const uint8_t rgba[16] = {244, 241, 234, 255, 255, 255, 255, 1, 0, 0, 1, 255, 9, 9, 9, 0};
    count_luminance(rgba, 4, 8, 0, 4, histogram);
    const uint16_t grey[6] = {0, 65535, 25956, 65535, 65535, 1};
    count_luminance(reinterpret_cast<const uint8_t*>(grey), 2, 16, 1, 3, histogram);
    want[0] = 1, want[100] = 1, want[241] = 1, want[255] = 2;
    EXPECT_EQ(histogram, want);
}

TEST(PaperLevel, AutoFromWorkedHistograms) {
    struct Case {
        std::vector<std::pair<int, uint64_t>> bins;
        int level;
        PaperFound found;
    };
    const Case cases[] = {
        // Above the peak 850 pixels, squares 600 + 200 x 4 + 50 x 9 = 1850: sigma 1.475, 4.5
        // sigma 6.64, so 240 - 7.
        {{{0, 100}, {240, 1000}, {241, 600}, {242, 200}, {243, 50}}, 233, PaperFound::paper},
        {{{0, 500}, {230, 3000}}, 230, PaperFound::paper}, // no noise
        {{{0, 10}, {128, 20}, {255, 1000}}, 255, PaperFound::white},
        {{{0, 63}, {200, 1}}, 200, PaperFound::paper},      // the peak holds 1/64: enough
        {{{0, 64}, {200, 1}}, 255, PaperFound::none},       // under 1/64
        {{{240, 500}, {250, 500}}, 250, PaperFound::paper}, // a tie: the brighter
        // 55 from the peak: 4.5 sigma is 247.5, and the level stops at 200 / 2.
        {{{200, 101}, {255, 100}}, 100, PaperFound::paper},
        {{{20, 5000}, {60, 3000}, {250, 20}}, 255, PaperFound::none}, // a dark image
        {{}, 255, PaperFound::none},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        LuminanceHistogram histogram{};
        for (const auto& [bin, count] : cases[i].bins)
            histogram[bin] = count;
        const PaperChoice choice = choose_paper_level(histogram);
        EXPECT_EQ(choice.level, cases[i].level) << "case " << i;
        EXPECT_EQ(choice.found, cases[i].found) << "case " << i;
    }
    LuminanceHistogram flat;
    flat.fill(40); // no bin stands out
    EXPECT_EQ(paper_line(choose_paper_level(flat)),
              "paper level 255 (auto: no paper peak in the upper half of the histogram, no "
              "change)");
    EXPECT_EQ(paper_line({255, PaperFound::white, 255}),
              "paper level 255 (auto: the paper is white already, no change)");
}

TEST(PaperLevel, AutoTakesANoisyScansPaperToWhiteAndKeepsItsInk) {
    // 400 x 300 RGBA: paper #f4f1ea, each channel with its own normal noise of sigma 6
    // (Box-Muller over the standard's mt19937), and every 25th row and column black ink.
    std::mt19937 random(5);
    auto normal = [&] {
        const double u = (random() + 1.0) / 4294967297.0, w = random() / 4294967296.0;
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * w);
    };
    const size_t width = 400, pixels = 400 * 300;
    auto ink = [&](size_t p) { return p / width % 25 == 0 || p % width % 25 == 0; };
    const long paper[3] = {0xf4, 0xf1, 0xea};
    std::vector<uint8_t> scan(pixels * 4, 255);
    for (size_t p = 0; p < pixels; ++p)
        for (int k = 0; k < 3; ++k)
            scan[4 * p + k] =
                ink(p) ? 0 : uint8_t(std::clamp(paper[k] + std::lround(6 * normal()), 0L, 255L));
    LuminanceHistogram histogram{};
    count_luminance(scan.data(), 4, 8, 0, pixels, histogram);
    const PaperChoice choice = choose_paper_level(histogram);
    // The luminance is 241.1 with a noise of sigma 4 (6 x 0.668): the level near 241 - 18.
    EXPECT_EQ(paper_line(choice), "paper level " + std::to_string(choice.level) + " (auto)");
    EXPECT_GE(choice.level, 216);
    EXPECT_LE(choice.level, 226);
    PaperLevel(choice.level, 4, 8).apply(scan.data(), 0, pixels);
    size_t white = 0, bare = 0;
    for (size_t p = 0; p < pixels; ++p) {
        const uint32_t sum = scan[4 * p] + scan[4 * p + 1] + scan[4 * p + 2];
        ASSERT_TRUE(!ink(p) || sum == 0) << p;
        bare += !ink(p);
        white += sum == 3 * 255;
    }
    EXPECT_GE(white, bare * 98 / 100) << white << " of " << bare;
}
