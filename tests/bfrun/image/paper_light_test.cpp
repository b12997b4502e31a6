// --paper auto under uneven light: the grid's cells, one cell's paper from worked histograms,
// ink cells filled from their neighbours, the division's worked samples, and pages of known
// light (a ramp, a flat paper, tiny images, 16 bits) through the first pass and the division.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "bfrun/image/paper_light.h"

TEST(PaperLight, TheGridsCells) {
    // Side max(32, ceil(longer / 64)): 4000 x 3000 in cells of 63, 5000 x 7000 of 110.
    const uint32_t cases[][4] = {{4000, 3000, 64, 48}, {5000, 7000, 46, 64}, {1, 1, 1, 1},
                                 {20, 10, 1, 1},       {100, 20, 4, 1},      {64, 33, 2, 2},
                                 {2048, 1, 64, 1}};
    for (const auto& [width, height, columns, rows] : cases) {
        const PaperGrid grid = paper_grid(3, 4, width, height);
        EXPECT_EQ(grid.columns, columns) << width << " x " << height;
        EXPECT_EQ(grid.rows, rows) << width << " x " << height;
        EXPECT_EQ(grid.left + grid.top + grid.width + grid.height, 7 + width + height);
    }
}

TEST(PaperLight, OneCellsPaperFromWorkedHistograms) {
    LuminanceHistogram h{};
    // Paper at 240 with noise above it and 100 pixels of ink: the peak 240, the bins within 4
    // (240000 + 144600 + 48400 + 12150) / 1850 = 240.62, above it 850 pixels and 1850.
    h[0] = 100, h[240] = 1000, h[241] = 600, h[242] = 200, h[243] = 50;
    CellPaper cell = cell_paper(h);
    EXPECT_TRUE(cell.paper);
    EXPECT_EQ(cell.peak, 240);
    EXPECT_NEAR(cell.brightness, 240.6216, 1e-4);
    EXPECT_EQ(cell.above, 850u);
    EXPECT_EQ(cell.squares, 1850u);
    // Ink at 100 outweighs the paper at 200 four to one: the paper is still its peak.
    h.fill(0);
    h[100] = 400, h[200] = 100;
    cell = cell_paper(h);
    EXPECT_TRUE(cell.paper);
    EXPECT_EQ(cell.peak, 200);
    // Glare: 1 pixel in 100 at 255 is passed over.
    h.fill(0);
    h[180] = 99, h[255] = 1;
    EXPECT_EQ(cell_paper(h).peak, 180);
    // Spread evenly over 0..255 (a photograph): the 7 bins hold 7/256 of it, not paper.
    h.fill(10);
    EXPECT_FALSE(cell_paper(h).paper);
    h.fill(0); // nothing counted
    EXPECT_FALSE(cell_paper(h).paper);
    h[0] = 1; // one black pixel: a paper at 0 as far as the cell can tell
    cell = cell_paper(h);
    EXPECT_TRUE(cell.paper);
    EXPECT_EQ(cell.brightness, 0);
}

namespace {

CellPaper paper_at(double brightness) {
    CellPaper cell;
    cell.paper = true;
    cell.brightness = brightness;
    return cell;
}

} // namespace

TEST(PaperLight, ACellAllInkTakesItsNeighboursPaper) {
    // 3 x 3 cells of paper falling off 200, 150, 100 from left to right, the middle one ink
    // at 30: it takes the mean of its 8 neighbours, 150, and the ramp goes through smoothing
    // unchanged. No noise above the peaks: the levels are the paper itself.
    const PaperGrid grid = paper_grid(0, 0, 96, 96);
    std::vector<CellPaper> cells;
    for (int r = 0; r < 3; ++r)
        for (double p : {200.0, 150.0, 100.0})
            cells.push_back(paper_at(p));
    cells[4] = paper_at(30);
    PaperLight light = estimate_paper_light(grid, cells);
    ASSERT_TRUE(light.found);
    EXPECT_FALSE(light.even);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_NEAR(light.paper[i], 200 - 50.0 * (i % 3), 1e-9) << i;
        EXPECT_EQ(light.levels_256[i], (200 - 50 * int(i % 3)) * 256) << i;
    }
    // A blot of ink 3 x 3 cells wide amid paper at 200, 7 x 7 cells: all paper again.
    const PaperGrid seven = paper_grid(0, 0, 224, 224);
    cells.assign(49, paper_at(200));
    for (size_t i = 0; i < 49; ++i)
        if (i / 7 >= 2 && i / 7 <= 4 && i % 7 >= 2 && i % 7 <= 4) cells[i] = paper_at(30);
    light = estimate_paper_light(seven, cells);
    EXPECT_EQ(light.paper, std::vector<double>(49, 200.0));
    EXPECT_TRUE(light.even);
    // Ink outside any paper cell, and a cell that is not paper, are filled ring by ring.
    cells.assign(9, CellPaper{});
    cells[0] = paper_at(180);
    light = estimate_paper_light(grid, cells);
    EXPECT_TRUE(light.found);
    EXPECT_TRUE(light.even);
    EXPECT_EQ(light.paper, std::vector<double>(9, 180.0));
    cells.assign(9, CellPaper{}); // no paper anywhere
    EXPECT_FALSE(estimate_paper_light(grid, cells).found);
    // Noise above the peaks: 850 pixels, 1850 squares, as one histogram: the margin is 7,
    // as --paper's single level takes it, and a paper at 200 is levelled at 193.
    cells.assign(9, paper_at(200));
    cells[0].above = 850, cells[0].squares = 1850;
    light = estimate_paper_light(grid, cells);
    EXPECT_NEAR(light.noise, 1.4753, 1e-4);
    EXPECT_EQ(light.levels_256, std::vector<int32_t>(9, 193 * 256));
}

TEST(PaperLight, DividedByTheLevelAtEachPixel) {
    // 64 x 1 in two cells at 200 and 100: pixels up to the first centre (16) at 200, from the
    // second (48) at 100, bilinear between. Pixel 32's centre is 0.515625 of the way: level
    // 200 - 100 x 132 / 256 = 148.4375.
    PaperLight light;
    light.grid = paper_grid(0, 0, 64, 1);
    light.levels_256 = {200 * 256, 100 * 256};
    const PaperEvener evener(light, 2, 8);
    EXPECT_EQ(evener.level_at(0, 0), uint64_t{200} << 24);
    EXPECT_EQ(evener.level_at(63, 0), uint64_t{100} << 24);
    EXPECT_EQ(evener.level_at(32, 0), uint64_t(148.4375 * (1 << 24)));
    // 100 at 200: 127.5, up to 128; 100 x 255 / 148.4375 = 171.8; 50 at 100: 128; 99: 252.4;
    // 100 and more: white. Alpha stays.
    uint8_t row[128] = {};
    auto set = [&](size_t x, uint8_t v) { row[2 * x] = v, row[2 * x + 1] = 77; };
    set(0, 100), set(32, 100), set(48, 50), set(49, 99), set(50, 100), set(51, 250);
    evener.apply(row, 0, 0, 64);
    const uint8_t want[][2] = {{0, 128}, {32, 172}, {48, 128}, {49, 252}, {50, 255}, {51, 255}};
    for (const auto& [x, v] : want) {
        EXPECT_EQ(row[2 * x], v) << int(x);
        EXPECT_EQ(row[2 * x + 1], 77);
    }
    // 16 bits, RGBA, only pixels 48..49: 12850 at 100 x 257: 32767.5, up to 32768.
    uint16_t rgba[64 * 4] = {};
    for (size_t x = 47; x < 50; ++x)
        for (size_t k = 0; k < 4; ++k)
            rgba[4 * x + k] = uint16_t(12850 * (k + 1));
    PaperEvener(light, 4, 16).apply(reinterpret_cast<uint8_t*>(rgba), 0, 48, 50);
    const std::vector<uint16_t> untouched{12850, 25700, 38550, 51400},
        divided{32768, 65535, 65535, 51400};
    for (size_t x = 47; x < 50; ++x)
        EXPECT_EQ(std::vector<uint16_t>(rgba + 4 * x, rgba + 4 * x + 4),
                  x == 47 ? untouched : divided)
            << x;
}

namespace {

// A grey page of `width` x `height` (8 or 16 bits, grey + alpha): paper of brightness
// paper(x, y) with noise of sigma 3 (the standard's mt19937, Box-Muller), ink at 30 on every
// row and column that is 37 mod 64 and over the cell of pixels 160..191 both ways.
struct Page {
    uint32_t width, height;
    int bits;
    std::vector<uint8_t> rows;
    std::vector<bool> ink;
};

template <typename Paper> Page make_page(uint32_t width, uint32_t height, int bits, Paper paper) {
    Page page{width, height, bits, std::vector<uint8_t>(size_t{width} * height * bits / 4),
              std::vector<bool>(size_t{width} * height)};
    std::mt19937 random(11);
    auto normal = [&] {
        const double u = (random() + 1.0) / 4294967297.0, w = random() / 4294967296.0;
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * w);
    };
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const size_t p = size_t{y} * width + x;
            page.ink[p] =
                x % 64 == 37 || y % 64 == 37 || (x >= 160 && x < 192 && y >= 160 && y < 192);
            const long grey =
                page.ink[p] ? 30 : std::clamp(std::lround(paper(x, y) + 3 * normal()), 0L, 255L);
            if (bits == 8) {
                page.rows[2 * p] = uint8_t(grey), page.rows[2 * p + 1] = 255;
            } else {
                const uint16_t pixel[2] = {uint16_t(grey * 257), 65535};
                std::memcpy(page.rows.data() + 4 * p, pixel, 4);
            }
        }
    return page;
}

uint8_t* row_of(Page& page, uint32_t y) {
    const size_t row_bytes = size_t{page.width} * page.bits / 4; // grey + alpha
    return &page.rows[y * row_bytes];
}

PaperChoice first_pass(Page& page, PaperLight& light) {
    PaperLightCounter counter(paper_grid(0, 0, page.width, page.height), 2, page.bits);
    for (uint32_t y = 0; y < page.height; ++y)
        counter.count_row(row_of(page, y), y);
    return choose_paper_light(counter, light);
}

double ramp(uint32_t x, uint32_t y) {
    return 140 + 0.1 * x + 0.05 * y; // 140 to 210.4 corner to corner
}

} // namespace

TEST(PaperLight, AKnownRampIsFoundAndTakenToWhiteWhileInkStaysDark) {
    for (int bits : {8, 16}) {
        // 512 x 384 in cells of 32: 16 x 12 cells, one of them all ink.
        Page page = make_page(512, 384, bits, ramp);
        PaperLight light;
        const PaperChoice choice = first_pass(page, light);
        ASSERT_EQ(choice.found, PaperFound::evened) << bits;
        ASSERT_EQ(light.paper.size(), 16u * 12u);
        // The paper at each cell's centre within a level of the ramp, the ink cell (5, 5)
        // among them.
        for (uint32_t r = 0; r < 12; ++r)
            for (uint32_t c = 0; c < 16; ++c)
                EXPECT_NEAR(light.paper[r * 16 + c], ramp(32 * c + 16, 32 * r + 16), 1.0)
                    << c << ", " << r << " at " << bits << " bits";
        // sigma 3 and the ramp within a cell: a margin of 4.5 sigma, about 14 levels.
        EXPECT_GT(light.noise, 2.8);
        EXPECT_LT(light.noise, 3.6);
        EXPECT_EQ(paper_line(choice), "paper evened out: levels " + std::to_string(choice.lowest) +
                                          ".." + std::to_string(choice.highest) + " (auto)");
        EXPECT_NEAR(choice.lowest, 141.5 - 4.5 * light.noise, 2);
        EXPECT_NEAR(choice.highest, 209 - 4.5 * light.noise, 2);
        const PaperEvener evener(light, 2, bits);
        for (uint32_t y = 0; y < page.height; ++y)
            evener.apply(row_of(page, y), y, 0, page.width);
        const uint32_t white = bits == 16 ? 65535 : 255;
        for (size_t p = 0; p < page.ink.size(); ++p) {
            uint16_t grey_alpha[2] = {page.rows[2 * p], page.rows[2 * p + 1]};
            if (bits == 16) std::memcpy(grey_alpha, page.rows.data() + 4 * p, 4);
            ASSERT_EQ(grey_alpha[1], white) << p;
            // Ink at 30 under levels from 124 up: 62 at most.
            if (page.ink[p])
                ASSERT_LE(grey_alpha[0], 62 * white / 255) << p;
            else
                ASSERT_EQ(grey_alpha[0], white) << p << " at " << bits << " bits";
        }
    }
}

TEST(PaperLight, EvenLightKeepsTheSingleLevel) {
    // Flat paper at 200 with the same noise and ink: the single level of the whole histogram,
    // as --paper auto gives it without a grid.
    Page page = make_page(512, 384, 8, [](uint32_t, uint32_t) { return 200.0; });
    PaperLight light;
    const PaperChoice choice = first_pass(page, light);
    LuminanceHistogram histogram{};
    count_luminance(page.rows.data(), 2, 8, 0, page.ink.size(), histogram);
    const PaperChoice single = choose_paper_level(histogram);
    EXPECT_TRUE(light.found);
    EXPECT_TRUE(light.even);
    EXPECT_EQ(choice.found, PaperFound::paper);
    EXPECT_EQ(choice.level, single.level);
    EXPECT_EQ(paper_line(choice), paper_line(single));
    // A light falling off by 1 level across is even too; by 10 it is not.
    for (const auto& [fall, even] : {std::pair{1.0, true}, std::pair{10.0, false}}) {
        const double slope = fall;
        page = make_page(512, 384, 8, [&](uint32_t x, uint32_t) { return 200 - slope * x / 512; });
        first_pass(page, light);
        EXPECT_EQ(light.even, even) << fall;
    }
}

TEST(PaperLight, ImagesOfOnePixelAndSmallerThanACell) {
    // 1 x 1 at 200: one cell, even, the level the pixel itself; 20 x 10 falling off from 219
    // to 200 across is one cell too, and takes the single level of its histogram (219: the
    // 1/64 rule holds, nothing is above the peak).
    for (uint32_t width : {1u, 20u}) {
        Page page{width, width / 2 + 1, 8, {}, {}};
        for (uint32_t y = 0; y < page.height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                page.rows.insert(page.rows.end(), {uint8_t(219 - x - (width == 1) * 19), 255});
        PaperLight light;
        const PaperChoice choice = first_pass(page, light);
        EXPECT_EQ(light.paper.size(), 1u);
        EXPECT_TRUE(light.even);
        EXPECT_EQ(paper_line(choice),
                  width == 1 ? "paper level 200 (auto)" : "paper level 219 (auto)");
    }
}
