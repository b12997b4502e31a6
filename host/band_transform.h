// The module's side of one delivered band: reads where the host put it (output rectangle by
// the coordinate choice, outData, outRowBytes, planes, depth) and runs the kernel on it.
#pragma once

#include "host/host_records.h"

// Rewrites, in place, the band in record.outData described by the output rectangle. Rows are
// `outRowBytes` apart when that is at least a packed row, and packed back to back otherwise;
// pad bytes are never touched. Unless the host does white matting itself, the band is
// composited over white first and the white matte taken off after, as the host would have.
void transform_band(FilterRecord& record, bool host_does_white_matting);
