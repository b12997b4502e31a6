// Moving one band between the stored rows (the file's samples) and the module's buffers (the
// host's samples for its depth): delivery with the colour composited over the filter case's
// matte, and write-back with the matte removed. Every pixel handed back is written.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "bfrun/drive/matting.h"
#include "bfrun/drive/row_store.h"

// A rectangle of the layer and the planes lo..hi of it that travel.
struct BandArea {
    VRect rect;
    int lo, hi;
};

// Copies the band from the store into `out`, rows `row_bytes` apart, as samples of the host
// depth (8, 16 or 32). The band's rows must be resident.
void deliver_band(RowStore& store, const BandArea& band, int32_t depth, Matte matte, uint8_t* out,
                  int32_t row_bytes);

// Stores every pixel of `buffer` (rows `row_bytes` apart): alpha first, then the colour with
// the matte removed at that alpha.
void write_back_band(RowStore& store, const BandArea& band, int32_t depth, Matte matte,
                     const uint8_t* buffer, int32_t row_bytes);
