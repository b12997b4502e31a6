// The host's matting: worked values, rounding, removal and round trips at 8 and 16 bits and
// in float.
#include <gtest/gtest.h>

#include <cmath>

#include "bfrun/drive/matting.h"

TEST(Matting, WhiteMatteWorkedValues8Bit) {
    // Opaque pixels are untouched; transparent ones become the matte.
    EXPECT_EQ(apply_matte(37u, 255u, 255u, kScale8), 37u);
    EXPECT_EQ(apply_matte(37u, 0u, 255u, kScale8), 255u);
    // (0 x 128 + 255 x 127) / 255 = 127; (200 x 100 + 255 x 155) / 255 = 233.43 -> 233.
    EXPECT_EQ(apply_matte(0u, 128u, 255u, kScale8), 127u);
    EXPECT_EQ(apply_matte(200u, 100u, 255u, kScale8), 233u);
    // Black matte: 200 x 100 / 255 = 78.43 -> 78.
    EXPECT_EQ(apply_matte(200u, 100u, matte_level(Matte::black, kScale8), kScale8), 78u);
}

TEST(Matting, HalvesRoundUpAndAlphaAboveScaleCountsAsOpaque) {
    // 1 x 16384 / 32768 + 16384 = 16384.5 -> 16385.
    EXPECT_EQ(apply_matte(1u, 16384u, 32768u, kScale16), 16385u);
    EXPECT_EQ(apply_matte(1000u, 40000u, 32768u, kScale16), 1000u);
    EXPECT_EQ(matte_level(Matte::grey, kScale8), 128u);
    EXPECT_EQ(matte_level(Matte::grey, kScale16), 16384u);
}

TEST(Matting, RemovingTheMatte) {
    // Brightfade's output: grey o with alpha scale - o is black ink.
    EXPECT_EQ(remove_matte(128u, 127u, 255u, kScale8), 0u);
    EXPECT_EQ(remove_matte(9794u, 22974u, 32768u, kScale16), 0u);
    // No alpha: 0, whatever the colour.
    EXPECT_EQ(remove_matte(77u, 0u, 255u, kScale8), 0u);
    // Clamped at both ends: below the matte's share, and above full scale.
    EXPECT_EQ(remove_matte(100u, 50u, 255u, kScale8), 0u);
    EXPECT_EQ(remove_matte(255u, 10u, 0u, kScale8), 255u);
    // (250 x 255 - 255 x 155) / 100 = 242.25 -> 242.
    EXPECT_EQ(remove_matte(250u, 100u, 255u, kScale8), 242u);
}

TEST(Matting, RoundTripOfEveryOpaqueAndEveryColourAtHalfAlpha) {
    for (uint32_t c = 0; c <= 255; ++c) {
        EXPECT_EQ(remove_matte(apply_matte(c, 255u, 255u, kScale8), 255u, 255u, kScale8), c);
        const uint32_t back =
            remove_matte(apply_matte(c, 128u, 255u, kScale8), 128u, 255u, kScale8);
        EXPECT_LE(back > c ? back - c : c - back, 1u) << c;
    }
}

TEST(Matting, FloatSamples) {
    EXPECT_FLOAT_EQ(apply_matte(0.25f, 0.5f, 1.0f), 0.625f);
    EXPECT_FLOAT_EQ(remove_matte(0.625f, 0.5f, 1.0f), 0.25f);
    EXPECT_EQ(remove_matte(0.3f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(remove_matte(0.1f, 0.5f, 1.0f), 0.0f);
    EXPECT_EQ(apply_matte(std::nanf(""), 0.5f, 1.0f), 0.0f);
    EXPECT_EQ(remove_matte(std::nanf(""), 0.5f, 1.0f), 0.0f);
    EXPECT_EQ(apply_matte(0.4f, std::nanf(""), 1.0f), 1.0f); // NaN alpha counts as none
}
