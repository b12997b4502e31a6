// The luminance-to-alpha kernel: worked values at each depth, the ends of the scale, greyscale,
// samples beyond the host's scale, NaN, and the row pitch. The suite runs once per kernel
// variant, each one put in use through the kernel's own limit; a variant this CPU cannot run
// is skipped. Last, the weights the documents give.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <cstring>
#include <random>
#include <vector>

#include "host/band_transform.h"
#include "tests/common/kernel_variant_printer.h"
#include "tests/common/source_files.h"
#include "transform/kernel_variants.h"
#include "transform/luminance_to_alpha.h"
#include "transform/weights.h"

namespace {

template <typename T> std::vector<T> run_pixels(std::vector<T> samples, int planes, int32_t depth) {
    const int64_t columns = int64_t(samples.size()) / planes;
    luminance_to_alpha(samples.data(), 1, columns, ptrdiff_t(samples.size() * sizeof(T)), planes,
                       depth);
    return samples;
}

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

class Transform : public testing::TestWithParam<KernelVariant> {
  protected:
    void SetUp() override {
        if (!this_cpu_runs(GetParam()))
            GTEST_SKIP() << "this CPU does not run " << kernel_variant_name(GetParam());
        limit_kernel_variant(GetParam());
        ASSERT_EQ(kernel_variant_in_use(), GetParam());
    }
    void TearDown() override { limit_kernel_variant(kFastestKernelVariant); }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(EachVariant, Transform, testing::ValuesIn(kAllKernelVariants),
                         [](const testing::TestParamInfo<KernelVariant>& info) {
                             return std::string(kernel_variant_name(info.param));
                         });

TEST_P(Transform, WorkedValues8Bit) {
    const std::vector<uint8_t> in = {255, 0,   0,   9, 0,   255, 0,   9, 0, 0, 255, 9,
                                     128, 128, 128, 9, 255, 255, 255, 9, 0, 0, 0,   9};
    const std::vector<uint8_t> want = {76,  76,  76,  179, 149, 149, 149, 106, 29, 29, 29, 226,
                                       128, 128, 128, 127, 255, 255, 255, 0,   0,  0,  0,  255};
    EXPECT_EQ(run_pixels(in, 4, 8), want);
}

TEST_P(Transform, WorkedValues16Bit) {
    const std::vector<uint16_t> in = {32768, 0,     0,     1, 32768, 32768, 32768, 1,
                                      65535, 65535, 65535, 1, 0,     0,     0,     1};
    const std::vector<uint16_t> want = {9794,  9794,  9794,  22974, 32768, 32768, 32768, 0,
                                        32768, 32768, 32768, 0,     0,     0,     0,     32768};
    EXPECT_EQ(run_pixels(in, 4, 16), want);
}

TEST_P(Transform, WorkedValuesFloat) {
    const auto out = run_pixels<float>({1.0f, 1.0f, 1.0f, 0.25f, 0.5f, 0.5f, 0.5f, 0.25f, 0.0f,
                                        0.0f, 0.0f, 0.25f, -0.5f, 0.0f, 0.0f, 0.25f},
                                       4, 32);
    // White: clipped to exactly 1.0, alpha exactly 0.
    EXPECT_EQ(bits(out[0]), bits(1.0f));
    EXPECT_EQ(bits(out[3]), bits(0.0f));
    // 0.5000005 rounds to the float 0.5 + 8 * 2^-24; alpha 1 - that is exact in single.
    EXPECT_EQ(bits(out[4]), bits(0x1.00001p-1f));
    EXPECT_EQ(bits(out[6]), bits(0x1.00001p-1f));
    EXPECT_EQ(bits(out[7]), bits(0x1.ffffep-2f));
    // Black: full opacity.
    EXPECT_EQ(bits(out[8]), bits(0.0f));
    EXPECT_EQ(bits(out[11]), bits(1.0f));
    // Nothing raises a negative luminance.
    EXPECT_EQ(bits(out[12]), bits(-0.149456f));
    EXPECT_FLOAT_EQ(out[15], 1.149456f);
    EXPECT_GT(out[15], 1.0f);
}

TEST_P(Transform, EveryColourSampleBecomesTheGreyAndNotJustTheFirst) {
    const auto out = run_pixels<uint8_t>({10, 200, 30, 0, 200, 10, 30, 0}, 4, 8);
    // (10, 200, 30): 2.98912 + 117.3222 + 3.43434 = 123.74566 -> 123;
    // (200, 10, 30): 59.7824 + 5.86611 + 3.43434 = 69.08285 -> 69.
    EXPECT_EQ(out, (std::vector<uint8_t>{123, 123, 123, 132, 69, 69, 69, 186}));
}

TEST_P(Transform, GreyscaleKeepsGreyBitForBitAndComplementsAlpha) {
    std::mt19937 random(7);
    std::vector<uint8_t> g8(64);
    for (auto& s : g8)
        s = uint8_t(random());
    const auto o8 = run_pixels(g8, 2, 8);
    std::vector<uint16_t> g16(64);
    for (auto& s : g16)
        s = uint16_t(random() % 32769);
    const auto o16 = run_pixels(g16, 2, 16);
    std::vector<float> g32(64);
    for (auto& s : g32)
        s = float(random()) / float(random.max());
    g32[10] = std::nanf("");
    g32[12] = -0.25f;
    const auto o32 = run_pixels(g32, 2, 32);
    for (size_t i = 0; i < 64; i += 2) {
        EXPECT_EQ(o8[i], g8[i]);
        EXPECT_EQ(o8[i + 1], 255 - g8[i]);
        EXPECT_EQ(o16[i], g16[i]);
        EXPECT_EQ(o16[i + 1], 32768 - g16[i]);
        EXPECT_EQ(bits(o32[i]), bits(g32[i]));
        if (!std::isnan(g32[i])) {
            EXPECT_EQ(bits(o32[i + 1]), bits(1.0f - g32[i]));
        }
    }
    EXPECT_TRUE(std::isnan(o32[11]));
    EXPECT_EQ(o32[13], 1.25f);
}

TEST_P(Transform, Samples16BitBeyondTheHostScale) {
    // Colour: luminance above 32768 is held there.
    EXPECT_EQ(run_pixels<uint16_t>({40000, 40000, 40000, 0}, 4, 16),
              (std::vector<uint16_t>{32768, 32768, 32768, 0}));
    EXPECT_EQ(run_pixels<uint16_t>({65535, 30000, 0, 0}, 4, 16)[3], 0);
    // Greyscale: 32768 - Y wraps modulo 2^16.
    EXPECT_EQ(run_pixels<uint16_t>({40000, 0, 65535, 0, 32769, 0}, 2, 16),
              (std::vector<uint16_t>{40000, 58304, 65535, 32769, 32769, 65535}));
}

TEST_P(Transform, FloatNaNPassesTheCeilingAndSpreads) {
    const auto out = run_pixels<float>({std::nanf(""), 0.5f, 0.5f, 1.0f}, 4, 32);
    for (float s : out)
        EXPECT_TRUE(std::isnan(s));
    // Beyond full scale is held at 1.0 like white.
    EXPECT_EQ(run_pixels<float>({3.0f, 3.0f, 3.0f, 1.0f}, 4, 32),
              (std::vector<float>{1.0f, 1.0f, 1.0f, 0.0f}));
}

TEST_P(Transform, WhiteIsClearAndBlackOpaqueAtEveryDepth) {
    EXPECT_EQ(run_pixels<uint8_t>({255, 255, 255, 7, 0, 0, 0, 7}, 4, 8),
              (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 255}));
    EXPECT_EQ(run_pixels<uint16_t>({32768, 32768, 32768, 7, 0, 0, 0, 7}, 4, 16),
              (std::vector<uint16_t>{32768, 32768, 32768, 0, 0, 0, 0, 32768}));
    EXPECT_EQ(run_pixels<float>({1, 1, 1, 0.5f, 0, 0, 0, 0.5f}, 4, 32),
              (std::vector<float>{1, 1, 1, 0, 0, 0, 0, 1}));
    // Any depth other than 16 and 32 is 8-bit.
    EXPECT_EQ(run_pixels<uint8_t>({255, 255, 255, 7}, 4, 0),
              (std::vector<uint8_t>{255, 255, 255, 0}));
}

TEST_P(Transform, OtherPlaneCountsAndEmptyBandsChangeNothing) {
    const std::vector<uint8_t> rgb = {10, 20, 30, 40, 50, 60};
    EXPECT_EQ(run_pixels(rgb, 3, 8), rgb);
    std::vector<uint8_t> buffer = {1, 2, 3, 4};
    luminance_to_alpha(buffer.data(), 0, 1, 4, 4, 8);
    luminance_to_alpha(buffer.data(), 1, 0, 4, 4, 8);
    luminance_to_alpha(buffer.data(), -3, 1, 4, 4, 8);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_P(Transform, BandFollowsTheRowPitchAndLeavesPadBytes) {
    // Two rows of one RGBA pixel, each row followed by three pad bytes.
    std::vector<uint8_t> band = {255, 255, 255, 1, 0xEE, 0xEE, 0xEE, 0, 0, 0, 1, 0xEE, 0xEE, 0xEE};
    FilterRecord record{};
    record.planes = 4;
    record.depth = 8;
    record.outRect = Rect{5, 9, 7, 10};
    record.outData = band.data();
    record.outRowBytes = 7;
    transform_band(record, true);
    EXPECT_EQ(band, (std::vector<uint8_t>{255, 255, 255, 0, 0xEE, 0xEE, 0xEE, 0, 0, 0, 255, 0xEE,
                                          0xEE, 0xEE}));
}

TEST_P(Transform, BandWithTooSmallPitchIsTakenAsPacked) {
    // A host that reports half the pitch of 16-bit rows.
    std::vector<uint16_t> band = {0, 0, 0, 0, 32768, 32768, 32768, 0};
    FilterRecord record{};
    record.planes = 4;
    record.depth = 16;
    record.outRect = Rect{0, 0, 2, 1};
    record.outData = band.data();
    record.outRowBytes = 4;
    transform_band(record, true);
    EXPECT_EQ(band, (std::vector<uint16_t>{0, 0, 0, 32768, 32768, 32768, 32768, 0}));
}

TEST_P(Transform, BandReadsTheOutputRectangleFromTheBigDocumentWhenInUse) {
    std::vector<uint8_t> band(2 * 3 * 4, 0);
    BigDocumentStruct big{};
    FilterRecord record{};
    record.planes = 4;
    record.depth = 8;
    record.outRect = Rect{0, 0, 1, 1}; // stale 16-bit rectangle: one pixel only
    record.outData = band.data();
    record.outRowBytes = 12;
    record.bigDocumentData = &big;
    big.PluginUsing32BitCoordinates = 1;
    big.outRect32 = VRect{70000, 100000, 70002, 100003};
    transform_band(record, true);
    for (size_t i = 3; i < band.size(); i += 4)
        EXPECT_EQ(band[i], 255) << i;
}

TEST_P(Transform, BandWithEmptyRectangleOrNoBufferLeavesEverythingAlone) {
    std::vector<uint8_t> band = {9, 9, 9, 9};
    FilterRecord record{};
    record.planes = 4;
    record.depth = 8;
    record.outData = band.data();
    record.outRect = Rect{4, 4, 4, 5};
    transform_band(record, true);
    record.outRect = Rect{4, 5, 5, 4};
    transform_band(record, true);
    EXPECT_EQ(band, (std::vector<uint8_t>{9, 9, 9, 9}));
    record.outRect = Rect{0, 0, 1, 1};
    record.outData = nullptr;
    transform_band(record, true); // must not crash
}

// The documents that give the luminance's formula give the kernel's weights: @ for each as a
// decimal, # in millionths.
TEST(LuminanceWeights, TheDocumentsGiveTheKernelsWeights) {
    const std::pair<const char*, const char*> documents[] = {
        {"README.md", "luminance (@ R + @ G + @ B)"},
        {"README.ja.md", "（輝度 ＝ 赤 × @ ＋ 緑 × @ ＋ 青 × @）"},
        {"guide/README.txt", "Brightness (luminance) is @ x red + @ x green + @ x blue."},
        {"guide/README-ja.txt", "「赤 × @ ＋ 緑 × @ ＋ 青 × @」"},
        {"docs/bfrun.md", "the luminance (# R + # G + # B) / 10^6"},
    };
    for (const auto& [path, formula] : documents) {
        std::string said = formula;
        for (const uint32_t weight : {kRedMillionths, kGreenMillionths, kBlueMillionths}) {
            const size_t at = said.find_first_of("@#");
            said.replace(at, 1,
                         said[at] == '#' ? std::to_string(weight)
                                         : "0." + std::to_string(1000000 + weight).substr(1));
        }
        EXPECT_NE(flowing(source_file(path)).find(said), std::string::npos)
            << path << " should say " << said;
    }
}
