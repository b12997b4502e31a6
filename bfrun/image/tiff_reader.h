// Reading one image (page) of a TIFF file row by row through libtiff, over any byte source that
// can seek: the first directory's image unless another page is asked for. Grey (black or white
// at 0, the latter inverted), palette and RGB, 8 or 16 bits (grey and palette 1, 2 or 4 too,
// scaled to 8 bits as PNG's are; palettes give 8-bit RGB), in strips or tiles, samples
// interleaved or in planes, uncompressed or compressed with LZW, Deflate, PackBits, JPEG, the fax
// codecs (CCITT RLE, RLE/W, Group 3 and 4), NeXT or ThunderScan, as far as the libtiff linked has
// them. An alpha sample is kept (associated alpha is un-premultiplied), other extra samples are
// dropped, and an opaque alpha is added where there is none. A CMYK file is described but not
// decoded; floating-point, signed, 32-bit, L*a*b*, YCbCr other than JPEG's and other kinds are
// refused with a line saying what the file is. Memory stays within one strip or one row of
// tiles, whose size is checked against the limits first. Any libtiff error, and any warning
// while the image data is decoded, refuses the file; warnings about the directory (an unknown
// tag) do not, unless libtiff had to guess where the image data is. Uncompressed data shorter
// than its rows need is refused before it is read, as libtiff would read on past its end. The
// resolution is read as the file stores it (tiff_directories.h).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "bfrun/image/image_reader.h"

struct tiff;

// The most pages count_tiff_pages counts; a file with more is refused.
constexpr uint32_t kTiffPageLimit = 10000;

// The directories in the chain of the TIFF `source` holds, as libtiff follows it, the source
// back at its first byte; a chain that loops, cannot be read to its end or holds more than
// kTiffPageLimit is refused.
bool count_tiff_pages(ByteSource& source, uint32_t& pages, ImageError& failure);

class TiffReader : public ImageReader {
  public:
    // `page` from 0, the first directory's image; open() refuses a page the file does not have.
    explicit TiffReader(ByteSource& source, uint32_t page = 0);
    ~TiffReader();
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;

    bool open(const ReadLimits& limits, ImageError& failure) override;
    bool read_row(uint8_t* row, ImageError& failure) override;
    bool finish(ImageError& failure) override;

    // libtiff's callbacks (tiff_reader.cpp).
    struct Callbacks;

  private:
    bool describe(const ReadLimits& limits, ImageError& failure);
    bool refuse(const std::string& what, ImageError& failure);
    bool fail(const std::string& doing, ImageError& failure);
    bool read_band(uint32_t top, ImageError& failure);
    bool holds_its_rows(uint32_t strile, uint32_t y, uint32_t x, ImageError& failure);
    void convert(uint32_t y, uint8_t* row) const;
    void read_resolution();

    ByteSource& source_;
    const uint32_t page_;
    tiff* tiff_ = nullptr;
    uint64_t position_ = 0;
    // The first libtiff error, or a warning that means lost data; whether the source failed.
    std::string problem_;
    bool source_failed_ = false;
    bool over_memory_limit_ = false;
    bool decoding_ = false;
    bool failed_ = false;
    uint64_t memory_limit_ = 0;

    // The file's image: its samples, where the colours and the alpha are, how it is stored.
    uint16_t bits_ = 0, samples_ = 0, colours_ = 0;
    int alpha_ = -1; // the sample that is alpha, or -1
    bool associated_ = false, min_is_white_ = false, palette_ = false;
    bool separate_ = false, tiled_ = false, uncompressed_ = false;
    std::vector<uint8_t> colour_map_; // r, g, b of each palette entry, 8 bits
    // The rows of one strip or one row of tiles, one buffer for each plane read (one in all
    // when samples are interleaved); for interleaved strips, the one row libtiff decodes.
    uint32_t band_rows_ = 0, tile_width_ = 0, rows_per_strip_ = 0;
    std::vector<std::vector<uint8_t>> band_;
    std::vector<uint8_t> tile_;
    size_t band_row_bytes_ = 0;
    uint32_t band_top_ = UINT32_MAX;
    uint32_t rows_read_ = 0;
    uint32_t strip_checked_ = UINT32_MAX; // interleaved strips: the last one holds_its_rows passed
};
