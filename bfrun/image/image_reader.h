// What every image reader gives the code above it: the layout of the rows it decodes, the rows
// top to bottom or the whole image at once, what of the file's metadata bfrun carries into its
// output, and warnings for what it dropped; for a file of several pages (a TIFF's directories),
// how many there are (count_image_pages), each page read by a reader of its own. Which reader reads
// a file is decided by the file's first bytes, never by its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bfrun/image/byte_streams.h"
#include "bfrun/image/image_error.h"
#include "bfrun/image/image_formats.h"

struct ReadLimits {
    uint32_t max_width = 0x7FFFFFFF;
    uint32_t max_height = 0x7FFFFFFF;
    const char* size_limit_owner = "bfrun accepts"; // "... is larger than the module accepts"
    uint64_t max_pixels = UINT64_MAX;
    // The most a reader's library may allocate besides the rows it gives: libjpeg's
    // coefficients of a progressive JPEG, which it holds whole; one strip or one row of tiles
    // of a TIFF.
    uint64_t max_decoder_bytes = uint64_t{1} << 30;
};

// The size checks of every reader before anything is decoded: width and height within the
// limits, the pixels within --max-pixels; false with a too_large failure that says which.
bool within_read_limits(uint32_t width, uint32_t height, const ReadLimits& limits,
                        ImageError& failure);

// The rows as decoded: always with alpha (grey + alpha or RGBA, opaque where the file has no
// alpha), 8 or 16 bits, 16-bit samples in the machine's byte order. A CMYK file is described
// (cmyk set, channels 4) but not decoded: the module is told a CMYK document and refuses it.
struct ImageLayout {
    uint32_t width = 0, height = 0;
    int channels = 0;        // 2 or 4
    int bits = 0;            // 8 or 16
    bool interlaced = false; // rows come only as a whole image (read_image)
    bool cmyk = false;
    size_t row_bytes = 0;
};

// A chunk carried into the output PNG as it was read: text, tIME, eXIf.
struct CarriedChunk {
    std::string type; // four letters
    std::vector<uint8_t> data;
    bool after_image_data = false; // written after IDAT, where the input had it
};

struct ImageMetadata {
    // The pHYs fields: pixels per unit across and down; unit 1 is the metre, 0 an aspect only.
    bool has_resolution = false;
    uint32_t pixels_per_unit_x = 0, pixels_per_unit_y = 0;
    uint8_t unit = 0;
    // How the stored rows are to be turned to be seen upright, as Exif's and TIFF's
    // Orientation tag (274) says: 1 (as stored) to 8; 1 where the file says nothing valid. A
    // PNG's is always 1 (its eXIf is carried, not read).
    uint16_t orientation = 1;
    std::vector<CarriedChunk> chunks;
};

class ImageReader {
  public:
    virtual ~ImageReader() = default;

    // Reads the header and what comes before the image data; the layout and the metadata
    // found so far are known after it.
    virtual bool open(const ReadLimits& limits, ImageError& failure) = 0;
    const ImageLayout& layout() const { return layout_; }
    const ImageMetadata& metadata() const { return metadata_; }
    // One line each, for what was read past or dropped (a damaged ancillary chunk).
    const std::vector<std::string>& warnings() const { return warnings_; }

    // The next row, top to bottom; not for an interlaced layout.
    virtual bool read_row(uint8_t* row, ImageError& failure) = 0;
    // The whole image, rows layout().row_bytes apart; by default row after row.
    virtual bool read_image(uint8_t* image, ImageError& failure);
    // After the last row: the rest of the file, and its checks.
    virtual bool finish(ImageError& failure) = 0;

  protected:
    ImageLayout layout_;
    ImageMetadata metadata_;
    std::vector<std::string> warnings_;
};

// From the first bytes of a file (8 are enough; fewer give unknown).
ImageFormat image_format_of(const uint8_t* bytes, size_t size);

// The reader for what `source` holds, the source back at its first byte; null with a
// bad_input failure naming the formats of kImageFormats for anything else. `page` (from 0) is
// the page its open() reads; past 0 only a TIFF has one, which open() refuses when the file
// lacks it.
std::unique_ptr<ImageReader> make_image_reader(ByteSource& source, ImageError& failure,
                                               uint32_t page = 0);

// The pages of the file `source` holds, the source back at its first byte: for a TIFF the
// directories in its chain (count_tiff_pages); 1 for anything else, which its reader checks
// when it runs. False, with pages 0 and a failure, for a TIFF whose chain is damaged or too
// long, or a source that cannot be read.
bool count_image_pages(ByteSource& source, uint32_t& pages, ImageError& failure);
