#pragma once

// What the fuzz targets of the readers (PNG, JPEG, TIFF) check: a reader on arbitrary bytes, in
// memory, read row by row (or at once when interlaced) to its end, as bfrun reads a file. Images
// are capped at 2^16 pixels and the libraries' own memory at 16 MiB, so no input costs much memory
// or time.
//
// Checked on every input, and the input aborts when one fails:
//   - a refused file gets a status and one printable line that says why;
//   - a file the reader takes has the layout the rows are made of (2 or 4 channels, 8 or 16
//     bits, rows of width x channels x bytes), within the limits;
//   - a file's pages are counted (at least one) or refused with one line.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bfrun/image/image_reader.h"
#include "bfrun/drive/exit_status.h"

namespace fuzz_checks {

constexpr uint64_t kMaxPixels = uint64_t{1} << 16;

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline void require_one_line(const ImageError& error) {
    const Failure failure = failure_from(error);
    require(failure.status != kExitDone && !failure.message.empty());
    for (char c : failure.message)
        require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

inline int read_to_the_end(ImageReader* reader) {
    ImageError failure;
    ReadLimits limits;
    limits.max_pixels = kMaxPixels;
    limits.max_decoder_bytes = uint64_t{16} << 20;
    if (!reader->open(limits, failure)) {
        require_one_line(failure);
        return 0;
    }
    const ImageLayout& layout = reader->layout();
    require(layout.channels == 2 || layout.channels == 4);
    require(layout.bits == 8 || layout.bits == 16);
    require(layout.width > 0 && layout.height > 0 &&
            uint64_t{layout.width} * layout.height <= kMaxPixels);
    require(layout.row_bytes == size_t{layout.width} * layout.channels * (layout.bits / 8));
    std::vector<uint8_t> rows(layout.row_bytes * layout.height);
    bool read = true;
    if (layout.interlaced) {
        read = reader->read_image(rows.data(), failure);
    } else {
        for (uint32_t y = 0; read && y < layout.height; ++y)
            read = reader->read_row(rows.data() + y * layout.row_bytes, failure);
    }
    if (!read || !reader->finish(failure)) require_one_line(failure);
    return 0;
}

// The pages are counted, or refused with one line.
inline void count_pages(ByteSource& source) {
    uint32_t pages = 0;
    ImageError counting;
    if (count_image_pages(source, pages, counting))
        require(pages >= 1);
    else
        require_one_line(counting);
}

} // namespace fuzz_checks
