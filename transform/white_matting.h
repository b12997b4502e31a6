// Photoshop's white matting, done by the module itself for a host that does none: before the
// luminance-to-alpha transform each pixel's colour is composited over white by its own alpha,
// and afterwards the white matte is taken off again. What taking it off leaves of the
// transform's output (grey L, alpha full scale - L) is black ink: colour 0 at that alpha.
#pragma once

#include <cstddef>
#include <cstdint>

// Both walk `rows` rows of `columns` interleaved pixels from `samples`, rows `row_stride` bytes
// apart, never touching the bytes between rows. planes: 4 (R, G, B, A) or 2 (grey, alpha);
// anything else changes nothing. depth: 32 float, 16 (scale 0..32768), anything else 8-bit.

// Every colour sample becomes colour x alpha + full scale x (1 - alpha), rounded to nearest
// (transform/matte.h); alpha is left as it is.
void composite_over_white(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                          int planes, int32_t depth);

// Every colour sample becomes 0; alpha is left as it is.
void take_off_white_matte(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                          int planes, int32_t depth);
