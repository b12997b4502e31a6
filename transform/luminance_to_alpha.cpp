#include "transform/luminance_to_alpha.h"

#include "transform/samples.h"

namespace {

constexpr double kRedWeight = 0.298912;
constexpr double kGreenWeight = 0.586611;
constexpr double kBlueWeight = 0.114478;

// The weights add up to 1.000001: white lands a hair above full scale and the ceiling brings
// it back. Nothing raises a negative luminance.
double luminance(double red, double green, double blue, double ceiling) {
    const double m = (red * kRedWeight + green * kGreenWeight) + blue * kBlueWeight;
    return m > ceiling ? ceiling : m; // a NaN fails the test and passes through
}

void colour_row_8(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 4) {
        const auto o = static_cast<uint8_t>(luminance(p[0], p[1], p[2], 255.0));
        p[0] = p[1] = p[2] = o;
        p[3] = static_cast<uint8_t>(255 - o);
    }
}

void colour_row_16(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 8) {
        const double m =
            luminance(load_sample<uint16_t>(p), load_sample<uint16_t>(p + 2), load_sample<uint16_t>(p + 4), 32768.0);
        const auto o = static_cast<uint16_t>(m);
        store_sample<uint16_t>(p, o);
        store_sample<uint16_t>(p + 2, o);
        store_sample<uint16_t>(p + 4, o);
        store_sample<uint16_t>(p + 6, static_cast<uint16_t>(32768u - o));
    }
}

void colour_row_32(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 16) {
        const double m = luminance(load_sample<float>(p), load_sample<float>(p + 4), load_sample<float>(p + 8), 1.0);
        const auto o = static_cast<float>(m);
        store_sample<float>(p, o);
        store_sample<float>(p + 4, o);
        store_sample<float>(p + 8, o);
        store_sample<float>(p + 12, 1.0f - o);
    }
}

void grey_row_8(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 2)
        p[1] = static_cast<uint8_t>(255 - p[0]);
}

void grey_row_16(unsigned char* p, int64_t columns) {
    // Grey above 32768 wraps modulo 2^16, as the host's own arithmetic would.
    for (int64_t x = 0; x < columns; ++x, p += 4)
        store_sample<uint16_t>(p + 2, static_cast<uint16_t>(32768u - load_sample<uint16_t>(p)));
}

void grey_row_32(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 8)
        store_sample<float>(p + 4, 1.0f - load_sample<float>(p));
}

using RowTransform = void (*)(unsigned char*, int64_t);

RowTransform row_transform_for(int planes, int32_t depth) {
    if (planes == 4)
        return depth == 32 ? colour_row_32 : depth == 16 ? colour_row_16 : colour_row_8;
    if (planes == 2) return depth == 32 ? grey_row_32 : depth == 16 ? grey_row_16 : grey_row_8;
    return nullptr;
}

} // namespace

void luminance_to_alpha(void* samples, int64_t rows, int64_t columns, ptrdiff_t row_stride,
                        int planes, int32_t depth) {
    const RowTransform transform_row = row_transform_for(planes, depth);
    if (transform_row == nullptr || samples == nullptr || rows <= 0 || columns <= 0) return;
    auto* row = static_cast<unsigned char*>(samples);
    for (int64_t y = 0; y < rows; ++y, row += row_stride)
        transform_row(row, columns);
}
