// The profiles' test layers, Photoshop's picture of a layer and the comparison with it.
#include "tests/wine/test_host/profile_layers.h"

#include <algorithm>
#include <cstdlib>

#include "bfrun/drive/matting.h"
#include "transform/rows.h"
#include "transform/samples.h"

namespace {

// Colour (or grey, from the red) and alpha at 8 bits, scaled to the layer's depth.
const uint8_t kNamedPixels[][4] = {
    {0, 0, 0, 0},         {255, 255, 255, 0},   {200, 30, 90, 0}, {10, 220, 40, 0},
    {255, 0, 0, 255},     {128, 128, 128, 255}, {0, 0, 0, 255},   {255, 255, 255, 255},
    {0, 255, 0, 255},     {0, 0, 255, 255},     {255, 0, 0, 128}, {128, 128, 128, 128},
    {255, 255, 255, 128}, {0, 0, 0, 128},       {20, 10, 5, 100}, {40, 40, 40, 30},
    {90, 60, 200, 1},     {250, 250, 250, 254},
};

uint32_t scale_of(int32_t depth) {
    return depth == 16 ? kScale16 : kScale8;
}

uint32_t next_random(uint32_t& state) { // xorshift32: the same numbers on every build
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Photoshop's result for one pixel: composited over white, the kernel's reference row, the
// white matte removed again.
void photoshop_pixel(const Layer& layer, const uint16_t* in, uint16_t* out) {
    const uint32_t scale = scale_of(layer.depth);
    const int alpha = layer.channels - 1;
    const size_t size = sample_size_for_depth(layer.depth);
    unsigned char host[8];
    for (int k = 0; k < layer.channels; ++k) {
        const uint32_t v = k == alpha ? in[k] : apply_matte(in[k], in[alpha], scale, scale);
        if (size == 2)
            store_sample<uint16_t>(host + 2 * k, static_cast<uint16_t>(v));
        else
            host[k] = static_cast<uint8_t>(v);
    }
    const bool grey = layer.channels == 2;
    const RowTransform row = size == 2 ? (grey ? reference_rows.grey_16 : reference_rows.colour_16)
                                       : (grey ? reference_rows.grey_8 : reference_rows.colour_8);
    row(host, 1);
    for (int k = 0; k < layer.channels; ++k)
        out[k] = size == 2 ? load_sample<uint16_t>(host + 2 * k) : host[k];
    for (int k = 0; k < alpha; ++k)
        out[k] = static_cast<uint16_t>(remove_matte(out[k], out[alpha], scale, scale));
}

// A colour sample as it looks over a matte (full scale or 0), on the 8-bit scale.
uint32_t seen(uint32_t colour, uint32_t alpha, bool white, int32_t depth) {
    const uint32_t scale = scale_of(depth);
    const uint32_t v = apply_matte(colour, alpha, white ? scale : 0, scale);
    return depth == 16 ? (v * 255 + kScale16 / 2) / kScale16 : v;
}

bool looks_alike(const Layer& layer, const uint16_t* a, const uint16_t* b) {
    const int alpha = layer.channels - 1;
    for (int k = 0; k < alpha; ++k)
        for (bool white : {true, false}) {
            const int got = int(seen(a[k], a[alpha], white, layer.depth));
            const int want = int(seen(b[k], b[alpha], white, layer.depth));
            if (std::abs(got - want) > 1) return false;
        }
    return true;
}

std::string samples_text(const Layer& layer, const uint16_t* p) {
    std::string text;
    for (int k = 0; k < layer.channels; ++k)
        text += (k ? "," : "") + std::to_string(p[k]);
    return text;
}

} // namespace

Layer make_test_layer(int channels, int32_t depth) {
    Layer layer{23, 37, channels, depth, {}};
    layer.samples.resize(size_t(layer.width) * layer.height * channels);
    const uint32_t scale = scale_of(depth);
    const size_t named = sizeof kNamedPixels / sizeof kNamedPixels[0];
    uint32_t state = 0x2545F491u + uint32_t(channels * 100 + depth);
    for (int y = 0; y < layer.height; ++y)
        for (int x = 0; x < layer.width; ++x) {
            const size_t i = size_t(y) * layer.width + x;
            uint32_t v[4];
            if (i < named) {
                for (int k = 0; k < 4; ++k)
                    v[k] = (kNamedPixels[i][k] * scale + 127) / 255;
            } else {
                for (int k = 0; k < 3; ++k)
                    v[k] = next_random(state) % (scale + 1);
                // A quarter transparent, a quarter opaque, the rest anything.
                const uint32_t pick = next_random(state) % 4;
                v[3] = pick == 0 ? 0 : pick == 1 ? scale : next_random(state) % (scale + 1);
            }
            uint16_t* p = layer.pixel(x, y);
            for (int k = 0; k < channels - 1; ++k)
                p[k] = static_cast<uint16_t>(v[k]);
            p[channels - 1] = static_cast<uint16_t>(v[3]);
        }
    return layer;
}

Comparison compare_with_photoshop(const Layer& original, const Layer& stored, const VRect& area) {
    Comparison result;
    for (int y = 0; y < original.height; ++y)
        for (int x = 0; x < original.width; ++x) {
            const uint16_t* was = original.pixel(x, y);
            const uint16_t* got = stored.pixel(x, y);
            uint16_t want[4];
            const bool inside =
                y >= area.top && y < area.bottom && x >= area.left && x < area.right;
            bool alike;
            if (inside) {
                photoshop_pixel(original, was, want);
                alike = looks_alike(original, got, want);
            } else {
                for (int k = 0; k < original.channels; ++k)
                    want[k] = was[k];
                alike = std::equal(got, got + original.channels, want);
            }
            ++result.pixels;
            if (alike) continue;
            if (result.differing++ == 0)
                result.first = std::to_string(x) + "," + std::to_string(y) + " stored " +
                               samples_text(original, got) + " want " +
                               samples_text(original, want);
        }
    return result;
}
