#include <gtest/gtest.h>

#include <cstring>

#include "runner/layer.h"
#include "runner/png_io.h"

namespace {

PngImage pattern(int channels, int bits) {
    PngImage image;
    image.width = 5;
    image.height = 3;
    image.channels = channels;
    image.bits = bits;
    const uint32_t full = bits == 16 ? 65535 : 255;
    for (int i = 0; i < 5 * 3 * channels; ++i)
        image.samples.push_back(static_cast<uint16_t>((i * 7919u + 1u) % (full + 1)));
    return image;
}

} // namespace

TEST(Png, EveryColourTypeRoundTripsAtBothDepths) {
    for (int bits : {8, 16})
        for (int channels = 1; channels <= 4; ++channels) {
            const PngImage image = pattern(channels, bits);
            std::vector<uint8_t> file;
            ASSERT_TRUE(encode_png(image, file));
            PngImage back;
            std::string error;
            ASSERT_TRUE(decode_png(file, back, error)) << error;
            EXPECT_EQ(back.bits, bits);
            EXPECT_EQ(back.channels, channels);
            EXPECT_EQ(back.width, 5);
            EXPECT_EQ(back.height, 3);
            EXPECT_EQ(back.samples, image.samples) << channels << " channels, " << bits;
        }
}

TEST(Png, BadFilesAreRefusedWithAReason) {
    std::vector<uint8_t> good;
    ASSERT_TRUE(encode_png(pattern(4, 8), good));
    PngImage image;
    std::string error;

    EXPECT_FALSE(decode_png({'G', 'I', 'F', '8', '9', 'a'}, image, error));
    EXPECT_EQ(error, "not a PNG file");

    std::vector<uint8_t> no_pixels = good;
    no_pixels[16] = no_pixels[17] = no_pixels[18] = no_pixels[19] = 0; // width 0
    EXPECT_FALSE(decode_png(no_pixels, image, error));
    EXPECT_EQ(error, "the image has no pixels (0 x 3)");

    std::vector<uint8_t> truncated(good.begin(), good.begin() + 40);
    EXPECT_FALSE(decode_png(truncated, image, error));
    EXPECT_NE(error.find("unreadable or truncated PNG"), std::string::npos) << error;

    uint32_t width = 0, height = 0;
    ASSERT_TRUE(png_dimensions(good, width, height));
    EXPECT_EQ(width, 5u);
    EXPECT_EQ(height, 3u);
}

TEST(Layer, OpaqueAlphaIsAddedAndSixteenBitSamplesAreScaled) {
    PngImage grey;
    grey.width = 2;
    grey.height = 1;
    grey.channels = 1;
    grey.bits = 16;
    grey.samples = {65535, 32768};
    const Layer layer = layer_from_png(grey, false);
    EXPECT_EQ(layer.planes, 2);
    EXPECT_EQ(layer.depth, 16);
    std::vector<uint16_t> samples(4);
    std::memcpy(samples.data(), layer.samples.data(), 8);
    EXPECT_EQ(samples, (std::vector<uint16_t>{32768, 32768, 16384, 32768}));

    const PngImage back = png_from_layer(layer, 16);
    EXPECT_EQ(back.channels, 2);
    EXPECT_EQ(back.samples, (std::vector<uint16_t>{65535, 65535, 32768, 65535}));
}

TEST(Layer, FloatLayersFromEightBitRgb) {
    PngImage rgb;
    rgb.width = 1;
    rgb.height = 1;
    rgb.channels = 3;
    rgb.bits = 8;
    rgb.samples = {255, 0, 51};
    const Layer layer = layer_from_png(rgb, true);
    EXPECT_EQ(layer.planes, 4);
    EXPECT_EQ(layer.depth, 32);
    float samples[4];
    std::memcpy(samples, layer.samples.data(), sizeof samples);
    EXPECT_EQ(samples[0], 1.0f);
    EXPECT_EQ(samples[1], 0.0f);
    EXPECT_FLOAT_EQ(samples[2], 0.2f);
    EXPECT_EQ(samples[3], 1.0f);
    EXPECT_EQ(png_from_layer(layer, 8).samples, (std::vector<uint16_t>{255, 0, 51, 255}));
}

TEST(Png, PalettesAreExpanded) {
    // 4 x 1, two palette entries: red, red, (0, 128, 255) twice; written by ImageMagick.
    const std::vector<uint8_t> file = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0xce,
        0xe2, 0xff, 0xff, 0x00, 0x00, 0x00, 0x06, 0x50, 0x4c, 0x54, 0x45, 0xff, 0x00, 0x00, 0x00,
        0x80, 0xff, 0x57, 0x22, 0x65, 0xc5, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x08,
        0xd7, 0x63, 0x60, 0x60, 0x60, 0x64, 0x04, 0x00, 0x00, 0x08, 0x00, 0x03, 0xd7, 0xfb, 0xbe,
        0x40, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    PngImage image;
    std::string error;
    ASSERT_TRUE(decode_png(file, image, error)) << error;
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.bits, 8);
    EXPECT_EQ(image.samples,
              (std::vector<uint16_t>{255, 0, 0, 255, 0, 0, 0, 128, 255, 0, 128, 255}));
}
