// Reading a PNG file row by row through libspng, over any byte source (a file, or memory for
// the tests and a fuzzer). Every chunk's CRC and the image data's Adler-32 are checked, the
// size limits apply before anything is decoded, and every failure becomes one line naming what
// is wrong and, where known, the chunk and byte offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runner/image/image_reader.h"
#include "runner/image/png_stream_check.h"

struct spng_ctx;

// Ancillary chunks (an ICC profile, Exif, text) are kept to this, each and in all.
constexpr size_t kChunkSizeLimit = size_t{16} << 20;
constexpr size_t kChunkCacheLimit = size_t{64} << 20;

// Palettes are expanded and tRNS becomes alpha; grey below 8 bits is scaled up to 8. A palette
// index past the end of PLTE is opaque black (libspng's rule).
class PngReader : public ImageReader {
  public:
    explicit PngReader(ByteSource& source);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool open(const ReadLimits& limits, ImageError& failure) override;
    bool read_row(uint8_t* row, ImageError& failure) override;
    bool read_image(uint8_t* image, ImageError& failure) override;
    // The chunks up to IEND, and the image data's own check.
    bool finish(ImageError& failure) override;

  private:
    static int pull(spng_ctx* ctx, void* user, void* to, size_t length);
    bool fail(int error, ImageError& failure);

    ByteSource& source_;
    spng_ctx* ctx_ = nullptr;
    PngStreamCheck check_;
    ReadLimits limits_;
    uint32_t rows_read_ = 0;
    bool check_failed_ = false;
};
