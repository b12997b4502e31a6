// The whole filtering job, done for the start selector on the filter record held in module
// state: checks the image, then has the host deliver the filter rectangle band by band and
// turns each band's luminance into alpha.
#pragma once

#include <cstdint>

// Rows per host request; the last band of a rectangle may be shorter.
constexpr int32_t kBandRows = 8;

void run_filtering();
