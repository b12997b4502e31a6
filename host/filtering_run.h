// The whole filtering job, done for the start selector on the filter record held in module
// state: checks the image, then has the host deliver the filter rectangle band by band and
// turns each band's luminance into alpha.
#pragma once

#include <cstdint>

#include "host/host_records.h"

// Rows per host request; the last band of a rectangle may be shorter.
constexpr int32_t kBandRows = 8;

void run_filtering();

// Empties the input, output and mask rectangles, in that order, by the coordinate choice: the
// host's sign that nothing more is asked for.
void clear_rectangles(FilterRecord& record);
