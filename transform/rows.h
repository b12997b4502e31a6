// The row transforms of one variant of the kernel, one per plane count and depth: the plain
// reference rows (rows_reference.cpp), which define the results, and the SIMD rows for x86-64
// (rows_sse2.cpp, rows_avx2.cpp, rows_avx512.cpp) and ARM64 (rows_neon.cpp), which match them
// bit for bit. (Where a float
// pixel's sum meets two NaNs, which one's payload comes out is up to the order the compiler
// gave an addition's operands, in the reference as in the SIMD rows; the result is a NaN.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/kernel_variants.h"

// Rewrites `columns` interleaved pixels starting at `row`, in place. Nothing before or after
// them is read or written, and `row` may have any alignment.
using RowTransform = void (*)(unsigned char* row, int64_t columns);

struct RowTransforms {
    RowTransform colour_8;  // R, G, B, A: 8-bit
    RowTransform colour_16; // 16-bit, scale 0..32768
    RowTransform colour_32; // float
    RowTransform grey_8;    // grey, alpha
    RowTransform grey_16;
    RowTransform grey_32;
};

// The reference rows; the SIMD rows also use them for the pixels after their last whole block.
void colour_row_8_reference(unsigned char* p, int64_t columns);
void colour_row_16_reference(unsigned char* p, int64_t columns);
void colour_row_32_reference(unsigned char* p, int64_t columns);
void grey_row_8_reference(unsigned char* p, int64_t columns);
void grey_row_16_reference(unsigned char* p, int64_t columns);
void grey_row_32_reference(unsigned char* p, int64_t columns);

extern const RowTransforms reference_rows;
#if defined(__aarch64__)
extern const RowTransforms neon_rows;
#else
extern const RowTransforms sse2_rows;
extern const RowTransforms avx2_rows;   // only on a CPU and OS with AVX2
extern const RowTransforms avx512_rows; // only with AVX-512 F, BW and VL
#endif

// A variant's rows (the reference for a variant of another architecture); this CPU must run
// the variant before they are called.
const RowTransforms& rows_of(KernelVariant variant);

// luminance_to_alpha() with the given rows.
void luminance_to_alpha_with(const RowTransforms& rows, void* samples, int64_t rows_in_band,
                             int64_t columns, ptrdiff_t row_stride, int planes, int32_t depth);
