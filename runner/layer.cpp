#include "runner/layer.h"

#include <cstring>

#include "runner/sample_scale.h"
#include "transform/samples.h"

size_t pixel_bytes(const Layer& layer) {
    return sample_size_for_depth(layer.depth) * static_cast<size_t>(layer.planes);
}

namespace {

void put_sample(Layer& layer, size_t index, uint32_t file_sample, int bits) {
    uint8_t* at = layer.samples.data() + index * sample_size_for_depth(layer.depth);
    if (layer.depth == 32) {
        const float value = png_to_float(file_sample, bits);
        std::memcpy(at, &value, sizeof value);
    } else if (layer.depth == 16) {
        const uint16_t value = png16_to_host(static_cast<uint16_t>(file_sample));
        std::memcpy(at, &value, sizeof value);
    } else {
        *at = static_cast<uint8_t>(file_sample);
    }
}

uint32_t get_sample(const Layer& layer, size_t index, int bits) {
    const uint8_t* at = layer.samples.data() + index * sample_size_for_depth(layer.depth);
    if (layer.depth == 32) {
        float value;
        std::memcpy(&value, at, sizeof value);
        return float_to_png(value, bits);
    }
    if (layer.depth == 16) {
        uint16_t value;
        std::memcpy(&value, at, sizeof value);
        return host_to_png16(value);
    }
    return *at;
}

} // namespace

Layer layer_from_png(const PngImage& image, bool float_layer) {
    Layer layer;
    layer.width = image.width;
    layer.height = image.height;
    const bool grey = image.channels <= 2;
    const bool has_alpha = image.channels == 2 || image.channels == 4;
    const int colours = grey ? 1 : 3;
    layer.planes = colours + 1;
    layer.depth = float_layer ? 32 : image.bits;
    const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    layer.samples.resize(pixels * pixel_bytes(layer));
    const uint32_t opaque = image.bits == 16 ? 65535 : 255;
    for (size_t p = 0; p < pixels; ++p) {
        const uint16_t* in = image.samples.data() + p * static_cast<size_t>(image.channels);
        const size_t out = p * static_cast<size_t>(layer.planes);
        for (int c = 0; c < colours; ++c)
            put_sample(layer, out + c, in[c], image.bits);
        put_sample(layer, out + colours, has_alpha ? in[colours] : opaque, image.bits);
    }
    return layer;
}

PngImage png_from_layer(const Layer& layer, int bits) {
    PngImage image;
    image.width = layer.width;
    image.height = layer.height;
    image.channels = layer.planes;
    image.bits = bits;
    const size_t count = static_cast<size_t>(layer.width) * static_cast<size_t>(layer.height) *
                         static_cast<size_t>(layer.planes);
    image.samples.resize(count);
    for (size_t i = 0; i < count; ++i)
        image.samples[i] = static_cast<uint16_t>(get_sample(layer, i, bits));
    return image;
}
