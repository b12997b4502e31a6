#include "bfrun/image/resolution.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr uint64_t kPhysMax = 0x7FFFFFFF;

// numerator / denominator, rounded to the nearest; both below 2^62.
uint64_t rounded(uint64_t numerator, uint64_t denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

// p : q (in lowest terms, neither more than kPhysMax times the other) in whole numbers of at
// most kPhysMax: the last convergent of p / q's continued fraction that fits, or the
// semiconvergent after it where that is nearer (its term more than half the next term).
void best_within_phys(uint64_t p, uint64_t q, uint64_t& across, uint64_t& down) {
    // The convergents before the current one: h0 / k0 and h1 / k1, from 0 / 1 and 1 / 0.
    uint64_t h0 = 0, k0 = 1, h1 = 1, k1 = 0;
    while (q != 0) {
        const uint64_t term = p / q;
        // The largest t for which t * h1 + h0 and t * k1 + k0 both fit.
        const uint64_t t = std::min(h1 == 0 ? kPhysMax : (kPhysMax - h0) / h1,
                                    k1 == 0 ? kPhysMax : (kPhysMax - k0) / k1);
        if (term > t) {
            const bool semi = 2 * t > term;
            across = semi ? t * h1 + h0 : h1;
            down = semi ? t * k1 + k0 : k1;
            return;
        }
        const uint64_t h2 = term * h1 + h0, k2 = term * k1 + k0;
        h0 = h1;
        k0 = k1;
        h1 = h2;
        k1 = k2;
        const uint64_t rest = p % q;
        p = q;
        q = rest;
    }
    across = h1;
    down = k1;
}

} // namespace

void set_resolution(ImageMetadata& metadata, Rational x, Rational y, ResolutionUnit unit) {
    if (x.numerator == 0 || x.denominator == 0 || y.numerator == 0 || y.denominator == 0) return;
    uint64_t across = 0, down = 0;
    if (unit == ResolutionUnit::none) {
        // (xn / xd) : (yn / yd) is xn * yd : yn * xd, each below 2^64.
        uint64_t p = uint64_t{x.numerator} * y.denominator;
        uint64_t q = uint64_t{y.numerator} * x.denominator;
        const uint64_t common = std::gcd(p, q);
        p /= common;
        q /= common;
        if (p / q > kPhysMax || q / p > kPhysMax) return;
        if (p <= kPhysMax && q <= kPhysMax) {
            across = p;
            down = q;
        } else {
            best_within_phys(p, q, across, down);
        }
        if (across == down) return;
    } else {
        // An inch is 0.0254 m: per inch x 10000 / 254 is per metre.
        const uint64_t times = unit == ResolutionUnit::inch ? 10000 : 100;
        const uint64_t over = unit == ResolutionUnit::inch ? 254 : 1;
        across = rounded(x.numerator * times, x.denominator * over);
        down = rounded(y.numerator * times, y.denominator * over);
        if (across == 0 || down == 0 || across > kPhysMax || down > kPhysMax) return;
    }
    metadata.has_resolution = true;
    metadata.unit = unit == ResolutionUnit::none ? 0 : 1;
    metadata.pixels_per_unit_x = static_cast<uint32_t>(across);
    metadata.pixels_per_unit_y = static_cast<uint32_t>(down);
}
