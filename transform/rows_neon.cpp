// The rows in NEON, which every ARM64 CPU has: 8-bit colour in 8.24 fixed point (exact by the
// reasoning in weights.h), 16-bit and float colour in double lanes with the reference's order
// of operations (a multiply, then an add, each rounded: never a fused multiply-add), greys in
// integer or single-precision lanes. The structure loads and stores (vld2, vld4) split the
// interleaved samples into one vector per channel at any alignment; the pixels after the last
// whole block go to the reference rows.
#include <arm_neon.h>

#include "transform/rows.h"
#include "transform/weights.h"

#define NEON_HELPER __attribute__((always_inline)) inline

namespace {

// A 24-bit weight as high * 2^16 + low. R x high + G x high + B x high stays below 2^16
// (255 x (76 + 150 + 29)), so the high parts are summed in 16-bit lanes.
constexpr uint16_t high_part(uint32_t weight) {
    return static_cast<uint16_t>(weight >> 16);
}
constexpr uint16_t low_part(uint32_t weight) {
    return static_cast<uint16_t>(weight & 0xFFFF);
}
static_assert(255u * (high_part(kRedFixed) + high_part(kGreenFixed) + high_part(kBlueFixed)) <
                  0x10000u,
              "the high parts' sum fits 16 bits");

// Four pixels' fixed-point sums from their 16-bit samples and the high parts' sum.
NEON_HELPER uint32x4_t fixed_point_sums(uint16x4_t red, uint16x4_t green, uint16x4_t blue,
                                        uint16x4_t high_sum) {
    uint32x4_t low = vmull_n_u16(red, low_part(kRedFixed));
    low = vmlal_n_u16(low, green, low_part(kGreenFixed));
    low = vmlal_n_u16(low, blue, low_part(kBlueFixed));
    // Wrapping 32-bit arithmetic: the true sum is below 2^32.
    return vaddq_u32(vshll_n_u16(high_sum, 16), low);
}

// Whether a luminance may round up into the next integer in double precision.
NEON_HELPER bool any_near_next_integer(uint32x4_t first, uint32x4_t second) {
    const uint32x4_t mask = vdupq_n_u32(kFixedFractionMask);
    const uint32x4_t limit = vdupq_n_u32(kFixedFractionSafeLimit);
    const uint32x4_t near = vorrq_u32(vcgtq_u32(vandq_u32(first, mask), limit),
                                      vcgtq_u32(vandq_u32(second, mask), limit));
    return vmaxvq_u32(near) != 0;
}

// Whole blocks of 8 pixels from column x on, up to the first that holds a pixel near the next
// integer; returns the column where it stopped.
int64_t colour_blocks_8(unsigned char* p, int64_t x, int64_t columns) {
    for (; x + 8 <= columns; x += 8) {
        uint8x8x4_t pixels = vld4_u8(p + 4 * x);
        const uint16x8_t red = vmovl_u8(pixels.val[0]);
        const uint16x8_t green = vmovl_u8(pixels.val[1]);
        const uint16x8_t blue = vmovl_u8(pixels.val[2]);
        uint16x8_t high = vmulq_n_u16(red, high_part(kRedFixed));
        high = vmlaq_n_u16(high, green, high_part(kGreenFixed));
        high = vmlaq_n_u16(high, blue, high_part(kBlueFixed));
        const uint32x4_t first = fixed_point_sums(vget_low_u16(red), vget_low_u16(green),
                                                  vget_low_u16(blue), vget_low_u16(high));
        const uint32x4_t second = fixed_point_sums(vget_high_u16(red), vget_high_u16(green),
                                                   vget_high_u16(blue), vget_high_u16(high));
        if (any_near_next_integer(first, second)) break;
        // The sum's top byte is the grey; alpha = 255 - grey.
        const uint16x8_t grey_words = vcombine_u16(vshrn_n_u32(first, 16), vshrn_n_u32(second, 16));
        const uint8x8_t grey = vshrn_n_u16(grey_words, 8);
        pixels.val[0] = pixels.val[1] = pixels.val[2] = grey;
        pixels.val[3] = vmvn_u8(grey);
        vst4_u8(p + 4 * x, pixels);
    }
    return x;
}

void colour_row_8(unsigned char* p, int64_t columns) {
    int64_t x = colour_blocks_8(p, 0, columns);
    while (x + 8 <= columns) {
        colour_row_8_reference(p + 4 * x, 8);
        x = colour_blocks_8(p, x + 8, columns);
    }
    colour_row_8_reference(p + 4 * x, columns - x);
}

// Luminance of two pixels in the reference's order, (R x red + G x green) + B x blue, with its
// ceiling test: a value above the ceiling becomes the ceiling, a NaN passes through.
NEON_HELPER float64x2_t luminance(float64x2_t red, float64x2_t green, float64x2_t blue,
                                  float64x2_t ceiling) {
    const float64x2_t m = vaddq_f64(vaddq_f64(vmulq_f64(red, vdupq_n_f64(kRedWeight)),
                                              vmulq_f64(green, vdupq_n_f64(kGreenWeight))),
                                    vmulq_f64(blue, vdupq_n_f64(kBlueWeight)));
    return vbslq_f64(vcgtq_f64(m, ceiling), ceiling, m);
}

NEON_HELPER float64x2_t low_doubles(uint16x4_t samples) {
    return vcvtq_f64_u64(vmovl_u32(vget_low_u32(vmovl_u16(samples))));
}
NEON_HELPER float64x2_t high_doubles(uint16x4_t samples) {
    return vcvtq_f64_u64(vmovl_high_u32(vmovl_u16(samples)));
}

void colour_row_16(unsigned char* p, int64_t columns) {
    const float64x2_t ceiling = vdupq_n_f64(32768.0);
    const uint16x4_t full_scale = vdup_n_u16(32768);
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 32) {
        uint16x4x4_t pixels = vld4_u16(reinterpret_cast<const uint16_t*>(p));
        const float64x2_t first = luminance(low_doubles(pixels.val[0]), low_doubles(pixels.val[1]),
                                            low_doubles(pixels.val[2]), ceiling);
        const float64x2_t second =
            luminance(high_doubles(pixels.val[0]), high_doubles(pixels.val[1]),
                      high_doubles(pixels.val[2]), ceiling);
        // Truncated toward zero like the reference's cast; each is at most 32768.
        const uint32x4_t grey =
            vcombine_u32(vmovn_u64(vcvtq_u64_f64(first)), vmovn_u64(vcvtq_u64_f64(second)));
        const uint16x4_t grey_words = vmovn_u32(grey);
        pixels.val[0] = pixels.val[1] = pixels.val[2] = grey_words;
        pixels.val[3] = vsub_u16(full_scale, grey_words);
        vst4_u16(reinterpret_cast<uint16_t*>(p), pixels);
    }
    colour_row_16_reference(p, columns - x);
}

void colour_row_32(unsigned char* p, int64_t columns) {
    const float64x2_t ceiling = vdupq_n_f64(1.0);
    const float32x4_t one = vdupq_n_f32(1.0f);
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 64) {
        float32x4x4_t pixels = vld4q_f32(reinterpret_cast<const float*>(p));
        const float32x4_t red = pixels.val[0], green = pixels.val[1], blue = pixels.val[2];
        const float64x2_t first =
            luminance(vcvt_f64_f32(vget_low_f32(red)), vcvt_f64_f32(vget_low_f32(green)),
                      vcvt_f64_f32(vget_low_f32(blue)), ceiling);
        const float64x2_t second = luminance(vcvt_high_f64_f32(red), vcvt_high_f64_f32(green),
                                             vcvt_high_f64_f32(blue), ceiling);
        // Rounded to nearest, like the reference's conversion to float.
        const float32x4_t grey = vcvt_high_f32_f64(vcvt_f32_f64(first), second);
        pixels.val[0] = pixels.val[1] = pixels.val[2] = grey;
        pixels.val[3] = vsubq_f32(one, grey);
        vst4q_f32(reinterpret_cast<float*>(p), pixels);
    }
    colour_row_32_reference(p, columns - x);
}

void grey_row_8(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 16 <= columns; x += 16, p += 32) {
        uint8x16x2_t pixels = vld2q_u8(p);
        pixels.val[1] = vmvnq_u8(pixels.val[0]); // 255 - grey
        vst2q_u8(p, pixels);
    }
    grey_row_8_reference(p, columns - x);
}

void grey_row_16(unsigned char* p, int64_t columns) {
    const uint16x8_t full_scale = vdupq_n_u16(32768);
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 32) {
        uint16x8x2_t pixels = vld2q_u16(reinterpret_cast<const uint16_t*>(p));
        // Modulo 2^16, as the reference wraps a grey above 32768.
        pixels.val[1] = vsubq_u16(full_scale, pixels.val[0]);
        vst2q_u16(reinterpret_cast<uint16_t*>(p), pixels);
    }
    grey_row_16_reference(p, columns - x);
}

void grey_row_32(unsigned char* p, int64_t columns) {
    const float32x4_t one = vdupq_n_f32(1.0f);
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 32) {
        float32x4x2_t pixels = vld2q_f32(reinterpret_cast<const float*>(p));
        pixels.val[1] = vsubq_f32(one, pixels.val[0]);
        vst2q_f32(reinterpret_cast<float*>(p), pixels);
    }
    grey_row_32_reference(p, columns - x);
}

} // namespace

const RowTransforms neon_rows = {colour_row_8, colour_row_16, colour_row_32,
                                 grey_row_8,   grey_row_16,   grey_row_32};
