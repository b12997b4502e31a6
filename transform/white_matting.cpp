#include "transform/white_matting.h"

#include <cstring>

#include "transform/matte.h"
#include "transform/samples.h"

namespace {

template <typename T> T over_white(T colour, T alpha);

template <> uint8_t over_white(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>(apply_matte(colour, alpha, kSampleScale8, kSampleScale8));
}

template <> uint16_t over_white(uint16_t colour, uint16_t alpha) {
    return static_cast<uint16_t>(apply_matte(colour, alpha, kSampleScale16, kSampleScale16));
}

template <> float over_white(float colour, float alpha) {
    return apply_matte(colour, alpha, 1.0f);
}

// Each pixel's colour samples (all but the last, the alpha) composited over white.
template <typename T>
void composite_rows(unsigned char* row, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                    int planes) {
    const size_t pixel = size_t(planes) * sizeof(T);
    for (int64_t y = 0; y < rows; ++y, row += row_stride) {
        unsigned char* p = row;
        for (int64_t x = 0; x < columns; ++x, p += pixel) {
            const T alpha = load_sample<T>(p + (planes - 1) * sizeof(T));
            for (int c = 0; c < planes - 1; ++c)
                store_sample<T>(p + c * sizeof(T),
                                over_white(load_sample<T>(p + c * sizeof(T)), alpha));
        }
    }
}

bool walkable(const void* samples, int64_t rows, int64_t columns, int planes) {
    return samples != nullptr && rows > 0 && columns > 0 && (planes == 4 || planes == 2);
}

} // namespace

void composite_over_white(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                          int planes, int32_t depth) {
    if (!walkable(samples, rows, columns, planes)) return;
    auto* row = static_cast<unsigned char*>(samples);
    if (depth == 32)
        composite_rows<float>(row, rows, columns, row_stride, planes);
    else if (depth == 16)
        composite_rows<uint16_t>(row, rows, columns, row_stride, planes);
    else
        composite_rows<uint8_t>(row, rows, columns, row_stride, planes);
}

void take_off_white_matte(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                          int planes, int32_t depth) {
    if (!walkable(samples, rows, columns, planes)) return;
    // Zero bits are 0 at every depth, float included.
    const size_t sample = sample_size_for_depth(depth);
    const size_t colour = size_t(planes - 1) * sample;
    const size_t pixel = size_t(planes) * sample;
    auto* row = static_cast<unsigned char*>(samples);
    for (int64_t y = 0; y < rows; ++y, row += row_stride) {
        unsigned char* p = row;
        for (int64_t x = 0; x < columns; ++x, p += pixel)
            std::memset(p, 0, colour);
    }
}
