// The JPEG reader on files libjpeg writes: grey and colour at their values (within JPEG's
// loss), progressive as baseline, CMYK described, the density and Exif read, the resolution
// from Exif where JFIF has no unit; limits, cut and damaged files refused rather than filled in
// with grey.
#include <gtest/gtest.h>

#include <cstdlib>

#include "bfrun/image/resolution.h"
#include "tests/bfrun/test_images.h"

namespace {

// 16 x 8 (or wider and higher): the left 8 columns one colour, the rest another, so that each
// 8 x 8 block decodes almost exactly.
TestJpeg two_blocks(int components, const std::vector<uint8_t>& left,
                    const std::vector<uint8_t>& right, uint32_t width = 16, uint32_t height = 8) {
    TestJpeg image;
    image.width = width;
    image.height = height;
    image.components = components;
    for (uint32_t i = 0; i < width * height; ++i) {
        const std::vector<uint8_t>& colour = i % width < 8 ? left : right;
        image.samples.insert(image.samples.end(), colour.begin(), colour.end());
    }
    return image;
}

// An Exif block's TIFF stream: IFD0 with XResolution and YResolution and, unless `unit` is 0,
// ResolutionUnit; the rationals after it.
std::vector<uint8_t> exif_resolution(Rational x, Rational y, uint16_t unit, bool big_endian) {
    const uint32_t entries = unit != 0 ? 3 : 2, values = 8 + 2 + 12 * entries + 4;
    std::vector<ExifEntry> ifd0 = {{282, 5, 1, values}, {283, 5, 1, values + 8}}; // RATIONALs
    if (unit != 0) ifd0.push_back({296, 3, 1, unit});
    std::vector<uint8_t> b = exif_ifd0(ifd0, big_endian);
    for (uint32_t v : {x.numerator, x.denominator, y.numerator, y.denominator})
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> 8 * (big_endian ? 3 - i : i)));
    return b;
}

void expect_near(const std::vector<uint8_t>& got, size_t at, std::vector<int> want) {
    for (size_t k = 0; k < want.size(); ++k)
        EXPECT_LE(std::abs(got[at + k] - want[k]), 3) << "sample " << at + k;
}

} // namespace

TEST(JpegReader, GreyAndColourGiveTheirValuesOpaque) {
    std::vector<uint8_t> samples;
    ImageLayout layout;
    ImageError failure =
        read_test_image(encode_test_jpeg(two_blocks(1, {50}, {200})), &samples, &layout);
    ASSERT_EQ(failure.kind, ImageErrorKind::none) << failure.message;
    EXPECT_EQ(layout.channels, 2);
    EXPECT_EQ(layout.bits, 8);
    expect_near(samples, 2 * (3 * 16 + 2), {50, 255});
    expect_near(samples, 2 * (5 * 16 + 13), {200, 255});

    const TestJpeg colour = two_blocks(3, {200, 100, 50}, {20, 180, 240});
    failure = read_test_image(encode_test_jpeg(colour), &samples, &layout);
    ASSERT_EQ(failure.kind, ImageErrorKind::none) << failure.message;
    EXPECT_EQ(layout.channels, 4);
    EXPECT_FALSE(layout.cmyk);
    expect_near(samples, 4 * (4 * 16 + 2), {200, 100, 50, 255});
    expect_near(samples, 4 * (7 * 16 + 14), {20, 180, 240, 255});

    // Progressive coding loses nothing more: the same pixels.
    TestJpeg progressive = colour;
    progressive.progressive = true;
    std::vector<uint8_t> again;
    EXPECT_EQ(read_test_image(encode_test_jpeg(progressive), &again).kind, ImageErrorKind::none);
    EXPECT_EQ(again, samples);
}

TEST(JpegReader, CmykIsDescribedNotDecoded) {
    ImageLayout layout;
    const ImageError failure = read_test_image(
        encode_test_jpeg(two_blocks(4, {1, 2, 3, 4}, {5, 6, 7, 8})), nullptr, &layout);
    EXPECT_TRUE(layout.cmyk);
    EXPECT_EQ(layout.channels, 4);
    EXPECT_EQ(failure.kind, ImageErrorKind::bad_input);
    EXPECT_NE(failure.message.find("CMYK"), std::string::npos) << failure.message;
}

// The JFIF density, or the Exif block's resolution where JFIF gives no unit; the Exif block is
// carried as it was, as an eXIf chunk.
TEST(JpegReader, TheResolutionIsJfifsOrExifsAndTheExifBlockIsCarried) {
    struct Case {
        const char* what;
        uint8_t jfif_unit;
        std::vector<uint8_t> exif;
        uint8_t unit;
        uint32_t across, down;
    };
    const Case cases[] = {
        {"Exif in inches", 0, exif_resolution({300, 1}, {300, 1}, 2, false), 1, 11811, 11811},
        {"Exif without a unit tag: inches", 0, exif_resolution({72, 1}, {72, 1}, 0, false), 1, 2835,
         2835},
        {"Exif per centimetre, big-endian", 0, exif_resolution({118, 1}, {236, 2}, 3, true), 1,
         11800, 11800},
        {"Exif's aspect alone", 0, exif_resolution({5457, 1000}, {6667, 1000}, 1, false), 0, 5457,
         6667},
        {"JFIF's unit first", 1, exif_resolution({72, 1}, {72, 1}, 2, false), 1, 23622, 11811},
        {"JFIF per centimetre", 2, {}, 1, 60000, 30000},
        {"JFIF per inch, an Exif block without IFD",
         1,
         {'M', 'M', 0, 42, 0, 0, 0, 8},
         1,
         23622,
         11811}, // 600 / 0.0254 = 23622.05 and 11811.02
        {"no Exif: JFIF's aspect, reduced", 0, {}, 0, 2, 1},
    };
    for (const Case& c : cases) {
        TestJpeg image = two_blocks(1, {0}, {0});
        image.density_unit = c.jfif_unit;
        image.x_density = 600;
        image.y_density = 300;
        image.exif = c.exif;
        ImageMetadata metadata;
        ASSERT_EQ(read_test_image(encode_test_jpeg(image), nullptr, nullptr, {}, &metadata).kind,
                  ImageErrorKind::none);
        EXPECT_TRUE(metadata.has_resolution) << c.what;
        EXPECT_EQ(metadata.unit, c.unit) << c.what;
        EXPECT_EQ(metadata.pixels_per_unit_x, c.across) << c.what;
        EXPECT_EQ(metadata.pixels_per_unit_y, c.down) << c.what;
        ASSERT_EQ(metadata.chunks.size(), c.exif.empty() ? 0u : 1u) << c.what;
        if (c.exif.empty()) continue;
        EXPECT_EQ(metadata.chunks[0].type, "eXIf");
        EXPECT_EQ(metadata.chunks[0].data, c.exif) << c.what;
    }
}

TEST(JpegReader, LimitsAndDamageAreRefusedNotFilledIn) {
    TestJpeg image = two_blocks(3, {200, 100, 50}, {20, 180, 240});
    image.progressive = true;
    const std::vector<uint8_t> good = encode_test_jpeg(image);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        ReadLimits limits;
        ImageErrorKind kind;
        std::string message;
    };
    ReadLimits narrow, few_pixels, little_memory;
    narrow.max_width = 15;
    few_pixels.max_pixels = 127;
    // 128 x 128 progressive, 4:2:0: 384 blocks of coefficients, 48 KiB.
    little_memory.max_decoder_bytes = 16384;
    TestJpeg large = two_blocks(3, {1, 2, 3}, {4, 5, 6}, 128, 128);
    large.progressive = true;
    std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() * 2 / 3);
    std::vector<uint8_t> no_end(good.begin(), good.end() - 2);
    // A frame header of 11 bytes for 5 components, which need 23.
    const std::vector<uint8_t> bad_frame = {0xFF, 0xD8, 0xFF, 0xC0, 0,    11, 8,    0,   8,
                                            0,    8,    5,    1,    0x11, 0,  0xFF, 0xD9};
    const Case cases[] = {
        {"narrow", good, narrow, ImageErrorKind::too_large, "the image (16 x 8) is larger than"},
        {"pixels", good, few_pixels, ImageErrorKind::too_large, "has 128 pixels, more than"},
        {"memory", encode_test_jpeg(large), little_memory, ImageErrorKind::too_large,
         "more memory to decode"},
        {"cut", cut, {}, ImageErrorKind::bad_input, "the file ends early"},
        {"no end marker", no_end, {}, ImageErrorKind::bad_input, "Premature end of JPEG file"},
        {"bad frame",
         bad_frame,
         {},
         ImageErrorKind::bad_input,
         "malformed JPEG at byte 4 (libjpeg: Bogus marker length)"},
    };
    for (const Case& c : cases) {
        const ImageError failure = read_test_image(c.file, nullptr, nullptr, c.limits);
        EXPECT_EQ(failure.kind, c.kind) << c.what << ": " << failure.message;
        EXPECT_NE(failure.message.find(c.message), std::string::npos)
            << c.what << ": " << failure.message;
    }
    // Scan data overwritten with a restart marker it does not expect: libjpeg warns of a
    // segment ended early and would fill it in.
    std::vector<uint8_t> damaged = encode_test_jpeg(two_blocks(1, {50}, {200}));
    damaged[damaged.size() - 6] = 0xFF;
    damaged[damaged.size() - 5] = 0xD3;
    const ImageError failure = read_test_image(damaged, nullptr);
    EXPECT_EQ(failure.kind, ImageErrorKind::bad_input);
    EXPECT_NE(
        failure.message.find("damaged at byte 328 (libjpeg: Corrupt JPEG data: premature end"),
        std::string::npos)
        << failure.message;
}

TEST(JpegReader, TheOrientationIsExifIfd0sOneShortOfOneToEight) {
    struct Case {
        const char* what;
        std::vector<uint8_t> exif;
        uint16_t orientation;
        std::vector<uint8_t> carried; // read upright; empty: the block as it was
    };
    std::vector<uint8_t> entries_past_the_end = exif_orientation(6);
    entries_past_the_end[8] = 200;
    const Case cases[] = {
        {"6", exif_orientation(6), 6, exif_orientation(1)},
        {"8, big-endian", exif_orientation(8, true), 8, exif_orientation(1, true)},
        {"after another tag", exif_ifd0({{256, 3, 1, 24}, {274, 3, 1, 3}}), 3,
         exif_ifd0({{256, 3, 1, 24}, {274, 3, 1, 1}})},
        {"0", exif_orientation(0), 1, {}},
        {"9", exif_orientation(9), 1, {}},
        {"a LONG", exif_ifd0({{274, 4, 1, 6}}), 1, {}},
        {"count 0", exif_ifd0({{274, 3, 0, 6}}), 1, {}},
        {"count 2", exif_ifd0({{274, 3, 2, 6}}), 1, {}},
        {"IFD0 past the end", exif_ifd0({{274, 3, 1, 6}}, false, 4000), 1, {}},
        {"entries past the end", entries_past_the_end, 1, {}},
        {"no tag", exif_ifd0({{256, 3, 1, 24}}), 1, {}},
        {"no Exif", {}, 1, {}},
    };
    for (const Case& c : cases) {
        TestJpeg image = grey_blocks(1, {0});
        image.exif = c.exif;
        ImageMetadata metadata;
        ASSERT_EQ(read_test_image(encode_test_jpeg(image), nullptr, nullptr, {}, &metadata).kind,
                  ImageErrorKind::none)
            << c.what;
        EXPECT_EQ(metadata.orientation, c.orientation) << c.what;
        // Read upright, the carried block says 1 where it said more.
        ASSERT_EQ(
            read_upright_test_image(encode_test_jpeg(image), nullptr, nullptr, &metadata).kind,
            ImageErrorKind::none)
            << c.what;
        EXPECT_EQ(metadata.orientation, 1) << c.what;
        if (c.exif.empty()) continue;
        ASSERT_EQ(metadata.chunks.size(), 1u) << c.what;
        EXPECT_EQ(metadata.chunks[0].data, c.carried.empty() ? c.exif : c.carried) << c.what;
    }
}

TEST(JpegReader, AnImageReadUprightHasItsSidesAndResolutionTurned) {
    // Blocks a..f stored as rows "abc" and "def", 24 x 16.
    TestJpeg image = grey_blocks(3, {30, 60, 90, 120, 150, 180});
    image.density_unit = 1;
    image.x_density = 600;
    image.y_density = 300;
    struct Case {
        uint16_t orientation;
        std::vector<uint8_t> blocks; // upright, 2 across and 3 down
    };
    const Case cases[] = {
        {6, {120, 30, 150, 60, 180, 90}}, // "da", "eb", "fc"
        {8, {90, 180, 60, 150, 30, 120}}, // "cf", "be", "ad"
    };
    for (const Case& c : cases) {
        image.exif = exif_orientation(c.orientation);
        std::vector<uint8_t> samples;
        ImageLayout layout;
        ImageMetadata metadata;
        ASSERT_EQ(
            read_upright_test_image(encode_test_jpeg(image), &samples, &layout, &metadata).kind,
            ImageErrorKind::none);
        ASSERT_EQ(layout.width, 16u);
        ASSERT_EQ(layout.height, 24u);
        for (size_t y = 0; y < 24; ++y)
            for (size_t x = 0; x < 16; ++x)
                ASSERT_LE(std::abs(samples[2 * (y * 16 + x)] - c.blocks[y / 8 * 2 + x / 8]), 2)
                    << c.orientation << ": " << x << ", " << y;
        // 600 and 300 per inch, across and down as stored.
        EXPECT_EQ(metadata.pixels_per_unit_x, 11811u);
        EXPECT_EQ(metadata.pixels_per_unit_y, 23622u);
    }
    // The module's size limits hold for the upright sides.
    ReadLimits narrow;
    narrow.max_width = 20;
    EXPECT_EQ(
        read_upright_test_image(encode_test_jpeg(image), nullptr, nullptr, nullptr, narrow).kind,
        ImageErrorKind::none);
    EXPECT_EQ(read_test_image(encode_test_jpeg(image), nullptr, nullptr, narrow).kind,
              ImageErrorKind::too_large);
    ReadLimits low;
    low.max_height = 20;
    const ImageError failure =
        read_upright_test_image(encode_test_jpeg(image), nullptr, nullptr, nullptr, low);
    EXPECT_EQ(failure.kind, ImageErrorKind::too_large);
    EXPECT_NE(failure.message.find("the image (16 x 24) is larger than"), std::string::npos)
        << failure.message;
}
