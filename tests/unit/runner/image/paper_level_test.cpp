// --paper: the mapping's worked values and bounds, the luminance histogram, and the level auto
// chooses from worked histograms and from a synthetic scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "runner/image/paper_level.h"

TEST(PaperLevel, WorkedSamplesAtEightAndSixteenBits) {
    struct Case {
        int level, bits;
        uint16_t v, want;
    };
    const Case cases[] = {
        {240, 8, 0, 0},
        {240, 8, 120, 128}, // 120 x 255 / 240 = 127.5: half up
        {240, 8, 239, 254}, // (60945 + 120) / 240 = 254.44
        {240, 8, 240, 255}, // at the level: white
        {240, 8, 255, 255},
        {2, 8, 1, 128}, // 127.5
        {1, 8, 0, 0},   // level 1: all but black is white
        {1, 8, 1, 255},
        {240, 16, 0, 0},         // the level is 240 x 257 = 61680
        {240, 16, 1, 1},         // 1.06
        {240, 16, 30840, 32768}, // 32767.5: half up
        {240, 16, 61679, 65534}, // 65533.94
        {240, 16, 61680, 65535},
        {240, 16, 65535, 65535},
        {1, 16, 128, 32640}, // 128 x 65535 / 257, exactly
        {1, 16, 256, 65280},
        {1, 16, 257, 65535},
    };
    for (const Case& c : cases)
        EXPECT_EQ(paper_sample(c.v, c.level, c.bits), c.want)
            << c.v << " at level " << c.level << ", " << c.bits << " bits";
    for (uint32_t v = 0; v <= 65535; ++v) {
        ASSERT_EQ(paper_sample(uint16_t(v), 255, 16), v);
        if (v < 256) {
            ASSERT_EQ(paper_sample(uint16_t(v), 255, 8), v);
        }
    }
}

TEST(PaperLevel, OnlyColourSamplesOfThePixelsAskedForChange) {
    // Grey + alpha, 8 bits, pixels 1..2 of 4.
    uint8_t grey[8] = {200, 200, 200, 100, 239, 7, 200, 200};
    PaperLevel(240, 2, 8).apply(grey, 1, 3);
    EXPECT_EQ(std::vector<uint8_t>(grey, grey + 8),
              (std::vector<uint8_t>{200, 200, 213, 100, 254, 7, 200, 200})); // 200 -> 212.5
    // RGBA, 16 bits, pixel 1 of 2.
    uint16_t rgba[8] = {0, 0, 0, 0, 61680, 30840, 65535, 30840};
    uint8_t bytes[16];
    std::memcpy(bytes, rgba, 16);
    PaperLevel(240, 4, 16).apply(bytes, 1, 2);
    std::memcpy(rgba, bytes, 16);
    EXPECT_EQ(std::vector<uint16_t>(rgba, rgba + 8),
              (std::vector<uint16_t>{0, 0, 0, 0, 65535, 32768, 65535, 30840}));
}

TEST(PaperLevel, PixelsAreCountedUnderTheirGrey) {
    LuminanceHistogram histogram{};
    // (298912 x 244 + 586611 x 241 + 114478 x 234) / 10^6 = 241.096; white 255.000255; the
    // last pixel has alpha 0.
    const uint8_t rgba[16] = {244, 241, 234, 255, 255, 255, 255, 1, 0, 0, 1, 255, 9, 9, 9, 0};
    count_luminance(rgba, 4, 8, 0, 4, histogram);
    // 16-bit grey: 25956 / 257 = 100.996; 65535 -> 255; the first pixel is not asked for.
    const uint16_t grey[6] = {0, 65535, 25956, 65535, 65535, 1};
    uint8_t bytes[12];
    std::memcpy(bytes, grey, 12);
    count_luminance(bytes, 2, 16, 1, 3, histogram);
    LuminanceHistogram want{};
    want[0] = 1, want[100] = 1, want[241] = 1, want[255] = 2;
    EXPECT_EQ(histogram, want);
}

TEST(PaperLevel, AutoFromWorkedHistograms) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, uint64_t>> bins;
        int level;
        PaperFound found;
    };
    const Case cases[] = {
        // Above the peak 850 pixels, squares 600 + 200 x 4 + 50 x 9 = 1850: sigma 1.475,
        // 4.5 sigma 6.64, so 240 - 7.
        {"noisy paper",
         {{0, 100}, {240, 1000}, {241, 600}, {242, 200}, {243, 50}},
         233,
         PaperFound::paper},
        {"paper with no noise", {{0, 500}, {230, 3000}}, 230, PaperFound::paper},
        {"white paper", {{0, 10}, {128, 20}, {255, 1000}}, 255, PaperFound::white},
        // The peak holds 1/64 of the pixels: just enough.
        {"a peak of 1/64", {{0, 63}, {200, 1}}, 200, PaperFound::paper},
        {"a peak under 1/64", {{0, 64}, {200, 1}}, 255, PaperFound::none},
        // 250 wins the tie; 101 at 200 outweighs 100 at 255, whose distance 55 makes 4.5 sigma
        // 247.5: the level stops at 200 / 2.
        {"a tie", {{240, 500}, {250, 500}}, 250, PaperFound::paper},
        {"a wide spread", {{200, 101}, {255, 100}}, 100, PaperFound::paper},
        {"a dark image", {{20, 5000}, {60, 3000}, {250, 20}}, 255, PaperFound::none},
        {"nothing counted", {}, 255, PaperFound::none},
    };
    for (const Case& c : cases) {
        LuminanceHistogram histogram{};
        for (const auto& [bin, count] : c.bins)
            histogram[bin] = count;
        const PaperChoice choice = choose_paper_level(histogram);
        EXPECT_EQ(choice.level, c.level) << c.what;
        EXPECT_EQ(choice.found, c.found) << c.what;
    }
    // No uniform bin stands out: 1/256 each.
    LuminanceHistogram flat;
    flat.fill(40);
    EXPECT_EQ(choose_paper_level(flat).found, PaperFound::none);
}

TEST(PaperLevel, AutoTakesANoisyScansPaperToWhiteAndKeepsItsInk) {
    // 400 x 300 RGBA: paper #f4f1ea, each channel with its own normal noise of sigma 6
    // (Box-Muller over the standard's mt19937), and every 25th row and column black ink.
    std::mt19937 random(5);
    auto normal = [&] {
        const double u = (random() + 1.0) / 4294967297.0, w = random() / 4294967296.0;
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * w);
    };
    const size_t width = 400, height = 300;
    std::vector<uint8_t> scan(width * height * 4);
    for (size_t p = 0; p < width * height; ++p) {
        const bool ink = (p / width) % 25 == 0 || p % width % 25 == 0;
        const int paper[3] = {0xf4, 0xf1, 0xea};
        for (int k = 0; k < 3; ++k)
            scan[4 * p + k] =
                ink ? 0 : uint8_t(std::clamp(std::lround(paper[k] + 6 * normal()), 0L, 255L));
        scan[4 * p + 3] = 255;
    }
    LuminanceHistogram histogram{};
    for (size_t y = 0; y < height; ++y)
        count_luminance(scan.data() + y * width * 4, 4, 8, 0, width, histogram);
    const PaperChoice choice = choose_paper_level(histogram);
    EXPECT_EQ(choice.found, PaperFound::paper);
    // The luminance is 241.1 with a noise of sigma 4 (6 x 0.668): the level near 241 - 18.
    EXPECT_GE(choice.level, 216);
    EXPECT_LE(choice.level, 226);
    EXPECT_EQ(paper_line(choice), "paper level " + std::to_string(choice.level) + " (auto)");
    const PaperLevel level(choice.level, 4, 8);
    for (size_t y = 0; y < height; ++y)
        level.apply(scan.data() + y * width * 4, 0, width);
    size_t white = 0, paper = 0;
    for (size_t p = 0; p < width * height; ++p) {
        const uint8_t* s = scan.data() + 4 * p;
        if ((p / width) % 25 == 0 || p % width % 25 == 0) {
            ASSERT_TRUE(s[0] == 0 && s[1] == 0 && s[2] == 0 && s[3] == 255) << p;
            continue;
        }
        ++paper;
        white += s[0] == 255 && s[1] == 255 && s[2] == 255;
    }
    EXPECT_GE(white, paper * 98 / 100) << white << " of " << paper;
}

TEST(PaperLevel, TheLineSaysWhyNothingChanged) {
    EXPECT_EQ(paper_line({255, PaperFound::white, 255}),
              "paper level 255 (auto: the paper is white already, no change)");
    EXPECT_EQ(paper_line({255, PaperFound::none, 0}),
              "paper level 255 (auto: no paper peak in the upper half of the histogram, no "
              "change)");
}
