// Writing a PNG file row by row through libspng: grey + alpha or RGBA, 8 or 16 bits (16-bit
// samples in the machine's byte order), not interlaced, deflated at the chosen level with
// adaptive row filters. Each row is filtered as soon as it is given; at level 0 libspng's
// stream goes to the sink as it is, at other levels the filtered rows are compressed by
// libdeflate a piece at a time on several threads (idat_recompressor.h) and reach the sink a
// piece at a time. The input's
// resolution goes into pHYs, and its carried chunks before or after the image data, where the
// input had them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bfrun/image/byte_streams.h"
#include "bfrun/image/idat_recompressor.h"
#include "bfrun/image/image_error.h"
#include "bfrun/image/image_reader.h"

struct spng_ctx;
struct spng_unknown_chunk;

constexpr int kDefaultCompression = 6;

class PngWriter {
  public:
    explicit PngWriter(ByteSink& sink);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // `threads` compress the image data at levels 1..9; the file is the same whatever their
    // number. The metadata's resolution and the chunks it has so far that came before the
    // image data are written before it.
    bool start(uint32_t width, uint32_t height, int channels, int bits, int compression,
               int threads, const ImageMetadata& metadata, ImageError& failure);
    // The next row, top to bottom.
    bool write_row(const uint8_t* row, ImageError& failure);
    // After the last row: the metadata's chunks that came after the image data, and IEND.
    bool finish(const ImageMetadata& metadata, ImageError& failure);
    bool complete() const { return finished_; }

  private:
    static int push(spng_ctx* ctx, void* user, void* from, size_t length);
    bool fail(int error, ImageError& failure);
    int set_chunks(const ImageMetadata& metadata, bool after_image_data);

    ByteSink& sink_;
    std::unique_ptr<IdatRecompressor> recompressor_; // at levels 1..9
    spng_ctx* ctx_ = nullptr;
    size_t row_bytes_ = 0;
    uint32_t height_ = 0;
    uint32_t rows_written_ = 0;
    bool finished_ = false;
    std::vector<spng_unknown_chunk> chunks_; // libspng writes them from here
};
