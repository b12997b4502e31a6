// The reference rows: the definition of the transform, one pixel at a time in double
// precision, and the fallback on any CPU.
#include "transform/rows.h"
#include "transform/samples.h"
#include "transform/weights.h"

namespace {

// Nothing raises a negative luminance; a NaN fails the ceiling test and passes through.
double luminance(double red, double green, double blue, double ceiling) {
    const double m = (red * kRedWeight + green * kGreenWeight) + blue * kBlueWeight;
    return m > ceiling ? ceiling : m;
}

} // namespace

void colour_row_8_reference(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 4) {
        const auto o = static_cast<uint8_t>(luminance(p[0], p[1], p[2], 255.0));
        p[0] = p[1] = p[2] = o;
        p[3] = static_cast<uint8_t>(255 - o);
    }
}

void colour_row_16_reference(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 8) {
        const double m = luminance(load_sample<uint16_t>(p), load_sample<uint16_t>(p + 2),
                                   load_sample<uint16_t>(p + 4), 32768.0);
        const auto o = static_cast<uint16_t>(m);
        store_sample<uint16_t>(p, o);
        store_sample<uint16_t>(p + 2, o);
        store_sample<uint16_t>(p + 4, o);
        store_sample<uint16_t>(p + 6, static_cast<uint16_t>(32768u - o));
    }
}

void colour_row_32_reference(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 16) {
        const double m = luminance(load_sample<float>(p), load_sample<float>(p + 4),
                                   load_sample<float>(p + 8), 1.0);
        const auto o = static_cast<float>(m);
        store_sample<float>(p, o);
        store_sample<float>(p + 4, o);
        store_sample<float>(p + 8, o);
        store_sample<float>(p + 12, 1.0f - o);
    }
}

void grey_row_8_reference(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 2)
        p[1] = static_cast<uint8_t>(255 - p[0]);
}

void grey_row_16_reference(unsigned char* p, int64_t columns) {
    // Grey above 32768 wraps modulo 2^16, as the host's own arithmetic would.
    for (int64_t x = 0; x < columns; ++x, p += 4)
        store_sample<uint16_t>(p + 2, static_cast<uint16_t>(32768u - load_sample<uint16_t>(p)));
}

void grey_row_32_reference(unsigned char* p, int64_t columns) {
    for (int64_t x = 0; x < columns; ++x, p += 8)
        store_sample<float>(p + 4, 1.0f - load_sample<float>(p));
}

const RowTransforms reference_rows = {colour_row_8_reference,  colour_row_16_reference,
                                      colour_row_32_reference, grey_row_8_reference,
                                      grey_row_16_reference,   grey_row_32_reference};
