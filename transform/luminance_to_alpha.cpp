// The band walk: picks the row transform for the plane count and depth from the variant in
// use and runs it on every row.
#include "transform/luminance_to_alpha.h"

#include "transform/kernel_variants.h"
#include "transform/rows.h"

const RowTransforms& rows_of(KernelVariant variant) {
#if defined(__aarch64__)
    if (variant == KernelVariant::neon) return neon_rows;
#else
    if (variant == KernelVariant::sse2) return sse2_rows;
    if (variant == KernelVariant::avx2) return avx2_rows;
    if (variant == KernelVariant::avx512) return avx512_rows;
#endif
    return reference_rows;
}

namespace {

RowTransform row_transform_for(const RowTransforms& rows, int planes, int32_t depth) {
    if (planes == 4)
        return depth == 32 ? rows.colour_32 : depth == 16 ? rows.colour_16 : rows.colour_8;
    if (planes == 2) return depth == 32 ? rows.grey_32 : depth == 16 ? rows.grey_16 : rows.grey_8;
    return nullptr;
}

} // namespace

void luminance_to_alpha_with(const RowTransforms& rows, void* samples, int64_t rows_in_band,
                             int64_t columns, ptrdiff_t row_stride, int planes, int32_t depth) {
    const RowTransform transform_row = row_transform_for(rows, planes, depth);
    if (transform_row == nullptr || samples == nullptr || rows_in_band <= 0 || columns <= 0) return;
    auto* row = static_cast<unsigned char*>(samples);
    for (int64_t y = 0; y < rows_in_band; ++y, row += row_stride)
        transform_row(row, columns);
}

void luminance_to_alpha(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                        int planes, int32_t depth) {
    luminance_to_alpha_with(rows_of(kernel_variant_in_use()), samples, rows, columns, row_stride,
                            planes, depth);
}
