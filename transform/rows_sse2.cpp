// The rows in SSE2, which every x86-64 CPU has: 8-bit colour in 8.24 fixed point (exact by the
// reasoning in weights.h), 16-bit and float colour in double lanes with the reference's order
// of operations, greys in integer or single-precision lanes. Blocks of 16 bytes or more; the
// pixels after the last whole block go to the reference rows.
#include <emmintrin.h>

#include "transform/rows.h"
#include "transform/weights.h"

#define SSE2_HELPER __attribute__((always_inline)) inline

namespace {

SSE2_HELPER __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

SSE2_HELPER void store(unsigned char* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

SSE2_HELPER __m128 load_floats(const unsigned char* p) {
    return _mm_castsi128_ps(load(p));
}

SSE2_HELPER void store_floats(unsigned char* p, __m128 v) {
    store(p, _mm_castps_si128(v));
}

// A 24-bit weight as high * 2^16 + low with `low` a signed 16-bit word, for pmaddwd.
constexpr int16_t low_word(uint32_t weight) {
    return static_cast<int16_t>(static_cast<int32_t>(weight & 0xFFFF) -
                                ((weight & 0x8000) != 0 ? 0x10000 : 0));
}
constexpr int16_t high_word(uint32_t weight) {
    return static_cast<int16_t>((static_cast<int32_t>(weight) - low_word(weight)) >> 16);
}

// Two pixels' samples as words R, G, B, A times the weights' high (or low) words: per pixel
// the dwords R*wr + G*wg and B*wb.
SSE2_HELPER __m128i fixed_point_halves(__m128i words) {
    const __m128i high =
        _mm_setr_epi16(high_word(kRedFixed), high_word(kGreenFixed), high_word(kBlueFixed), 0,
                       high_word(kRedFixed), high_word(kGreenFixed), high_word(kBlueFixed), 0);
    const __m128i low =
        _mm_setr_epi16(low_word(kRedFixed), low_word(kGreenFixed), low_word(kBlueFixed), 0,
                       low_word(kRedFixed), low_word(kGreenFixed), low_word(kBlueFixed), 0);
    // Wrapping 32-bit arithmetic: the true sum is below 2^32.
    return _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(words, high), 16),
                         _mm_madd_epi16(words, low));
}

// 8-bit colour: four pixels' fixed-point sums.
SSE2_HELPER __m128i sums_8(__m128i pixels) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = fixed_point_halves(_mm_unpacklo_epi8(pixels, zero)); // pixels 0, 1
    const __m128i b = fixed_point_halves(_mm_unpackhi_epi8(pixels, zero)); // pixels 2, 3
    const __m128 af = _mm_castsi128_ps(a), bf = _mm_castsi128_ps(b);
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(3, 1, 3, 1))));
}

// Whether a luminance may round up into the next integer in double precision.
SSE2_HELPER bool any_near_next_integer(__m128i sums) {
    const __m128i fraction =
        _mm_and_si128(sums, _mm_set1_epi32(static_cast<int32_t>(kFixedFractionMask)));
    return _mm_movemask_epi8(_mm_cmpgt_epi32(
               fraction, _mm_set1_epi32(static_cast<int32_t>(kFixedFractionSafeLimit)))) != 0;
}

// The sum's top byte is the grey, copied into all four bytes; alpha = grey ^ 255.
SSE2_HELPER __m128i grey_pixels_8(__m128i sums) {
    __m128i grey = _mm_srli_epi32(sums, kFixedFractionBits);
    grey = _mm_or_si128(grey, _mm_slli_epi32(grey, 8));
    grey = _mm_or_si128(grey, _mm_slli_epi32(grey, 16));
    return _mm_xor_si128(grey, _mm_set1_epi32(static_cast<int32_t>(0xFF000000u)));
}

// Whole blocks from column x on, up to the first that holds a pixel near the next integer;
// returns the column where it stopped. The loop calls nothing, so its constants stay in
// registers.
int64_t colour_blocks_8(unsigned char* p, int64_t x, int64_t columns) {
    for (; x + 4 <= columns; x += 4) {
        const __m128i sums = sums_8(load(p + 4 * x));
        if (any_near_next_integer(sums)) break;
        store(p + 4 * x, grey_pixels_8(sums));
    }
    return x;
}

void colour_row_8(unsigned char* p, int64_t columns) {
    int64_t x = colour_blocks_8(p, 0, columns);
    while (x + 4 <= columns) {
        colour_row_8_reference(p + 4 * x, 4);
        x = colour_blocks_8(p, x + 4, columns);
    }
    colour_row_8_reference(p + 4 * x, columns - x);
}

// Luminance of two pixels, ceiling applied as min(ceiling, m) so that a NaN passes through.
SSE2_HELPER __m128d luminance(__m128d red, __m128d green, __m128d blue, __m128d ceiling) {
    const __m128d m = _mm_add_pd(_mm_add_pd(_mm_mul_pd(red, _mm_set1_pd(kRedWeight)),
                                            _mm_mul_pd(green, _mm_set1_pd(kGreenWeight))),
                                 _mm_mul_pd(blue, _mm_set1_pd(kBlueWeight)));
    return _mm_min_pd(ceiling, m);
}

void colour_row_16(unsigned char* p, int64_t columns) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full_scale = _mm_set1_epi32(32768);
    const __m128d ceiling = _mm_set1_pd(32768.0);
    int64_t x = 0;
    for (; x + 2 <= columns; x += 2, p += 16) {
        const __m128i pixels = load(p);
        const __m128i first = _mm_unpacklo_epi16(pixels, zero);  // R0 G0 B0 A0
        const __m128i second = _mm_unpackhi_epi16(pixels, zero); // R1 G1 B1 A1
        const __m128i red_green = _mm_unpacklo_epi32(first, second);
        const __m128i blue_alpha = _mm_unpackhi_epi32(first, second);
        const __m128d m = luminance(_mm_cvtepi32_pd(red_green),
                                    _mm_cvtepi32_pd(_mm_unpackhi_epi64(red_green, red_green)),
                                    _mm_cvtepi32_pd(blue_alpha), ceiling);
        const __m128i grey = _mm_cvttpd_epi32(m); // G0 G1 0 0, each at most 32768
        const __m128i grey_grey = _mm_or_si128(grey, _mm_slli_epi32(grey, 16));
        const __m128i grey_alpha =
            _mm_or_si128(grey, _mm_slli_epi32(_mm_sub_epi32(full_scale, grey), 16));
        store(p, _mm_unpacklo_epi32(grey_grey, grey_alpha));
    }
    colour_row_16_reference(p, columns - x);
}

void colour_row_32(unsigned char* p, int64_t columns) {
    const __m128d ceiling = _mm_set1_pd(1.0);
    const __m128 one = _mm_set1_ps(1.0f);
    int64_t x = 0;
    for (; x + 2 <= columns; x += 2, p += 32) {
        const __m128 first = load_floats(p);
        const __m128 second = load_floats(p + 16);
        const __m128 red_green = _mm_unpacklo_ps(first, second); // R0 R1 G0 G1
        const __m128 blue_alpha = _mm_unpackhi_ps(first, second);
        const __m128d m =
            luminance(_mm_cvtps_pd(red_green), _mm_cvtps_pd(_mm_movehl_ps(red_green, red_green)),
                      _mm_cvtps_pd(blue_alpha), ceiling);
        const __m128 grey = _mm_cvtpd_ps(m); // G0 G1 0 0, rounded to nearest
        const __m128 grey_alpha = _mm_unpacklo_ps(grey, _mm_sub_ps(one, grey)); // G0 A0 G1 A1
        store_floats(p, _mm_shuffle_ps(grey, grey_alpha, _MM_SHUFFLE(1, 0, 0, 0)));
        store_floats(p + 16, _mm_shuffle_ps(grey, grey_alpha, _MM_SHUFFLE(3, 2, 1, 1)));
    }
    colour_row_32_reference(p, columns - x);
}

void grey_row_8(unsigned char* p, int64_t columns) {
    const __m128i grey_bytes = _mm_set1_epi16(0x00FF);
    const __m128i alpha_bytes = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 16) {
        const __m128i pixels = load(p);
        const __m128i alpha = _mm_xor_si128(_mm_slli_epi16(pixels, 8), alpha_bytes);
        store(p, _mm_or_si128(_mm_and_si128(pixels, grey_bytes), alpha));
    }
    grey_row_8_reference(p, columns - x);
}

void grey_row_16(unsigned char* p, int64_t columns) {
    const __m128i grey_words = _mm_set1_epi32(0xFFFF);
    const __m128i full_scale_high = _mm_set1_epi32(static_cast<int32_t>(0x80000000u));
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 16) {
        const __m128i pixels = load(p);
        // (32768 - Y) << 16 modulo 2^32: the 16-bit wrap of the reference.
        const __m128i alpha = _mm_sub_epi32(full_scale_high, _mm_slli_epi32(pixels, 16));
        store(p, _mm_or_si128(_mm_and_si128(pixels, grey_words), alpha));
    }
    grey_row_16_reference(p, columns - x);
}

void grey_row_32(unsigned char* p, int64_t columns) {
    const __m128 one = _mm_set1_ps(1.0f);
    int64_t x = 0;
    for (; x + 2 <= columns; x += 2, p += 16) {
        const __m128 pixels = load_floats(p); // Y0 A0 Y1 A1
        const __m128 greys = _mm_shuffle_ps(pixels, pixels, _MM_SHUFFLE(2, 0, 2, 0));
        store_floats(p, _mm_unpacklo_ps(greys, _mm_sub_ps(one, greys)));
    }
    grey_row_32_reference(p, columns - x);
}

} // namespace

const RowTransforms sse2_rows = {colour_row_8, colour_row_16, colour_row_32,
                                 grey_row_8,   grey_row_16,   grey_row_32};
