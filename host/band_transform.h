// The module's side of one delivered band: reads where the host put it (output rectangle by
// the coordinate choice, outData, outRowBytes, planes, depth) and runs the kernel on it.
#pragma once

#include "host/host_records.h"

// Rewrites, in place, the band in record.outData described by the output rectangle. Rows are
// `outRowBytes` apart when that is at least a packed row, and packed back to back otherwise;
// pad bytes are never touched.
void transform_band(FilterRecord& record);
