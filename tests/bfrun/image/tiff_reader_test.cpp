// The TIFF reader on files libtiff writes: every kind it reads gives its samples exactly (grey
// + alpha or RGBA), whatever the storage; associated alpha un-premultiplied by hand-worked
// values; fax codecs and each page of a file as libtiff itself decodes them; CMYK described;
// what it does not read refused saying what the file is; limits and damage refused; the
// resolution as stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "bfrun/image/resolution.h"
#include "tests/bfrun/test_images.h"

namespace {

TestTiff tiff(uint32_t width, uint16_t photometric, uint16_t samples, uint16_t bits,
              std::vector<uint8_t> data) {
    TestTiff t;
    t.width = width;
    t.height = 1;
    t.photometric = photometric;
    t.samples_per_pixel = samples;
    t.bits = bits;
    t.samples = std::move(data);
    return t;
}

std::vector<uint8_t> u16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> bytes(values.size() * 2);
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}

std::vector<uint8_t> noise(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = 12345;
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 16);
    return bytes;
}

// A random RGBA image of `bits`, stored as `base` says otherwise.
TestTiff random_rgba(const TestTiff& base, uint32_t width, uint32_t height) {
    TestTiff t = base;
    t.width = width;
    t.height = height;
    t.samples_per_pixel = 4;
    t.extra_sample = 2; // unassociated alpha
    t.samples = noise(size_t{width} * height * 4 * t.bits / 8);
    return t;
}

// A random bilevel 37 x 21 image (5 bytes a row, the last 3 bits unused) coded as `compression`.
TestTiff random_bilevel(uint16_t compression, uint16_t photometric) {
    TestTiff t = tiff(37, photometric, 1, 1, noise(5 * 21));
    t.height = 21;
    t.compression = compression;
    t.rows_per_strip = 8;
    for (size_t y = 0; y < 21; ++y)
        t.samples[y * 5 + 4] &= 0xF8;
    return t;
}

// Bilevel rows as the reader gives them: grey + alpha, a set bit black where white is 0.
std::vector<uint8_t> bilevel_grey(const std::vector<uint8_t>& packed, const TestTiff& t) {
    std::vector<uint8_t> grey;
    const size_t row_bytes = (t.width + 7) / 8;
    for (size_t y = 0; y < t.height; ++y)
        for (size_t x = 0; x < t.width; ++x) {
            const bool set = (packed[y * row_bytes + x / 8] >> (7 - x % 8) & 1) != 0;
            grey.push_back(set == (t.photometric == 1) ? 255 : 0);
            grey.push_back(255);
        }
    return grey;
}

} // namespace

TEST(TiffReader, EveryKindItReadsGivesItsSamples) {
    TestTiff white_is_zero = tiff(2, 0, 1, 8, {0, 77});
    TestTiff bilevel = tiff(3, 0, 1, 1, {0x40}); // white, black, white
    TestTiff associated = tiff(3, 2, 4, 8, {64, 32, 0, 128, 10, 10, 10, 0, 100, 50, 200, 200});
    associated.extra_sample = 1;
    TestTiff associated16 = tiff(1, 2, 4, 16, u16({16384, 0, 65535, 32768}));
    associated16.extra_sample = 1;
    TestTiff unspecified = tiff(2, 1, 2, 8, {9, 1, 8, 2}); // grey and a sample of no meaning
    unspecified.extra_sample = 0;
    TestTiff palette = tiff(2, 3, 1, 2, {0x60}); // indices 1, 2
    palette.colour_map = {0, 65535, 32896, 0, 0, 0, 257, 0, 0, 0, 514, 0};
    TestTiff next = tiff(4, 1, 1, 2, {});
    next.compression = 32766;
    next.coded = {0x00, 0x1B}; // a literal row: 0, 1, 2, 3
    TestTiff thunder = tiff(2, 1, 1, 4, {});
    thunder.compression = 32809;
    thunder.coded = {0xC3, 0xCF}; // two raw pixels: 3, 15
    struct Case {
        const char* what;
        TestTiff image;
        int channels, bits;
        std::vector<uint8_t> want;
    };
    const Case cases[] = {
        {"grey", tiff(2, 1, 1, 8, {0, 77}), 2, 8, {0, 255, 77, 255}},
        {"white is 0", white_is_zero, 2, 8, {255, 255, 178, 255}},
        {"bilevel, white is 0", bilevel, 2, 8, {255, 255, 0, 255, 255, 255}},
        {"RGB", tiff(2, 2, 3, 8, {1, 2, 3, 4, 5, 6}), 4, 8, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"RGB 16", tiff(1, 2, 3, 16, u16({1, 300, 65535})), 4, 16, u16({1, 300, 65535, 65535})},
        // 64 * 255 / 128 = 127.5 -> 128; 50 * 255 / 200 = 63.75 -> 64; alpha 0 -> black.
        {"associated alpha", associated, 4, 8, {128, 64, 0, 128, 0, 0, 0, 0, 128, 64, 255, 200}},
        {"associated alpha 16", associated16, 4, 16, u16({32768, 0, 65535, 32768})},
        {"an extra sample dropped", unspecified, 2, 8, {9, 255, 8, 255}},
        {"palette, 16-bit map", palette, 4, 8, {255, 0, 0, 255, 128, 1, 2, 255}},
        {"NeXT 2-bit", next, 2, 8, {0, 255, 85, 255, 170, 255, 255, 255}},
        {"ThunderScan 4-bit", thunder, 2, 8, {51, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> samples;
        ImageLayout layout;
        const ImageError failure = read_test_image(encode_test_tiff(c.image), &samples, &layout);
        EXPECT_EQ(failure.kind, ImageErrorKind::none) << c.what << ": " << failure.message;
        EXPECT_EQ(layout.channels, c.channels) << c.what;
        EXPECT_EQ(layout.bits, c.bits) << c.what;
        EXPECT_EQ(samples, c.want) << c.what;
    }
}

TEST(TiffReader, StripsTilesPlanesAndCodecsGiveTheSameSamples) {
    TestTiff lzw, deflate_tiles, packbits_planes, tiles_planes;
    lzw.compression = 5;
    lzw.rows_per_strip = 3;
    deflate_tiles.compression = 8;
    deflate_tiles.tile = 16; // 3 x 2 tiles, the last ones partly outside
    deflate_tiles.bits = 16;
    packbits_planes.compression = 32773;
    packbits_planes.planar = 2;
    packbits_planes.rows_per_strip = 4;
    tiles_planes.planar = 2;
    tiles_planes.tile = 16;
    for (const TestTiff* base : {&lzw, &deflate_tiles, &packbits_planes, &tiles_planes}) {
        const TestTiff t = random_rgba(*base, 37, 21);
        std::vector<uint8_t> samples;
        ImageLayout layout;
        const ImageError failure = read_test_image(encode_test_tiff(t), &samples, &layout);
        EXPECT_EQ(failure.kind, ImageErrorKind::none) << failure.message;
        EXPECT_EQ(layout.bits, t.bits);
        EXPECT_EQ(samples, t.samples) << "compression " << t.compression << ", tile " << t.tile;
    }
}

TEST(TiffReader, FaxCodecsGiveWhatLibtiffDecodes) {
    struct Case {
        const char* what;
        uint16_t compression, photometric;
        uint32_t t4_options;
        uint16_t fill_order;
    };
    const Case cases[] = {
        {"Group 4, white is 0", 4, 0, 0, 0}, {"Group 4, black is 0, lowest bit first", 4, 1, 0, 2},
        {"Group 3, 1-D", 3, 0, 0, 0},        {"Group 3, 2-D, lowest bit first", 3, 0, 1, 2},
        {"CCITT RLE", 2, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TestTiff t = random_bilevel(c.compression, c.photometric);
        t.t4_options = c.t4_options;
        t.fill_order = c.fill_order;
        const std::vector<uint8_t> file = encode_test_tiff(t);
        const std::vector<uint8_t> decoded = libtiff_rows(file, 0);
        EXPECT_EQ(decoded, t.samples) << c.what;
        std::vector<uint8_t> samples;
        const ImageError failure = read_test_image(file, &samples);
        EXPECT_EQ(failure.kind, ImageErrorKind::none) << c.what << ": " << failure.message;
        EXPECT_EQ(samples, bilevel_grey(decoded, t)) << c.what;
    }
}

TEST(TiffReader, EachPageIsReadAsLibtiffReadsIt) {
    TestTiff grey = tiff(5, 1, 1, 8, noise(15)), lzw;
    grey.height = 3;
    grey.compression = 8;
    lzw.compression = 5;
    const TestTiff rgba = random_rgba(lzw, 4, 2), fax = random_bilevel(4, 0);
    const std::vector<uint8_t> file = encode_test_tiff_pages({grey, rgba, fax});
    std::vector<uint8_t> grey_alpha;
    for (uint8_t g : libtiff_rows(file, 0))
        grey_alpha.insert(grey_alpha.end(), {g, 255});
    const std::vector<uint8_t> want[3] = {grey_alpha, libtiff_rows(file, 1),
                                          bilevel_grey(libtiff_rows(file, 2), fax)};
    for (uint32_t page = 0; page < 3; ++page) {
        std::vector<uint8_t> samples;
        const ImageError failure = read_test_image(file, &samples, nullptr, {}, nullptr, page);
        EXPECT_EQ(failure.kind, ImageErrorKind::none) << page << ": " << failure.message;
        EXPECT_EQ(samples, want[page]) << "page " << page;
    }
    EXPECT_EQ(want[1], rgba.samples);
    EXPECT_EQ(read_test_image(file, nullptr, nullptr, {}, nullptr, 3).message,
              "the TIFF has no page 4");
    TestJpeg jpeg;
    jpeg.width = jpeg.height = 8;
    jpeg.components = 1;
    jpeg.samples = noise(64);
    EXPECT_EQ(read_test_image(encode_test_jpeg(jpeg), nullptr, nullptr, {}, nullptr, 1).message,
              "a JPEG holds one page, so no page 2");
}

namespace {

// A one-page file followed by `empty` directories of no entries; the last links to the first
// (a loop) or past the end of the file.
std::vector<uint8_t> chained(uint32_t empty, bool loop, bool past_end) {
    std::vector<uint8_t> file = encode_test_tiff(tiff(1, 1, 1, 8, {5}));
    auto at = [&](size_t i, int bytes) {
        uint32_t v = 0;
        for (int k = bytes - 1; k >= 0; --k)
            v = v << 8 | file[i + k];
        return v;
    };
    auto put = [&](size_t i, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            file[i + k] = static_cast<uint8_t>(v >> 8 * k);
    };
    const uint32_t first = at(4, 4);
    size_t link = first + 2 + 12 * at(first, 2);
    for (uint32_t i = 0; i < empty; ++i) {
        put(link, static_cast<uint32_t>(file.size()));
        link = file.size() + 2;
        file.resize(file.size() + 6, 0);
    }
    if (loop || past_end) put(link, loop ? first : static_cast<uint32_t>(file.size() + 100));
    return file;
}

} // namespace

TEST(TiffReader, PagesAreCountedWithinTheLimit) {
    TestJpeg grey_jpeg;
    grey_jpeg.width = grey_jpeg.height = 8;
    grey_jpeg.components = 1;
    grey_jpeg.samples.assign(64, 90);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        uint32_t pages;
        ImageErrorKind kind;
        std::string message;
    };
    const Case cases[] = {
        {"the limit", chained(9999, false, false), 10000, ImageErrorKind::none, ""},
        {"past the limit", chained(10000, false, false), 0, ImageErrorKind::too_large,
         "the TIFF has more than 10000 pages, more than bfrun reads"},
        {"a loop", chained(2, true, false), 0, ImageErrorKind::bad_input,
         "the TIFF is damaged: the directory after page 3 is one before it (IFD looping)"},
        {"past the end", chained(1, false, true), 0, ImageErrorKind::bad_input,
         "the TIFF is damaged: the directory of page 3 lies past the end of the file or cannot "
         "be read"},
        {"no directory",
         {'I', 'I', 42, 0, 0, 0, 0, 0},
         0,
         ImageErrorKind::bad_input,
         "the TIFF is damaged: its header points to no directory"},
        {"a JPEG", encode_test_jpeg(grey_jpeg), 1, ImageErrorKind::none, ""},
        {"no image", {'n', 'o'}, 1, ImageErrorKind::none, ""}, // its reader says why, later
    };
    for (const Case& c : cases) {
        MemorySource source(c.file);
        ImageError failure;
        uint32_t pages = 0;
        EXPECT_EQ(count_image_pages(source, pages, failure), c.kind == ImageErrorKind::none)
            << c.what;
        EXPECT_EQ(failure.kind, c.kind) << c.what;
        EXPECT_EQ(failure.message, c.message) << c.what;
        EXPECT_EQ(pages, c.pages) << c.what;
    }
}

TEST(TiffReader, WhatItDoesNotReadIsRefusedSayingWhatItIs) {
    TestTiff floats = tiff(1, 1, 1, 32, {0, 0, 128, 63});
    floats.sample_format = 3;
    TestTiff cmyk = tiff(1, 5, 4, 8, {1, 2, 3, 4});
    ImageLayout layout;
    ImageError failure = read_test_image(encode_test_tiff(cmyk), nullptr, &layout);
    EXPECT_TRUE(layout.cmyk);
    EXPECT_NE(failure.message.find("CMYK"), std::string::npos) << failure.message;
    const std::pair<TestTiff, const char*> refused[] = {
        {floats, "floating-point samples"},
        {tiff(1, 1, 1, 32, {1, 2, 3, 4}), "32-bit samples"},
        {tiff(1, 8, 3, 8, {1, 2, 3}), "CIE L*a*b*"},
        {tiff(1, 2, 3, 4, {1, 2}), "4-bit colour samples"},
    };
    std::vector<std::pair<std::vector<uint8_t>, const char*>> files;
    for (const auto& [image, what] : refused)
        files.emplace_back(encode_test_tiff(image), what);
    files.emplace_back(encode_test_tiff(tiff(1, 1, 1, 8, {0})),
                       "an unknown scheme (compression 60000)");
    set_tiff_short(files.back().first, 259, 60000);
    for (const auto& [file, what] : files) {
        failure = read_test_image(file, nullptr);
        EXPECT_EQ(failure.kind, ImageErrorKind::bad_input) << what;
        EXPECT_NE(failure.message.find(what), std::string::npos) << failure.message;
    }
}

TEST(TiffReader, LimitsAndDamageAreRefused) {
    TestTiff tiles;
    tiles.tile = 16;
    const std::vector<uint8_t> tiled = encode_test_tiff(random_rgba(tiles, 40, 20));
    ReadLimits short_rows, little_memory;
    short_rows.max_height = 19;
    little_memory.max_decoder_bytes = 4000; // a row of tiles: 3 x 16 x 16 x 4 bytes
    ImageError failure = read_test_image(tiled, nullptr, nullptr, short_rows);
    EXPECT_EQ(failure.kind, ImageErrorKind::too_large);
    EXPECT_NE(failure.message.find("the image (40 x 20) is larger than"), std::string::npos);
    failure = read_test_image(tiled, nullptr, nullptr, little_memory);
    EXPECT_EQ(failure.kind, ImageErrorKind::too_large);
    EXPECT_NE(failure.message.find("one row of tiles of the TIFF takes"), std::string::npos)
        << failure.message;
    // libtiff writes the image data first and the directory last: a file cut before its
    // directory, or one whose LZW data is damaged, is refused.
    TestTiff lzw;
    lzw.compression = 5;
    std::vector<uint8_t> file = encode_test_tiff(random_rgba(lzw, 40, 20));
    std::vector<uint8_t> damaged = file;
    std::fill(damaged.begin() + 8, damaged.begin() + 16, 0xFF); // LZW codes not in its table
    for (const std::vector<uint8_t>& bad :
         {std::vector<uint8_t>(file.begin(), file.begin() + 2000), damaged}) {
        failure = read_test_image(bad, nullptr);
        EXPECT_EQ(failure.kind, ImageErrorKind::bad_input);
        EXPECT_NE(failure.message.find("the TIFF is damaged"), std::string::npos)
            << failure.message;
    }
    // Uncompressed strips and tiles that hold less than their rows need (RGBA 37 pixels wide:
    // 148 bytes a row, 37 a plane's row), refused before libtiff reads on past them.
    TestTiff planes, planes4, strips;
    planes.planar = planes4.planar = 2;
    planes.rows_per_strip = strips.rows_per_strip = 8;
    planes4.rows_per_strip = 4;
    std::vector<uint8_t> short_plane = encode_test_tiff(random_rgba(planes, 37, 21));
    std::vector<uint8_t> short_strip = encode_test_tiff(random_rgba(strips, 37, 21));
    std::vector<uint8_t> more_rows = encode_test_tiff(random_rgba(planes4, 37, 21));
    std::vector<uint8_t> short_tile = tiled;
    set_tiff_number(short_plane, 279, 1, 100); // StripByteCounts
    set_tiff_number(short_strip, 279, 2, 500);
    set_tiff_number(more_rows, 278, 0, 8);     // RowsPerStrip over what the strips hold
    set_tiff_number(short_tile, 325, 4, 1000); // TileByteCounts: 16 x 16 x 4 needed
    const std::pair<std::vector<uint8_t>, const char*> short_data[] = {
        {short_plane, "strip 1 is shorter than its rows need (100 of 296 bytes), at row 8"},
        {short_strip, "strip 2 is shorter than its rows need (500 of 740 bytes), at row 16"},
        {more_rows, "strip 0 is shorter than its rows need (148 of 296 bytes), at row 0"},
        {short_tile, "tile 4 is shorter than its rows need (1000 of 1024 bytes), at row 16, "
                     "column 16"},
    };
    for (const auto& [bad, message] : short_data) {
        failure = read_test_image(bad, nullptr);
        EXPECT_EQ(failure.kind, ImageErrorKind::bad_input) << message;
        EXPECT_EQ(failure.message, std::string("the TIFF is damaged: ") + message);
    }
}

TEST(TiffReader, TheResolutionIsReadAsStored) {
    struct Case {
        uint16_t unit; // 0: no ResolutionUnit tag
        Rational x, y;
        bool has;
        uint8_t phys_unit;
        uint32_t across, down;
    };
    const Case cases[] = {
        {2, {600, 1}, {300, 1}, true, 1, 23622, 11811}, // 600 / 0.0254 = 23622.05
        {3, {600, 1}, {300, 1}, true, 1, 60000, 30000},
        {0, {600, 1}, {300, 1}, true, 1, 23622, 11811}, // TIFF's default unit is the inch
        {2, {1001, 10}, {1, 3}, true, 1, 3941, 13},     // 3940.94 and 13.12
        {1, {600, 1}, {300, 1}, true, 0, 2, 1},
        {1, {5457, 1000}, {6667, 1000}, true, 0, 5457, 6667}, // not 5 : 7
        // 3000000001 : 10^9 passes 2^31 - 1: 3 + 1 / 715827882 is nearer than 3 : 1.
        {1, {3000000001u, 1}, {1000000000, 1}, true, 0, 2147483647, 715827882},
        {1, {300, 1}, {600, 2}, false, 0, 0, 0}, // square pixels: no pHYs
    };
    for (const Case& c : cases) {
        TestTiff t = tiff(1, 1, 1, 8, {5});
        t.x_resolution = t.y_resolution = 1;
        t.resolution_unit = c.unit;
        std::vector<uint8_t> file = encode_test_tiff(t);
        set_tiff_rational(file, 282, c.x.numerator, c.x.denominator);
        set_tiff_rational(file, 283, c.y.numerator, c.y.denominator);
        ImageMetadata metadata;
        read_test_image(file, nullptr, nullptr, {}, &metadata);
        const std::string what = std::to_string(c.x.numerator) + " / " +
                                 std::to_string(c.x.denominator) + ", unit " +
                                 std::to_string(c.unit);
        EXPECT_EQ(metadata.has_resolution, c.has) << what;
        EXPECT_EQ(metadata.unit, c.phys_unit) << what;
        EXPECT_EQ(metadata.pixels_per_unit_x, c.across) << what;
        EXPECT_EQ(metadata.pixels_per_unit_y, c.down) << what;
    }
}

TEST(TiffReader, TheOrientationIsReadAndTurnsTheImageUpright) {
    // 3 x 2 RGB, pixels a..f stored as rows "abc" and "def"; pixel k is 10k + 1, 10k + 2,
    // 10k + 3.
    std::vector<uint8_t> stored;
    for (uint8_t k = 0; k < 6; ++k)
        stored.insert(stored.end(),
                      {uint8_t(10 * k + 1), uint8_t(10 * k + 2), uint8_t(10 * k + 3)});
    auto rgba = [](std::initializer_list<uint8_t> order) {
        std::vector<uint8_t> out;
        for (uint8_t k : order)
            out.insert(out.end(),
                       {uint8_t(10 * k + 1), uint8_t(10 * k + 2), uint8_t(10 * k + 3), 255});
        return out;
    };
    struct Case {
        uint16_t orientation;
        uint32_t width, height;
        std::vector<uint8_t> upright;
    };
    const Case cases[] = {
        {0, 3, 2, rgba({0, 1, 2, 3, 4, 5})}, // no tag
        {3, 3, 2, rgba({5, 4, 3, 2, 1, 0})}, // "fed", "cba"
        {5, 2, 3, rgba({0, 3, 1, 4, 2, 5})}, // "ad", "be", "cf"
    };
    for (const Case& c : cases) {
        TestTiff t = tiff(3, 2, 3, 8, stored);
        t.height = 2;
        t.orientation = c.orientation;
        t.x_resolution = 300;
        t.y_resolution = 100;
        t.resolution_unit = 2;
        ImageMetadata metadata;
        ASSERT_EQ(read_test_image(encode_test_tiff(t), nullptr, nullptr, {}, &metadata).kind,
                  ImageErrorKind::none);
        EXPECT_EQ(metadata.orientation, c.orientation == 0 ? 1 : c.orientation);
        std::vector<uint8_t> samples;
        ImageLayout layout;
        ASSERT_EQ(read_upright_test_image(encode_test_tiff(t), &samples, &layout, &metadata).kind,
                  ImageErrorKind::none);
        EXPECT_EQ(layout.width, c.width) << c.orientation;
        EXPECT_EQ(layout.height, c.height) << c.orientation;
        EXPECT_EQ(samples, c.upright) << c.orientation;
        EXPECT_EQ(metadata.orientation, 1);
        // 300 and 100 per inch, across and down as stored.
        EXPECT_EQ(metadata.pixels_per_unit_x, c.width == 2 ? 3937u : 11811u) << c.orientation;
    }
    // A value outside 1..8 is left out by libtiff, with a warning: the image as stored.
    TestTiff t = tiff(3, 2, 3, 8, stored);
    t.height = 2;
    t.orientation = 1;
    std::vector<uint8_t> file = encode_test_tiff(t);
    for (uint16_t odd : {0, 9}) {
        set_tiff_short(file, 274, odd);
        std::vector<uint8_t> samples;
        ImageLayout layout;
        MemorySource source(file);
        ImageError failure;
        const std::unique_ptr<ImageReader> reader = make_image_reader(source, failure);
        ASSERT_TRUE(reader->open({}, failure)) << failure.message;
        EXPECT_EQ(reader->metadata().orientation, 1) << odd;
        ASSERT_EQ(reader->warnings().size(), 1u) << odd;
        EXPECT_NE(reader->warnings()[0].find("Orientation tag is not 1..8"), std::string::npos)
            << reader->warnings()[0];
        ASSERT_EQ(read_upright_test_image(file, &samples, &layout).kind, ImageErrorKind::none);
        EXPECT_EQ(samples, rgba({0, 1, 2, 3, 4, 5})) << odd;
    }
}
