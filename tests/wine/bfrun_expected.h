// What bfrun with Brightfade should make of a pixel, worked out here independently of bfrun's
// code: the host composites over white, the filter turns luminance into alpha, the host takes
// the white matte off again. A pixel the filter hands back exactly as delivered is not
// rewritten and keeps its samples.
#pragma once

#include <cmath>
#include <cstdint>

// Integer host scales: 255 or 32768. Samples in and out are on that scale.
inline void expected_integer_pixel(const uint32_t* in, int planes, uint32_t scale, uint32_t* out) {
    const int colours = planes - 1;
    const double s = scale;
    const double a = in[colours];
    double matted[4];
    for (int k = 0; k < colours; ++k)
        matted[k] = std::floor((in[k] * a + s * (s - a)) / s + 0.5);
    matted[colours] = a;

    double filtered[4];
    if (colours == 3) {
        double m = (matted[0] * 0.298912 + matted[1] * 0.586611) + matted[2] * 0.114478;
        if (m > s) m = s;
        const double o = std::trunc(m);
        filtered[0] = filtered[1] = filtered[2] = o;
        filtered[3] = s - o;
    } else {
        filtered[0] = matted[0];
        filtered[1] = s - matted[0];
    }
    bool same = true;
    for (int k = 0; k < planes; ++k)
        same = same && filtered[k] == matted[k];
    if (same) {
        for (int k = 0; k < planes; ++k)
            out[k] = in[k];
        return;
    }
    const double alpha = filtered[colours];
    out[colours] = static_cast<uint32_t>(alpha);
    for (int k = 0; k < colours; ++k) {
        double c = 0;
        if (alpha > 0) {
            c = std::floor((filtered[k] * s - s * (s - alpha)) / alpha + 0.5);
            if (c < 0) c = 0;
            if (c > s) c = s;
        }
        out[k] = static_cast<uint32_t>(c);
    }
}

// The same on float samples (0.0..1.0), in single precision where the host works in it.
inline void expected_float_pixel(const float* in, int planes, float* out) {
    const int colours = planes - 1;
    const float a = in[colours];
    float matted[4];
    for (int k = 0; k < colours; ++k) {
        const float covered = in[k] * a;
        matted[k] = covered + 1.0f * (1.0f - a);
    }
    matted[colours] = a;
    float filtered[4];
    if (colours == 3) {
        double m = (double{matted[0]} * 0.298912 + double{matted[1]} * 0.586611) +
                   double{matted[2]} * 0.114478;
        if (m > 1.0) m = 1.0;
        const float o = static_cast<float>(m);
        filtered[0] = filtered[1] = filtered[2] = o;
        filtered[3] = 1.0f - o;
    } else {
        filtered[0] = matted[0];
        filtered[1] = 1.0f - matted[0];
    }
    bool same = true;
    for (int k = 0; k < planes; ++k)
        same = same && filtered[k] == matted[k];
    if (same) {
        for (int k = 0; k < planes; ++k)
            out[k] = in[k];
        return;
    }
    const float alpha = filtered[colours];
    out[colours] = alpha;
    for (int k = 0; k < colours; ++k) {
        float c = 0.0f;
        if (alpha > 0.0f) {
            c = (filtered[k] - 1.0f * (1.0f - alpha)) / alpha;
            if (!(c > 0.0f)) c = 0.0f;
            if (c > 1.0f) c = 1.0f;
        }
        out[k] = c;
    }
}
