#include "bfrun/drive/sample_scale.h"

#include <cmath>

#include "host/sample_layout.h"

uint16_t png16_to_host(uint16_t sample) {
    return static_cast<uint16_t>((uint32_t{sample} * 2 * kHostScale16 + 65535) / (2 * 65535));
}

uint16_t host_to_png16(uint16_t sample) {
    if (sample >= kHostScale16) return 65535;
    return static_cast<uint16_t>((uint32_t{sample} * 2 * 65535 + kHostScale16) /
                                 (2 * kHostScale16));
}

float png_to_float(uint32_t sample, int bits) {
    const float full = bits == 16 ? 65535.0f : 255.0f;
    return static_cast<float>(sample) / full;
}

uint32_t float_to_png(float sample, int bits) {
    const float full = bits == 16 ? 65535.0f : 255.0f;
    if (!(sample > 0.0f)) return 0; // NaN too
    if (sample >= 1.0f) return static_cast<uint32_t>(full);
    return static_cast<uint32_t>(std::lround(sample * full));
}
