// How the host lays out a row of samples: planes side by side, rows packed unless the host
// pads them; and the top of the 16-bit scale, on which 1.0 is 32768, not 65535.
#pragma once

#include <cstdint>

#include "transform/samples.h"

constexpr uint32_t kHostScale16 = kSampleScale16;

// Bytes of one packed row: `columns` pixels of `planes` samples at the host depth. (The planes
// and depth by reference: so the module's band adapter compiles to the code it had before
// this was shared with bfrun, instruction for instruction.)
constexpr int64_t packed_row_bytes(int64_t columns, const int16_t& planes, const int32_t& depth) {
    return columns * planes * static_cast<int64_t>(sample_size_for_depth(depth));
}
