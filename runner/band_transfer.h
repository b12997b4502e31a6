// Moving one band between the layer and the module's buffers: delivery with the colour
// composited over the filter case's matte, and write-back with the matte removed.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "runner/layer.h"
#include "runner/matting.h"

// A rectangle of the layer and the planes lo..hi of it that travel.
struct BandArea {
    VRect rect;
    int lo, hi;
};

// Copies the band from the layer into `out`, rows `row_bytes` apart.
void deliver_band(const Layer& layer, const BandArea& band, Matte matte, uint8_t* out,
                  int32_t row_bytes);

// Stores the pixels of `buffer` (rows `row_bytes` apart) that differ from `delivered` (the
// same band as it was handed over, rows packed), alpha first, then the colour with the matte
// removed at that alpha. A pixel handed back as delivered keeps its stored samples bit for
// bit, so a band served twice does not go through the matting round trip twice.
void write_back_band(Layer& layer, const BandArea& band, Matte matte, const uint8_t* buffer,
                     int32_t row_bytes, const uint8_t* delivered);
