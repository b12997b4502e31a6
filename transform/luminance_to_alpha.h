// The luminance-to-alpha transform: every pixel of a band becomes a grey at its luminance, and
// its alpha the complement of that luminance. Greyscale keeps its grey and only gets the new
// alpha. A pure kernel over a buffer of interleaved samples; it knows nothing of the host.
#pragma once

#include <cstddef>
#include <cstdint>

// Rewrites, in place, `rows` rows of `columns` interleaved pixels starting at `samples`, rows
// `row_stride` bytes apart; bytes between rows are never touched. planes: 4 (R, G, B, A) or
// 2 (grey, alpha); anything else changes nothing. depth: 32 float, 16 (scale 0..32768),
// anything else 8-bit.
void luminance_to_alpha(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                        int planes, int32_t depth);
