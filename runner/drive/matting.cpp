#include "runner/drive/matting.h"

#include <algorithm>

uint32_t matte_level(Matte matte, uint32_t scale) {
    switch (matte) {
    case Matte::white:
        return scale;
    case Matte::grey:
        return (scale + 1) / 2;
    default:
        return 0;
    }
}

float matte_level(Matte matte) {
    switch (matte) {
    case Matte::white:
        return 1.0f;
    case Matte::grey:
        return 0.5f;
    default:
        return 0.0f;
    }
}

uint32_t apply_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale) {
    const uint64_t a = std::min(alpha, scale);
    const uint64_t sum = uint64_t{colour} * a + uint64_t{matte} * (scale - a);
    return static_cast<uint32_t>((2 * sum + scale) / (2 * uint64_t{scale}));
}

uint32_t remove_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale) {
    const int64_t a = std::min(alpha, scale);
    if (a == 0) return 0;
    const int64_t numerator = int64_t{colour} * scale - int64_t{matte} * (scale - a);
    if (numerator <= 0) return 0;
    const int64_t value = (2 * numerator + a) / (2 * a);
    return static_cast<uint32_t>(std::min<int64_t>(value, scale));
}

namespace {

float clamp_unit(float value) {
    if (!(value > 0.0f)) return 0.0f; // NaN too
    return value < 1.0f ? value : 1.0f;
}

} // namespace

float apply_matte(float colour, float alpha, float matte) {
    const float a = clamp_unit(alpha);
    const float composed = colour * a + matte * (1.0f - a);
    return composed == composed ? composed : 0.0f;
}

float remove_matte(float colour, float alpha, float matte) {
    const float a = clamp_unit(alpha);
    if (a == 0.0f) return 0.0f;
    return clamp_unit((colour - matte * (1.0f - a)) / a);
}
