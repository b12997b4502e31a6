// --ink between the module and the writer (ink.h): each row the module is done with coloured
// on its way out. For keep, the rows as the module saw them are needed after the module wrote
// over them in the row store, so a copy of each row is kept from its reading to its writing:
// the rows in flight, that is the row store's window, or the whole image where the store holds
// it whole. Rows are read and written top to bottom, each read before it is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/image/ink.h"

class InkRows {
  public:
    // `rect` is the filter rectangle; `output_channels` as output_form.h decided.
    InkRows(const Ink& ink, const ImageLayout& layout, int output_channels, const VRect& rect);

    size_t output_row_bytes() const { return out_.size(); }
    // Rows as read (and levelled by --paper), `count` of them packed from `rows`.
    void keep_originals(const uint8_t* rows, size_t count);
    // The module's next row, coloured; valid until the next call.
    const uint8_t* colour(const uint8_t* row);

  private:
    Ink ink_;
    ImageLayout layout_;
    int output_channels_;
    VRect rect_;
    uint32_t next_row_ = 0;
    std::deque<std::vector<uint8_t>> originals_;
    std::vector<std::vector<uint8_t>> spare_; // row buffers to use again
    std::vector<uint8_t> out_;
};
