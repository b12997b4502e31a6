#include "runner/band_transfer.h"

#include <cstring>

#include "transform/samples.h"

namespace {

uint8_t matte_sample(uint8_t c, uint8_t a, Matte m) {
    return static_cast<uint8_t>(apply_matte(c, a, matte_level(m, kScale8), kScale8));
}
uint16_t matte_sample(uint16_t c, uint16_t a, Matte m) {
    return static_cast<uint16_t>(apply_matte(c, a, matte_level(m, kScale16), kScale16));
}
float matte_sample(float c, float a, Matte m) {
    return apply_matte(c, a, matte_level(m));
}
uint8_t unmatte_sample(uint8_t c, uint8_t a, Matte m) {
    return static_cast<uint8_t>(remove_matte(c, a, matte_level(m, kScale8), kScale8));
}
uint16_t unmatte_sample(uint16_t c, uint16_t a, Matte m) {
    return static_cast<uint16_t>(remove_matte(c, a, matte_level(m, kScale16), kScale16));
}
float unmatte_sample(float c, float a, Matte m) {
    return remove_matte(c, a, matte_level(m));
}

size_t pixel_offset(const Layer& layer, int32_t x, int32_t y) {
    const size_t index = static_cast<size_t>(y) * static_cast<size_t>(layer.width) + x;
    return index * pixel_bytes(layer);
}

template <typename T>
void deliver(const Layer& layer, const BandArea& band, Matte matte, uint8_t* out,
             int32_t row_bytes) {
    const int alpha_plane = layer.planes - 1;
    const VRect& r = band.rect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* to = out + static_cast<size_t>(y - r.top) * static_cast<size_t>(row_bytes);
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint8_t* pixel = layer.samples.data() + pixel_offset(layer, x, y);
            const T alpha = load_sample<T>(pixel + alpha_plane * sizeof(T));
            for (int k = band.lo; k <= band.hi; ++k, to += sizeof(T)) {
                const T value = load_sample<T>(pixel + k * sizeof(T));
                const bool keep = k == alpha_plane || matte == Matte::none;
                store_sample<T>(to, keep ? value : matte_sample(value, alpha, matte));
            }
        }
    }
}

template <typename T>
void write_back(Layer& layer, const BandArea& band, Matte matte, const uint8_t* buffer,
                int32_t row_bytes, const uint8_t* delivered) {
    const int alpha_plane = layer.planes - 1;
    const VRect& r = band.rect;
    const size_t pixel_size = static_cast<size_t>(band.hi - band.lo + 1) * sizeof(T);
    const size_t width = static_cast<size_t>(r.right - r.left);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const size_t row = static_cast<size_t>(y - r.top);
        const uint8_t* from = buffer + row * static_cast<size_t>(row_bytes);
        const uint8_t* before = delivered + row * width * pixel_size;
        for (int32_t x = r.left; x < r.right; ++x, from += pixel_size, before += pixel_size) {
            if (std::memcmp(from, before, pixel_size) == 0) continue;
            uint8_t* pixel = layer.samples.data() + pixel_offset(layer, x, y);
            if (alpha_plane <= band.hi)
                store_sample<T>(pixel + alpha_plane * sizeof(T),
                         load_sample<T>(from + (alpha_plane - band.lo) * sizeof(T)));
            const T alpha = load_sample<T>(pixel + alpha_plane * sizeof(T));
            for (int k = band.lo; k <= band.hi && k < alpha_plane; ++k) {
                const T value = load_sample<T>(from + (k - band.lo) * sizeof(T));
                store_sample<T>(pixel + k * sizeof(T),
                         matte == Matte::none ? value : unmatte_sample(value, alpha, matte));
            }
        }
    }
}

} // namespace

void deliver_band(const Layer& layer, const BandArea& band, Matte matte, uint8_t* out,
                  int32_t row_bytes) {
    if (layer.depth == 32)
        deliver<float>(layer, band, matte, out, row_bytes);
    else if (layer.depth == 16)
        deliver<uint16_t>(layer, band, matte, out, row_bytes);
    else
        deliver<uint8_t>(layer, band, matte, out, row_bytes);
}

void write_back_band(Layer& layer, const BandArea& band, Matte matte, const uint8_t* buffer,
                     int32_t row_bytes, const uint8_t* delivered) {
    if (layer.depth == 32)
        write_back<float>(layer, band, matte, buffer, row_bytes, delivered);
    else if (layer.depth == 16)
        write_back<uint16_t>(layer, band, matte, buffer, row_bytes, delivered);
    else
        write_back<uint8_t>(layer, band, matte, buffer, row_bytes, delivered);
}
