// The luminance weights, shared by the reference rows, the SIMD rows and bfrun's --paper
// histogram, and the fixed-point form of them that the SIMD rows use for 8-bit colour.
#pragma once

#include <cstdint>

// The weights in millionths, each decimal weight times 10^6, exact for sums in integers (bfrun's
// luminance histogram). They add up to 1.000001: white lands a hair above full scale and the
// ceiling brings it back.
constexpr uint32_t kRedMillionths = 298912;
constexpr uint32_t kGreenMillionths = 586611;
constexpr uint32_t kBlueMillionths = 114478;
static_assert(kRedMillionths + kGreenMillionths + kBlueMillionths == 1000001,
              "the weights add up to 1.000001");

// Luminance = (R x red + G x green) + B x blue, each product and sum a double rounded to
// nearest. Each weight is the double nearest to its millionths, the quotient rounded once.
constexpr double kRedWeight = kRedMillionths / 1e6;
constexpr double kGreenWeight = kGreenMillionths / 1e6;
constexpr double kBlueWeight = kBlueMillionths / 1e6;

// 8-bit colour in integers: each weight times 2^24, rounded down, so that the sum
// S = R x red + G x green + B x blue (below 2^32) is the luminance in 8.24 fixed point and its
// top byte is the grey. Rounding down makes S at most 255 x (0.19 + 0.45 + 0.13) < 199 units
// of 2^-24 below the exact luminance of the double weights, so only a fraction within 256
// units of the next integer can belong to the next integer; a block holding such a pixel is
// redone by the reference rows. The test over all 2^24 triples proves the whole scheme.
constexpr int kFixedFractionBits = 24;
constexpr uint32_t kRedFixed = static_cast<uint32_t>(kRedWeight * (1u << kFixedFractionBits));
constexpr uint32_t kGreenFixed = static_cast<uint32_t>(kGreenWeight * (1u << kFixedFractionBits));
constexpr uint32_t kBlueFixed = static_cast<uint32_t>(kBlueWeight * (1u << kFixedFractionBits));
constexpr uint32_t kFixedFractionMask = (1u << kFixedFractionBits) - 1;
// A fraction above this may round up into the next integer in double precision.
constexpr uint32_t kFixedFractionSafeLimit = kFixedFractionMask - 256;

// An odd number's inverse modulo 2^24, by Newton's iteration (each step doubles the bits).
constexpr uint32_t inverse_modulo_2_24(uint32_t odd) {
    uint32_t inverse = odd; // right to 3 bits: odd * odd = 1 modulo 8
    for (int step = 0; step < 4; ++step)
        inverse *= 2u - odd * inverse;
    return inverse & kFixedFractionMask;
}

// Red with these bits set above its byte weighs exactly 256 more in the sum, modulo 2^32: a
// bias that moves a fraction within 256 units of the next integer, and only such a fraction,
// into the next integer with bits 8 to 23 clear, which one test finds (rows_avx512.cpp).
constexpr uint32_t kRedBiasBits = inverse_modulo_2_24(kRedFixed) << 8;
constexpr uint32_t kBiasedNearNextMask = kFixedFractionMask & ~0xFFu;

static_assert(static_cast<uint32_t>(kRedBiasBits * kRedFixed) == 256, "the red bias adds 256");
static_assert(kRedFixed == 5014911 && kGreenFixed == 9841699 && kBlueFixed == 1920622,
              "the weights times 2^24, rounded down");
static_assert(255ull * (kRedFixed + kGreenFixed + kBlueFixed) < (1ull << 32),
              "the fixed-point sum of white fits 32 bits");
