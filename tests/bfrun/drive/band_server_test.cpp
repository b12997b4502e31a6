// Band serving straight from the row store: matted delivery with the pad bytes after the
// samples, write-back with the matte removed, a band asked for again served from its result,
// pad bytes overwritten, requests outside the layer, and the coverage that results.
#include <gtest/gtest.h>

#include "host/host_codes.h"
#include "host/coordinates.h"
#include "bfrun/drive/band_server.h"
#include "tests/bfrun/test_png.h"

namespace {

RunSettings white_matting(int32_t pad_bytes) {
    RunSettings s;
    s.filter_rect = {0, 0, 4, 6};
    s.pad_bytes = pad_bytes;
    return s;
}

void ask(FilterRecord& record, const VRect& rect, int16_t hi = 3) {
    record.inRect = record.outRect = low_16_bits(rect);
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = hi;
}

std::vector<uint8_t> first_pixel(const void* data) {
    const auto* at = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(at, at + 4);
}

} // namespace

TEST(BandServer, DeliversMattedBandsAndWritesThemBackUnmatted) {
    Layer layer(6, 4);
    const RunSettings s = white_matting(3);
    BandServer server(layer.store, s);
    FilterRecord record{};
    ask(record, {1, 2, 3, 5}); // 2 rows, 3 columns, away from the origin
    ASSERT_EQ(server.serve(record), Served::ready);
    EXPECT_EQ(record.outRowBytes, 3 * 4 + 3);
    EXPECT_EQ(record.inRowBytes, 3 * 4);
    // Pixel (1, 2) is pixel 8 = (8, 16, 24, 247): over white (8 x 247 + 255 x 8) / 255 = 15.75,
    // and likewise 23.50 and 31.25 -> (16, 23, 31).
    EXPECT_EQ(first_pixel(record.inData), (std::vector<uint8_t>{16, 23, 31, 247}));
    EXPECT_EQ(first_pixel(record.outData), first_pixel(record.inData));
    auto* out = static_cast<uint8_t*>(record.outData);
    EXPECT_EQ(out[12], 0xA5); // the first pad byte
    out[3] = 0;
    server.write_back_pending();
    EXPECT_TRUE(server.pad_intact());
    // Alpha 0 clears the colour. The pixel beside it, handed back as delivered,
    // (18, 26, 35, 246), is un-matted: (18 x 255 - 255 x 9) / 246 = 9.33 -> 9, and likewise
    // 17.62 -> 18 and 26.95 -> 27.
    EXPECT_EQ(layer.pixel(8), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(layer.pixel(9), (std::vector<uint8_t>{9, 18, 27, 246}));
    EXPECT_FALSE(server.covered()); // a corner only
}

TEST(BandServer, ABandAskedForAgainIsItsResultAndPadBytesAreWatched) {
    Layer layer(6, 4);
    const RunSettings s = white_matting(2);
    BandServer server(layer.store, s);
    FilterRecord record{};
    ask(record, {0, 0, 4, 6});
    ASSERT_EQ(server.serve(record), Served::ready);
    auto* out = static_cast<uint8_t*>(record.outData);
    const std::vector<uint8_t> handed_back = {1, 2, 3, 128};
    std::copy(handed_back.begin(), handed_back.end(), out);
    ASSERT_EQ(server.serve(record), Served::ready); // writes back, then the same band
    // Not matted a second time: the samples as the module left them.
    EXPECT_EQ(first_pixel(record.inData), handed_back);
    EXPECT_EQ(first_pixel(record.outData), handed_back);
    EXPECT_TRUE(server.pad_intact());
    EXPECT_TRUE(server.covered());
    static_cast<uint8_t*>(record.outData)[6 * 4] ^= 1; // the first row's first pad byte
    server.write_back_pending();
    EXPECT_FALSE(server.pad_intact());
}

TEST(BandServer, RequestsOutsideTheLayerAreRefused) {
    struct Case {
        VRect rect;
        int16_t hi;
        const char* fault;
    };
    const Case cases[] = {
        {{2, 0, 5, 6}, 3, "input rectangle or planes outside the layer"},  // a row below
        {{0, -1, 1, 6}, 3, "input rectangle or planes outside the layer"}, // a column left
        {{0, 0, 1, 6}, 4, "input rectangle or planes outside the layer"},  // a fifth plane
    };
    for (const Case& c : cases) {
        Layer layer(6, 4);
        const RunSettings s = white_matting(0);
        BandServer server(layer.store, s);
        FilterRecord record{};
        ask(record, c.rect, c.hi);
        EXPECT_EQ(server.serve(record), Served::bad_request) << c.rect.top << "," << c.hi;
        EXPECT_EQ(server.fault(), c.fault);
        EXPECT_EQ(record.inData, nullptr);
    }
    // Only the output asked for, and outside.
    Layer layer(6, 4);
    const RunSettings s = white_matting(0);
    BandServer server(layer.store, s);
    FilterRecord record{};
    record.outRect = {0, 0, 5, 6};
    record.outHiPlane = 3;
    EXPECT_EQ(server.serve(record), Served::bad_request);
    EXPECT_EQ(server.fault(), "output rectangle or planes outside the layer");
}
