// The fuzz host's yardstick for one pixel of a band: what luminance-to-alpha must make of it,
// written out plainly, one sample at a time, apart from the module's kernel.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "transform/weights.h"

// Bytes per sample for a host depth: 32 is float, 16 is 16-bit, anything else 8-bit.
inline int plain_sample_bytes(int32_t depth) {
    return depth == 32 ? 4 : depth == 16 ? 2 : 1;
}

// Reads sample `i` of the pixel at `p` as a double.
inline double plain_load(const unsigned char* p, size_t i, int32_t depth) {
    if (depth == 32) {
        float f;
        std::memcpy(&f, p + 4 * i, 4);
        return f;
    }
    if (depth == 16) {
        uint16_t s;
        std::memcpy(&s, p + 2 * i, 2);
        return s;
    }
    return p[i];
}

// Writes `pixel` (planes samples at `depth`) as the filter leaves it into `out`. Four planes:
// grey = (R x red + G x green) + B x blue by the weights, held at full scale, truncated (or
// rounded to float); alpha = full scale - grey. Two planes: the grey stays, alpha = full scale
// - grey. 16-bit alpha wraps modulo 2^16. Any other plane count: unchanged.
inline void plain_pixel(const unsigned char* pixel, unsigned char* out, int planes, int32_t depth) {
    const int size = plain_sample_bytes(depth);
    std::memcpy(out, pixel, static_cast<size_t>(planes > 0 ? planes * size : 0));
    if (planes != 4 && planes != 2) return;
    const double full = depth == 32 ? 1.0 : depth == 16 ? 32768.0 : 255.0;
    double grey;
    if (planes == 4) {
        const double red = plain_load(pixel, 0, depth) * kRedWeight;
        const double green = plain_load(pixel, 1, depth) * kGreenWeight;
        const double blue = plain_load(pixel, 2, depth) * kBlueWeight;
        const double sum = red + green;
        grey = sum + blue;
        if (grey > full) grey = full;
    } else {
        grey = plain_load(pixel, 0, depth);
    }
    const size_t greys = planes == 4 ? 3 : 0; // colour samples that become the grey
    const size_t alpha_at = planes == 4 ? 3 : 1;
    if (depth == 32) {
        const float g = static_cast<float>(grey);
        const float a = 1.0f - g;
        for (size_t i = 0; i < greys; ++i)
            std::memcpy(out + 4 * i, &g, 4);
        std::memcpy(out + 4 * alpha_at, &a, 4);
    } else if (depth == 16) {
        const auto g = static_cast<uint16_t>(grey);
        const auto a = static_cast<uint16_t>((32768u - g) & 0xFFFFu);
        for (size_t i = 0; i < greys; ++i)
            std::memcpy(out + 2 * i, &g, 2);
        std::memcpy(out + 2 * alpha_at, &a, 2);
    } else {
        const auto g = static_cast<unsigned char>(grey);
        for (size_t i = 0; i < greys; ++i)
            out[i] = g;
        out[alpha_at] = static_cast<unsigned char>(255 - g);
    }
}

// Two samples agree when their bytes do, or, for floats, when both are NaN (a NaN's payload
// is not part of the result).
inline bool plain_samples_agree(const unsigned char* a, const unsigned char* b, int32_t depth) {
    const int size = plain_sample_bytes(depth);
    if (std::memcmp(a, b, static_cast<size_t>(size)) == 0) return true;
    if (depth != 32) return false;
    float x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return std::isnan(x) && std::isnan(y);
}
