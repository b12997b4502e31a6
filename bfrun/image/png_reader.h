// Reading a PNG file row by row through libspng, over any byte source (a file, or memory for
// the tests and a fuzzer). Every chunk's CRC and the image data's Adler-32 are checked, the
// size limits apply before anything is decoded, and every failure becomes one line naming what
// is wrong and, where known, the chunk and byte offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bfrun/image/image_reader.h"
#include "bfrun/image/png_stream_check.h"

struct spng_ctx;

// Palettes are expanded and tRNS becomes alpha; grey below 8 bits is scaled up to 8. A palette
// index past the end of PLTE is opaque black (libspng's rule). An ancillary chunk whose CRC is
// wrong is left out with a warning, as libpng does; critical chunks and the image data stay
// checked. pHYs gives the resolution; text, tIME and eXIf are carried as they are.
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
    void take_metadata();

    ByteSource& source_;
    spng_ctx* ctx_ = nullptr;
    PngStreamCheck check_;
    ReadLimits limits_;
    uint32_t rows_read_ = 0;
    bool check_failed_ = false;
    size_t chunks_taken_ = 0, warnings_taken_ = 0;
};
