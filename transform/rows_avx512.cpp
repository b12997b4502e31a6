// The rows in AVX-512 (F, BW and VL), for CPUs and systems that have it (see
// cpu_features.h); nothing here runs elsewhere. The formulations of rows_avx2.cpp on 64-byte
// blocks, with AVX-512's wider permutes; the last, partial block of a row is loaded and stored
// under a lane mask, so the whole row runs here and nothing after its last pixel is touched.
//
// As in rows_avx2.cpp: a target attribute per function, helpers always inlined so that no
// vector crosses a call (GCC PR 54412), built optimised even in debug builds. The loops over
// whole blocks call nothing, so that their constants stay in registers.
#include <cstdint>

// GCC 12's AVX-512 intrinsics fill unused lanes from a deliberately uninitialised vector,
// which its own -Wmaybe-uninitialized then reports inside the header (clang has no such
// warning).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "transform/rows.h"
#include "transform/weights.h"

#define AVX512_ROW __attribute__((target("avx512f,avx512bw,avx512vl")))
#define AVX512_HELPER __attribute__((target("avx512f,avx512bw,avx512vl"), always_inline)) inline

namespace {

// The first `count` of `lanes` lanes (count may exceed lanes).
AVX512_HELPER uint64_t first_lanes(int64_t count, int lanes) {
    if (count >= lanes) return lanes == 64 ? ~uint64_t{0} : (uint64_t{1} << lanes) - 1;
    return (uint64_t{1} << count) - 1;
}

AVX512_HELPER __m512i constant(uint32_t value) {
    return _mm512_set1_epi32(static_cast<int32_t>(value));
}

// 8-bit colour: 16 pixels' fixed-point sums plus 256 (see kRedBiasBits in weights.h).
AVX512_HELPER __m512i biased_sums_8(__m512i pixels) {
    const __m512i dword_bytes = _mm512_set4_epi32(12, 8, 4, 0);
    const __m512i red = _mm512_ternarylogic_epi32(pixels, constant(0xFF), constant(kRedBiasBits),
                                                  0xEA); // (pixels & 0xFF) | bias
    const __m512i green =
        _mm512_shuffle_epi8(pixels, _mm512_add_epi32(dword_bytes, constant(0x80808001u)));
    const __m512i blue =
        _mm512_shuffle_epi8(pixels, _mm512_add_epi32(dword_bytes, constant(0x80808002u)));
    return _mm512_add_epi32(_mm512_add_epi32(_mm512_mullo_epi32(red, constant(kRedFixed)),
                                             _mm512_mullo_epi32(green, constant(kGreenFixed))),
                            _mm512_mullo_epi32(blue, constant(kBlueFixed)));
}

// The lanes whose luminance may round up into the next integer in double precision.
AVX512_HELPER __mmask16 near_next_integer(__m512i biased_sums) {
    return _mm512_testn_epi32_mask(biased_sums, constant(kBiasedNearNextMask));
}

// The sum's top byte is the grey: into all four bytes, then alpha = grey ^ 255.
AVX512_HELPER __m512i grey_pixels_8(__m512i biased_sums) {
    const __m512i spread_top_byte =
        _mm512_set4_epi32(0x0F0F0F0F, 0x0B0B0B0B, 0x07070707, 0x03030303);
    return _mm512_xor_si512(_mm512_shuffle_epi8(biased_sums, spread_top_byte),
                            constant(0xFF000000u));
}

// Whole blocks from column x on, up to the first that holds a pixel near the next integer;
// returns the column where it stopped.
AVX512_HELPER int64_t colour_blocks_8(unsigned char* p, int64_t x, int64_t columns) {
    for (; x + 16 <= columns; x += 16) {
        const __m512i sums = biased_sums_8(_mm512_loadu_si512(p + 4 * x));
        if (near_next_integer(sums) != 0) break;
        _mm512_storeu_si512(p + 4 * x, grey_pixels_8(sums));
    }
    return x;
}

AVX512_ROW void colour_row_8(unsigned char* p, int64_t columns) {
    int64_t x = colour_blocks_8(p, 0, columns);
    while (x + 16 <= columns) {
        colour_row_8_reference(p + 4 * x, 16);
        x = colour_blocks_8(p, x + 16, columns);
    }
    if (x == columns) return;
    const auto live = static_cast<__mmask16>(first_lanes(columns - x, 16));
    const __m512i sums = biased_sums_8(_mm512_maskz_loadu_epi32(live, p + 4 * x));
    if ((near_next_integer(sums) & live) != 0)
        colour_row_8_reference(p + 4 * x, columns - x);
    else
        _mm512_mask_storeu_epi32(p + 4 * x, live, grey_pixels_8(sums));
}

// Luminance of eight pixels, ceiling applied as min(ceiling, m) so that a NaN passes through.
AVX512_HELPER __m512d luminance(__m512d red, __m512d green, __m512d blue, double ceiling) {
    const __m512d m =
        _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(red, _mm512_set1_pd(kRedWeight)),
                                    _mm512_mul_pd(green, _mm512_set1_pd(kGreenWeight))),
                      _mm512_mul_pd(blue, _mm512_set1_pd(kBlueWeight)));
    return _mm512_min_pd(_mm512_set1_pd(ceiling), m);
}

// The 16 bits at `shift` in each 64-bit lane as an exact double, without a conversion
// instruction: in the low mantissa bits of 2^52 they read as 2^52 + sample, and taking 2^52
// away again is exact.
AVX512_HELPER __m512d sample_16_as_double(__m512i pixels, unsigned int shift) {
    const __m512i two_52_bits = _mm512_set1_epi64(0x4330000000000000);
    const __m512i shifted = _mm512_srli_epi64(pixels, shift);
    const __m512i biased =
        _mm512_ternarylogic_epi64(shifted, _mm512_set1_epi64(0xFFFF), two_52_bits,
                                  0xEA); // (shifted & 0xFFFF) | 2^52
    return _mm512_sub_pd(_mm512_castsi512_pd(biased), _mm512_castsi512_pd(two_52_bits));
}

// Eight 16-bit pixels, one per 64-bit lane.
AVX512_HELPER __m512i colour_pixels_16(__m512i pixels) {
    const __m512d m = luminance(sample_16_as_double(pixels, 0), sample_16_as_double(pixels, 16),
                                sample_16_as_double(pixels, 32), 32768.0);
    const __m256i grey = _mm512_cvttpd_epi32(m); // at most 32768
    // 32768 - grey fits 16 bits; modulo 2^16 it is the reference's alpha.
    const __m256i alpha = _mm256_sub_epi32(_mm256_set1_epi32(32768), grey);
    const __m512i grey_then_alpha = _mm512_inserti64x4(_mm512_castsi256_si512(grey), alpha, 1);
    // Words: pixel i takes grey i (word 2i) thrice, then alpha i (word 16 + 2i).
    const __m512i spread =
        _mm512_setr_epi32(0x00000000, 0x00100000, 0x00020002, 0x00120002, 0x00040004, 0x00140004,
                          0x00060006, 0x00160006, 0x00080008, 0x00180008, 0x000A000A, 0x001A000A,
                          0x000C000C, 0x001C000C, 0x000E000E, 0x001E000E);
    return _mm512_permutexvar_epi16(spread, grey_then_alpha);
}

AVX512_ROW void colour_row_16(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 64)
        _mm512_storeu_si512(p, colour_pixels_16(_mm512_loadu_si512(p)));
    if (x == columns) return;
    const auto live = static_cast<__mmask8>(first_lanes(columns - x, 8));
    _mm512_mask_storeu_epi64(p, live, colour_pixels_16(_mm512_maskz_loadu_epi64(live, p)));
}

// Eight float pixels, four in each vector.
AVX512_HELPER void colour_pixels_32(__m512& first, __m512& second) {
    const __m512 red_green = _mm512_permutex2var_ps(
        first, _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29), second);
    const __m512 blue = _mm512_permutex2var_ps(
        first, _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 2, 6, 10, 14, 18, 22, 26, 30),
        second);
    const __m512d m = luminance(
        _mm512_cvtps_pd(_mm512_castps512_ps256(red_green)),
        _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(red_green), 1))),
        _mm512_cvtps_pd(_mm512_castps512_ps256(blue)), 1.0);
    const __m256 grey = _mm512_cvtpd_ps(m); // rounded to nearest
    const __m256 alpha = _mm256_sub_ps(_mm256_set1_ps(1.0f), grey);
    const __m512 grey_then_alpha = _mm512_castpd_ps(_mm512_insertf64x4(
        _mm512_castpd256_pd512(_mm256_castps_pd(grey)), _mm256_castps_pd(alpha), 1));
    first = _mm512_permutexvar_ps(
        _mm512_setr_epi32(0, 0, 0, 8, 1, 1, 1, 9, 2, 2, 2, 10, 3, 3, 3, 11), grey_then_alpha);
    second = _mm512_permutexvar_ps(
        _mm512_setr_epi32(4, 4, 4, 12, 5, 5, 5, 13, 6, 6, 6, 14, 7, 7, 7, 15), grey_then_alpha);
}

AVX512_ROW void colour_row_32(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 128) {
        __m512 first = _mm512_loadu_ps(p);
        __m512 second = _mm512_loadu_ps(p + 64);
        colour_pixels_32(first, second);
        _mm512_storeu_ps(p, first);
        _mm512_storeu_ps(p + 64, second);
    }
    if (x == columns) return;
    const int64_t floats_left = 4 * (columns - x);
    const auto live_first = static_cast<__mmask16>(first_lanes(floats_left, 16));
    const auto live_second =
        static_cast<__mmask16>(first_lanes(floats_left > 16 ? floats_left - 16 : 0, 16));
    __m512 first = _mm512_maskz_loadu_ps(live_first, p);
    __m512 second = _mm512_maskz_loadu_ps(live_second, p + 64);
    colour_pixels_32(first, second);
    _mm512_mask_storeu_ps(p, live_first, first);
    _mm512_mask_storeu_ps(p + 64, live_second, second);
}

// Greys: byte 0 of every 16-bit pixel into both bytes, then alpha = grey ^ 255.
AVX512_HELPER __m512i grey_pixels_8_of(__m512i pixels) {
    const __m512i spread_grey = _mm512_set4_epi32(0x0E0E0C0C, 0x0A0A0808, 0x06060404, 0x02020000);
    return _mm512_xor_si512(_mm512_shuffle_epi8(pixels, spread_grey),
                            _mm512_set1_epi16(static_cast<int16_t>(0xFF00)));
}

AVX512_ROW void grey_row_8(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 32 <= columns; x += 32, p += 64)
        _mm512_storeu_si512(p, grey_pixels_8_of(_mm512_loadu_si512(p)));
    if (x == columns) return;
    const __mmask64 live = first_lanes(2 * (columns - x), 64);
    _mm512_mask_storeu_epi8(p, live, grey_pixels_8_of(_mm512_maskz_loadu_epi8(live, p)));
}

// (32768 - Y) << 16 modulo 2^32: the 16-bit wrap of the reference.
AVX512_HELPER __m512i grey_pixels_16_of(__m512i pixels) {
    const __m512i alpha = _mm512_sub_epi32(constant(0x80000000u), _mm512_slli_epi32(pixels, 16));
    return _mm512_ternarylogic_epi32(pixels, constant(0xFFFF), alpha, 0xEA); // (Y & 0xFFFF) | alpha
}

AVX512_ROW void grey_row_16(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 16 <= columns; x += 16, p += 64)
        _mm512_storeu_si512(p, grey_pixels_16_of(_mm512_loadu_si512(p)));
    if (x == columns) return;
    const auto live = static_cast<__mmask16>(first_lanes(columns - x, 16));
    _mm512_mask_storeu_epi32(p, live, grey_pixels_16_of(_mm512_maskz_loadu_epi32(live, p)));
}

AVX512_HELPER __m512 grey_pixels_32_of(__m512 pixels) {
    const __m512 alpha = _mm512_sub_ps(_mm512_set1_ps(1.0f), _mm512_moveldup_ps(pixels));
    return _mm512_mask_blend_ps(0xAAAA, pixels, alpha);
}

AVX512_ROW void grey_row_32(unsigned char* p, int64_t columns) {
    int64_t x = 0;
    for (; x + 8 <= columns; x += 8, p += 64)
        _mm512_storeu_ps(p, grey_pixels_32_of(_mm512_loadu_ps(p)));
    if (x == columns) return;
    const auto live = static_cast<__mmask16>(first_lanes(2 * (columns - x), 16));
    _mm512_mask_storeu_ps(p, live, grey_pixels_32_of(_mm512_maskz_loadu_ps(live, p)));
}

} // namespace

const RowTransforms avx512_rows = {colour_row_8, colour_row_16, colour_row_32,
                                   grey_row_8,   grey_row_16,   grey_row_32};
