// Every SIMD variant of the kernel against the reference, bit for bit: random bands of every
// shape (checkasm style), rows of every short width at every offset, all 2^24 8-bit triples and
// every grey. A variant this CPU cannot run is skipped. BRIGHTFADE_TEST_RANDOM_START replaces the
// random bands' starting value, which every failure prints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/common/kernel_variant_printer.h"
#include "tests/common/variant_check.h"

namespace {

uint32_t test_random_start() {
    const char* text = std::getenv("BRIGHTFADE_TEST_RANDOM_START");
    return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 20260611u;
}

class TransformVariants : public testing::TestWithParam<KernelVariant> {
  protected:
    void SetUp() override {
        if (!this_cpu_runs(GetParam()))
            GTEST_SKIP() << "this CPU does not run " << kernel_variant_name(GetParam());
    }
    RowsUnderTest tested() const { return rows_under_test(GetParam()); }
};

} // namespace

TEST_P(TransformVariants, RandomBandsMatchTheReference) {
    const uint32_t random_start = test_random_start();
    EXPECT_EQ(compare_random_bands(tested(), random_start, 3000), "");
}

TEST_P(TransformVariants, EveryShortWidthAtEveryOffsetMatchesTheReference) {
    EXPECT_EQ(compare_short_widths_at_every_offset(tested()), "");
}

TEST_P(TransformVariants, EveryRgbTripleMatchesTheReference) {
    EXPECT_EQ(compare_all_rgb_triples(tested()), "");
}

TEST_P(TransformVariants, EveryGreyMatchesTheReference) {
    EXPECT_EQ(compare_all_greys(tested()), "");
}

INSTANTIATE_TEST_SUITE_P(Simd, TransformVariants,
                         testing::Values(KernelVariant::sse2, KernelVariant::avx2,
                                         KernelVariant::avx512),
                         [](const testing::TestParamInfo<KernelVariant>& info) {
                             return std::string(kernel_variant_name(info.param));
                         });

namespace {

// Rows with a fault planted, to show the comparison catches it.
void flips_one_bit_of_the_last_alpha(unsigned char* row, int64_t columns) {
    colour_row_8_reference(row, columns);
    if (columns == 13) row[13 * 4 - 1] ^= 1;
}

void writes_the_byte_before_the_row(unsigned char* row, int64_t columns) {
    grey_row_16_reference(row, columns);
    row[-1] = 0;
}

} // namespace

TEST(TransformVariantCheck, CatchesAWrongSampleAndAWriteOutsideTheRow) {
    RowTransforms faulty = reference_rows;
    faulty.colour_8 = flips_one_bit_of_the_last_alpha;
    faulty.grey_16 = writes_the_byte_before_the_row;
    BandShape shape;
    shape.columns = 13;
    shape.rows = 2;
    shape.pad_bytes = 3;
    const std::string wrong_sample = compare_band_with_reference({faulty, "faulty"}, shape, 1);
    EXPECT_NE(wrong_sample.find("faulty, depth 8, 4 planes, 2 x 13 pixels, pad 3, offset 0, "
                                "random start 1: row 0 column 12 plane 3"),
              std::string::npos)
        << wrong_sample;
    shape.planes = 2;
    shape.depth = 16;
    const std::string outside = compare_band_with_reference({faulty, "faulty"}, shape, 1);
    EXPECT_NE(outside.find("wrote outside the pixels, -1 bytes from the band's start"),
              std::string::npos)
        << outside;
}
