// Writing a PNG file row by row through libspng: grey + alpha or RGBA, 8 or 16 bits (16-bit
// samples in the machine's byte order), not interlaced, zlib at the chosen level with adaptive
// row filters. Each row is filtered as soon as it is given; at level 0 libspng's stream goes
// to the sink as it is, at other levels the filtered rows are compressed a piece at a time on
// several threads (idat_recompressor.h) and reach the sink a piece at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "runner/image/byte_streams.h"
#include "runner/image/idat_recompressor.h"
#include "runner/image/image_error.h"

struct spng_ctx;

constexpr int kDefaultCompression = 6;

class PngWriter {
  public:
    explicit PngWriter(ByteSink& sink);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // `threads` compress the image data at levels 1..9; the file is the same whatever their
    // number.
    bool start(uint32_t width, uint32_t height, int channels, int bits, int compression,
               int threads, ImageError& failure);
    // The next row, top to bottom; after the last one the file is complete.
    bool write_row(const uint8_t* row, ImageError& failure);
    bool complete() const { return rows_written_ == height_ && height_ > 0; }

  private:
    static int push(spng_ctx* ctx, void* user, void* from, size_t length);
    bool fail(int error, ImageError& failure);

    ByteSink& sink_;
    std::unique_ptr<IdatRecompressor> recompressor_; // at levels 1..9
    spng_ctx* ctx_ = nullptr;
    size_t row_bytes_ = 0;
    uint32_t height_ = 0;
    uint32_t rows_written_ = 0;
};
