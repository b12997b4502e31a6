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
    EXPECT_NE(error.find("unreadable PNG"), std::string::npos) << error;

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
