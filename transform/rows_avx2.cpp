// The rows in AVX2, for CPUs and systems that have it (see cpu_features.h); nothing here runs
// elsewhere. The formulations of rows_sse2.cpp on 32-byte blocks: 8-bit colour in 8.24 fixed
// point (exact by the reasoning in weights.h), 16-bit and float colour in double lanes with the
// reference's order of operations and no fused multiply-add, greys in integer or
// single-precision lanes; the pixels after the last whole block go to the reference rows.
//
// Each function carries its own target attribute instead of the file being built with -mavx2,
// so no AVX2 copy of a shared inline function can end up in the module. The helpers are
// always inlined: a 32-byte vector never crosses a call (mingw cannot align one on the stack,
// GCC PR 54412), and the file is built optimised even in debug builds (transform/CMakeLists.txt).
#include <immintrin.h>

#include "transform/rows.h"
#include "transform/weights.h"

#define AVX2_ROW __attribute__((target("avx2")))
#define AVX2_HELPER __attribute__((target("avx2"), always_inline)) inline

namespace {

AVX2_HELPER __m256i load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

AVX2_HELPER void store(unsigned char* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

AVX2_HELPER __m256 load_floats(const unsigned char* p) {
    return _mm256_castsi256_ps(load(p));
}

AVX2_HELPER void store_floats(unsigned char* p, __m128 v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
}

// A byte shuffle that moves byte `index` of every 32-bit word into its low byte and zeroes
// the other three.
AVX2_HELPER __m256i byte_of_each_dword(int index) {
    const auto lane = static_cast<int32_t>(0x80808000u | static_cast<uint32_t>(index));
    return _mm256_add_epi32(_mm256_set1_epi32(lane), _mm256_setr_epi32(0, 4, 8, 12, 0, 4, 8, 12));
}

AVX2_HELPER __m256i constant(uint32_t value) {
    return _mm256_set1_epi32(static_cast<int32_t>(value));
}

// 8-bit colour: eight pixels' fixed-point sums.
AVX2_HELPER __m256i sums_8(__m256i pixels) {
    const __m256i red = _mm256_and_si256(pixels, constant(0xFF));
    const __m256i green = _mm256_shuffle_epi8(pixels, byte_of_each_dword(1));
    const __m256i blue = _mm256_shuffle_epi8(pixels, byte_of_each_dword(2));
    return _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(red, constant(kRedFixed)),
                                             _mm256_mullo_epi32(green, constant(kGreenFixed))),
                            _mm256_mullo_epi32(blue, constant(kBlueFixed)));
}

// Whether a luminance may round up into the next integer in double precision.
AVX2_HELPER bool any_near_next_integer(__m256i sums) {
    const __m256i near_next = _mm256_cmpgt_epi32(
        _mm256_and_si256(sums, constant(kFixedFractionMask)), constant(kFixedFractionSafeLimit));
    return _mm256_testz_si256(near_next, near_next) == 0;
}

// The sum's top byte is the grey: into all four bytes, then alpha = grey ^ 255.
AVX2_HELPER __m256i grey_pixels_8(__m256i sums) {
    const __m256i spread_top_byte = _mm256_add_epi32(
        constant(0x03030303), _mm256_setr_epi32(0, 0x04040404, 0x08080808, 0x0C0C0C0C, 0,
                                                0x04040404, 0x08080808, 0x0C0C0C0C));
    return _mm256_xor_si256(_mm256_shuffle_epi8(sums, spread_top_byte), constant(0xFF000000u));
}

// Whole blocks from column x on, up to the first that holds a pixel near the next integer;
// returns the column where it stopped. The loop calls nothing, so its constants stay in
// registers.
AVX2_HELPER int64_t colour_blocks_8(unsigned char* p, int64_t x, int64_t columns) {
    for (; x + 8 <= columns; x += 8) {
        const __m256i sums = sums_8(load(p + 4 * x));
        if (any_near_next_integer(sums)) break;
        store(p + 4 * x, grey_pixels_8(sums));
    }
    return x;
}

AVX2_ROW void colour_row_8(unsigned char* p, int64_t columns) {
    int64_t x = colour_blocks_8(p, 0, columns);
    while (x + 8 <= columns) {
        colour_row_8_reference(p + 4 * x, 8);
        x = colour_blocks_8(p, x + 8, columns);
    }
    colour_row_8_reference(p + 4 * x, columns - x);
}

// Luminance of four pixels, ceiling applied as min(ceiling, m) so that a NaN passes through.
AVX2_HELPER __m256d luminance(__m256d red, __m256d green, __m256d blue, __m256d ceiling) {
    const __m256d m =
        _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(red, _mm256_set1_pd(kRedWeight)),
                                    _mm256_mul_pd(green, _mm256_set1_pd(kGreenWeight))),
                      _mm256_mul_pd(blue, _mm256_set1_pd(kBlueWeight)));
    return _mm256_min_pd(ceiling, m);
}

AVX2_ROW void colour_row_16(unsigned char* p, int64_t columns) {
    const __m256i red_green_then_blue_alpha = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m128i low_word = _mm_set1_epi32(0xFFFF);
    const __m256d ceiling = _mm256_set1_pd(32768.0);
    // Word 0 of every 64-bit pixel into its four words; then alpha = (grey ^ 0xFFFF) + 0x8001,
    // which is 32768 - grey modulo 2^16.
    const __m256i spread_low_word =
        _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9, 0, 1, 0, 1, 0, 1, 0, 1, 8,
                         9, 8, 9, 8, 9, 8, 9);
    const __m256i alpha_flip = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000u));
    const __m256i alpha_add = _mm256_set1_epi64x(static_cast<int64_t>(0x8001000000000000u));
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 32) {
        const __m256i planes = _mm256_permutevar8x32_epi32(load(p), red_green_then_blue_alpha);
        const __m128i red_green = _mm256_castsi256_si128(planes);
        const __m128i blue_alpha = _mm256_extracti128_si256(planes, 1);
        const __m256d m =
            luminance(_mm256_cvtepi32_pd(_mm_and_si128(red_green, low_word)),
                      _mm256_cvtepi32_pd(_mm_srli_epi32(red_green, 16)),
                      _mm256_cvtepi32_pd(_mm_and_si128(blue_alpha, low_word)), ceiling);
        const __m256i grey = _mm256_cvtepu32_epi64(_mm256_cvttpd_epi32(m)); // at most 32768
        const __m256i spread = _mm256_shuffle_epi8(grey, spread_low_word);
        store(p, _mm256_add_epi16(_mm256_xor_si256(spread, alpha_flip), alpha_add));
    }
    colour_row_16_reference(p, columns - x);
}

AVX2_ROW void colour_row_32(unsigned char* p, int64_t columns) {
    const __m256d ceiling = _mm256_set1_pd(1.0);
    const __m128 one = _mm_set1_ps(1.0f);
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 64) {
        const __m256 first = load_floats(p);       // pixels 0 | 1
        const __m256 second = load_floats(p + 32); // pixels 2 | 3
        // Lanes: R0 R2 G0 G2 | R1 R3 G1 G3 and B0 B2 A0 A2 | B1 B3 A1 A3, then 64-bit pairs
        // regrouped: R0 R2 R1 R3 | G0 G2 G1 G3 and B0 B2 B1 B3 | ...
        const __m256d low = _mm256_permute4x64_pd(
            _mm256_castps_pd(_mm256_unpacklo_ps(first, second)), _MM_SHUFFLE(3, 1, 2, 0));
        const __m256d high = _mm256_permute4x64_pd(
            _mm256_castps_pd(_mm256_unpackhi_ps(first, second)), _MM_SHUFFLE(3, 1, 2, 0));
        const __m256d m =
            luminance(_mm256_cvtps_pd(_mm256_castps256_ps128(_mm256_castpd_ps(low))),
                      _mm256_cvtps_pd(_mm256_extractf128_ps(_mm256_castpd_ps(low), 1)),
                      _mm256_cvtps_pd(_mm256_castps256_ps128(_mm256_castpd_ps(high))), ceiling);
        const __m128 grey = _mm256_cvtpd_ps(m); // pixels 0 2 1 3, rounded to nearest
        const __m128 alpha = _mm_sub_ps(one, grey);
        const __m128 grey_alpha_02 = _mm_unpacklo_ps(grey, alpha); // G0 A0 G2 A2
        const __m128 grey_alpha_13 = _mm_unpackhi_ps(grey, alpha); // G1 A1 G3 A3
        store_floats(p, _mm_shuffle_ps(grey, grey_alpha_02, _MM_SHUFFLE(1, 0, 0, 0)));
        store_floats(p + 16, _mm_shuffle_ps(grey, grey_alpha_13, _MM_SHUFFLE(1, 0, 2, 2)));
        store_floats(p + 32, _mm_shuffle_ps(grey, grey_alpha_02, _MM_SHUFFLE(3, 2, 1, 1)));
        store_floats(p + 48, _mm_shuffle_ps(grey, grey_alpha_13, _MM_SHUFFLE(3, 2, 3, 3)));
    }
    colour_row_32_reference(p, columns - x);
}

AVX2_ROW void grey_row_8(unsigned char* p, int64_t columns) {
    // Byte 0 of every 16-bit pixel into both bytes; then alpha = grey ^ 255.
    const __m256i spread_grey =
        _mm256_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14, 0, 0, 2, 2, 4, 4, 6,
                         6, 8, 8, 10, 10, 12, 12, 14, 14);
    const __m256i alpha_bits = _mm256_set1_epi16(static_cast<int16_t>(0xFF00));
    int64_t x = 0;
    for (; x + 16 <= columns; x += 16, p += 32)
        store(p, _mm256_xor_si256(_mm256_shuffle_epi8(load(p), spread_grey), alpha_bits));
    grey_row_8_reference(p, columns - x);
}

AVX2_ROW void grey_row_16(unsigned char* p, int64_t columns) {
    const __m256i grey_words = _mm256_set1_epi32(0xFFFF);
    const __m256i full_scale_high = _mm256_set1_epi32(static_cast<int32_t>(0x80000000u));
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 32) {
        const __m256i pixels = load(p);
        // (32768 - Y) << 16 modulo 2^32: the 16-bit wrap of the reference.
        const __m256i alpha = _mm256_sub_epi32(full_scale_high, _mm256_slli_epi32(pixels, 16));
        store(p, _mm256_or_si256(_mm256_and_si256(pixels, grey_words), alpha));
    }
    grey_row_16_reference(p, columns - x);
}

AVX2_ROW void grey_row_32(unsigned char* p, int64_t columns) {
    const __m256 one = _mm256_set1_ps(1.0f);
    int64_t x = 0;
    for (; x + 4 <= columns; x += 4, p += 32) {
        const __m256 pixels = load_floats(p);
        const __m256 alpha = _mm256_sub_ps(one, _mm256_moveldup_ps(pixels));
        store(p, _mm256_castps_si256(_mm256_blend_ps(pixels, alpha, 0xAA)));
    }
    grey_row_32_reference(p, columns - x);
}

} // namespace

const RowTransforms avx2_rows = {colour_row_8, colour_row_16, colour_row_32,
                                 grey_row_8,   grey_row_16,   grey_row_32};
