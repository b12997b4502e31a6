// The layers the profiles face filters, and the check of a filtered layer against Photoshop's
// picture of it: what Photoshop shows after running the module on the same layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"

// A layer as a host holds it: interleaved samples, colour planes then alpha, on the host's
// scale (0..255 at depth 8, 0..32768 at depth 16).
struct Layer {
    int width = 0, height = 0, channels = 0;
    int32_t depth = 8;
    std::vector<uint16_t> samples;

    uint16_t* pixel(int x, int y) { return &samples[(size_t(y) * width + x) * channels]; }
    const uint16_t* pixel(int x, int y) const {
        return &samples[(size_t(y) * width + x) * channels];
    }
};

// 23 x 37 pixels (grey + alpha with 2 channels, RGBA with 4): transparent pixels stored as
// black, as white and in colours, opaque and semi-transparent colours and greys, then
// pseudo-random pixels, the same on every run.
Layer make_test_layer(int channels, int32_t depth);

// How a filtered layer compares with Photoshop's picture: inside `area` each pixel must look
// the same over white and over black to within one 8-bit step, outside it must be unchanged.
struct Comparison {
    int64_t differing = 0, pixels = 0;
    std::string first; // "x,y stored ... want ..." for the first pixel that differs
};
Comparison compare_with_photoshop(const Layer& original, const Layer& stored, const VRect& area);
