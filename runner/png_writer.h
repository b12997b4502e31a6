// Writing a PNG file row by row through libspng: grey + alpha or RGBA, 8 or 16 bits (16-bit
// samples in the machine's byte order), not interlaced, zlib at the chosen level with adaptive
// row filters. Each row is compressed and passed to the sink as soon as it is given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runner/byte_streams.h"
#include "runner/outcome.h"

struct spng_ctx;

constexpr int kDefaultCompression = 6;

class PngWriter {
  public:
    explicit PngWriter(ByteSink& sink);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    bool start(uint32_t width, uint32_t height, int channels, int bits, int compression,
               Failure& failure);
    // The next row, top to bottom; after the last one the file is complete.
    bool write_row(const uint8_t* row, Failure& failure);
    bool complete() const { return rows_written_ == height_ && height_ > 0; }

  private:
    static int push(spng_ctx* ctx, void* user, void* from, size_t length);
    bool fail(int error, Failure& failure);

    ByteSink& sink_;
    spng_ctx* ctx_ = nullptr;
    size_t row_bytes_ = 0;
    uint32_t height_ = 0;
    uint32_t rows_written_ = 0;
};
