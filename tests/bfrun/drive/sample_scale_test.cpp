// 16-bit files on the host's scale and back, and float layers.
#include <gtest/gtest.h>

#include <cmath>

#include "bfrun/drive/sample_scale.h"

TEST(SampleScale, SixteenBitFilesMapOntoTheHostScale) {
    EXPECT_EQ(png16_to_host(0), 0);
    EXPECT_EQ(png16_to_host(65535), 32768);
    EXPECT_EQ(png16_to_host(32768), 16384); // 16384.25
    EXPECT_EQ(host_to_png16(16384), 32768); // 32767.5, half up
    EXPECT_EQ(host_to_png16(32768), 65535);
    EXPECT_EQ(host_to_png16(40000), 65535);
    // Every host value survives the way out to a file and back.
    for (uint32_t h = 0; h <= 32768; ++h)
        ASSERT_EQ(png16_to_host(host_to_png16(static_cast<uint16_t>(h))), h);
}

TEST(SampleScale, FloatLayers) {
    EXPECT_EQ(png_to_float(255, 8), 1.0f);
    EXPECT_EQ(png_to_float(0, 16), 0.0f);
    for (uint32_t v = 0; v <= 255; ++v)
        ASSERT_EQ(float_to_png(png_to_float(v, 8), 8), v);
    for (uint32_t v = 0; v <= 65535; v += 7)
        ASSERT_EQ(float_to_png(png_to_float(v, 16), 16), v);
    EXPECT_EQ(float_to_png(-0.5f, 8), 0u);
    EXPECT_EQ(float_to_png(1.5f, 16), 65535u);
    EXPECT_EQ(float_to_png(std::nanf(""), 8), 0u);
}
