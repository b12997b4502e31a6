// The luminance-to-alpha transform: every pixel of a delivered band becomes a grey at its
// luminance, and its alpha the complement of that luminance. Greyscale keeps its grey and
// only gets the new alpha.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"

// Rewrites, in place, the band in record.outData described by the output rectangle (with the
// host's coordinate choice), `planes` and `depth`. Rows are `outRowBytes` apart when that is
// at least a packed row, and packed back to back otherwise; pad bytes are never touched.
void transform_band(FilterRecord& record);

// The kernel behind it, on `rows` rows of `columns` interleaved pixels starting at `samples`,
// `row_stride` bytes apart. planes: 4 (R, G, B, A) or 2 (grey, alpha); anything else changes
// nothing. depth: 32 float, 16 (scale 0..32768), anything else 8-bit.
void luminance_to_alpha(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                        int planes, int32_t depth);

// Bytes per sample for a host depth: 4, 2 or 1.
size_t sample_size_for_depth(int32_t depth);
