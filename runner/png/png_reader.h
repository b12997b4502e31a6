// Reading a PNG file row by row through libspng, over any byte source (a file, or memory for
// the tests and a fuzzer). Every chunk's CRC and the image data's Adler-32 are checked, the
// size limits apply before anything is decoded, and every failure becomes one line naming what
// is wrong and, where known, the chunk and byte offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runner/png/byte_streams.h"
#include "runner/png/png_error.h"
#include "runner/png/png_stream_check.h"

struct spng_ctx;

// Ancillary chunks (an ICC profile, Exif, text) are kept to this, each and in all.
constexpr size_t kChunkSizeLimit = size_t{16} << 20;
constexpr size_t kChunkCacheLimit = size_t{64} << 20;

struct ReadLimits {
    uint32_t max_width = 0x7FFFFFFF;
    uint32_t max_height = 0x7FFFFFFF;
    const char* size_limit_owner = "bfrun accepts"; // "... is larger than the module accepts"
    uint64_t max_pixels = UINT64_MAX;
};

// The rows as decoded: always with alpha (grey + alpha or RGBA), 8 or 16 bits, 16-bit samples
// in the machine's byte order. Palettes are expanded and tRNS becomes alpha; grey below 8 bits
// is scaled up to 8. A palette index past the end of PLTE is opaque black (libspng's rule).
struct PngLayout {
    uint32_t width = 0, height = 0;
    int channels = 0; // 2 or 4
    int bits = 0;     // 8 or 16
    bool interlaced = false;
    size_t row_bytes = 0;
};

class PngReader {
  public:
    explicit PngReader(ByteSource& source);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // Reads the header and the chunks before the image data.
    bool open(const ReadLimits& limits, PngError& failure);
    const PngLayout& layout() const { return layout_; }

    // The next row, top to bottom; a file that is not interlaced only.
    bool read_row(uint8_t* row, PngError& failure);
    // The whole image, rows layout().row_bytes apart.
    bool read_image(uint8_t* image, PngError& failure);
    // After the last row: the chunks up to IEND, and the image data's own check.
    bool finish(PngError& failure);

  private:
    static int pull(spng_ctx* ctx, void* user, void* to, size_t length);
    bool fail(int error, PngError& failure);

    ByteSource& source_;
    spng_ctx* ctx_ = nullptr;
    PngStreamCheck check_;
    PngLayout layout_;
    ReadLimits limits_;
    uint32_t rows_read_ = 0;
    bool check_failed_ = false;
};
