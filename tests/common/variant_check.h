// Checks a variant of the kernel against the reference bit for bit, in the manner of a
// checkasm harness: the same samples go through both, each band inside canary bytes and ending
// at the very end of its heap block; the first difference comes back as one line with the random
// start that reproduces it. Shared by the native unit tests and the Windows build's test under
// Wine.
#pragma once

#include <cstdint>
#include <string>

#include "transform/rows.h"

struct BandShape {
    int planes = 4;
    int32_t depth = 8;
    int64_t rows = 1;
    int64_t columns = 1;
    int64_t pad_bytes = 0; // between rows
    int64_t offset = 0;    // of the first sample from a 64-byte boundary
};

// The rows under test and the name they go by in reports.
struct RowsUnderTest {
    const RowTransforms& rows;
    const char* name;
};
RowsUnderTest rows_under_test(KernelVariant variant);

// Runs one band of this shape, filled from `random_start` (edge values mixed in), through the
// reference and through the rows under test; "" when all agrees, else the first difference.
std::string compare_band_with_reference(const RowsUnderTest& tested, const BandShape& shape,
                                        uint32_t random_start);

// `bands` random shapes from `random_start`: every depth and plane count, widths 1 to 17 and wider,
// padded pitches, any start offset.
std::string compare_random_bands(const RowsUnderTest& tested, uint32_t random_start, int bands);

// Every width from 1 to 35, and 4099, at every offset from 0 to 15, every depth and plane
// count: up to two of the widest blocks and a tail, and one width far from any block.
std::string compare_short_widths_at_every_offset(const RowsUnderTest& tested);

// Every 8-bit (R, G, B) triple, and every 8-bit and 16-bit grey.
std::string compare_all_rgb_triples(const RowsUnderTest& tested);
std::string compare_all_greys(const RowsUnderTest& tested);
