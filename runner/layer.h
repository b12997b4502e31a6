// The image bfrun filters: one layer with transparency, samples interleaved in plane order
// (grey, alpha or red, green, blue, alpha), rows packed, on the host's scale for its depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Layer {
    int32_t width = 0;
    int32_t height = 0;
    int planes = 0;    // 2 or 4; the last plane is alpha
    int32_t depth = 8; // 8, 16 or 32 (float)
    std::vector<uint8_t> samples;
};

// A decoded PNG: 1 to 4 channels of 8- or 16-bit samples, rows packed.
struct PngImage {
    int32_t width = 0;
    int32_t height = 0;
    int channels = 0; // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    int bits = 8;     // 8 or 16
    std::vector<uint16_t> samples;
};

size_t pixel_bytes(const Layer& layer);

// The layer for an image: an opaque alpha plane where the file has none; 16-bit samples on
// the host's 0..32768 scale; as float (0.0..1.0) when float_layer is set.
Layer layer_from_png(const PngImage& image, bool float_layer);

// The layer as a PNG with alpha (grey + alpha or RGBA) at the given bit depth.
PngImage png_from_layer(const Layer& layer, int bits);
