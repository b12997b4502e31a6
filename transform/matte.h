// A matte on the host's scales: a pixel's colour composited over a matte colour by the pixel's
// own alpha, and that matte taken off again. Photoshop does this around a filter whose filter
// case table asks for it; bfrun does it as Photoshop's stand-in, and the module does the white
// one itself for hosts that do no matting. Alpha is never changed. Integer scales round to
// nearest, halves up.
#pragma once

#include <algorithm>
#include <cstdint>

// colour x alpha + matte x (1 - alpha), on an integer scale. Alpha above scale counts as scale.
inline uint32_t apply_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale) {
    const uint64_t a = std::min(alpha, scale);
    const uint64_t sum = uint64_t{colour} * a + uint64_t{matte} * (scale - a);
    return static_cast<uint32_t>((2 * sum + scale) / (2 * uint64_t{scale}));
}

// (colour - matte x (1 - alpha)) / alpha, clamped to 0..scale; 0 where alpha is 0.
inline uint32_t remove_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale) {
    const int64_t a = std::min(alpha, scale);
    if (a == 0) return 0;
    const int64_t numerator = int64_t{colour} * scale - int64_t{matte} * (scale - a);
    if (numerator <= 0) return 0;
    const int64_t value = (2 * numerator + a) / (2 * a);
    return static_cast<uint32_t>(std::min<int64_t>(value, scale));
}

// Alpha on the float scale, held to 0..1; NaN counts as 0.
inline float clamp_unit(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value < 1.0f ? value : 1.0f;
}

// The same on float samples, scale 1.0; a NaN result becomes 0.
inline float apply_matte(float colour, float alpha, float matte) {
    const float a = clamp_unit(alpha);
    const float composed = colour * a + matte * (1.0f - a);
    return composed == composed ? composed : 0.0f;
}

inline float remove_matte(float colour, float alpha, float matte) {
    const float a = clamp_unit(alpha);
    if (a == 0.0f) return 0.0f;
    return clamp_unit((colour - matte * (1.0f - a)) / a);
}
