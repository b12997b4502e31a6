// JPEG and TIFF files for the tests, written by libjpeg and libtiff themselves from samples the
// test chooses, and any file read back through make_image_reader.
#pragma once

#include <cstdint>
#include <vector>

#include "bfrun/image/image_reader.h"

struct TestJpeg {
    uint32_t width = 0, height = 0;
    int components = 3; // 1 grey, 3 RGB (stored as YCbCr), 4 CMYK (with Adobe's marker)
    bool progressive = false;
    int quality = 95;
    uint8_t density_unit = 0; // JFIF: 0 aspect only, 1 per inch, 2 per centimetre
    uint16_t x_density = 1, y_density = 1;
    std::vector<uint8_t> exif;    // an APP1 Exif block's payload after "Exif\0\0"
    std::vector<uint8_t> samples; // rows packed, `components` samples a pixel
};

std::vector<uint8_t> encode_test_jpeg(const TestJpeg& image);

// A grey JPEG of flat 8 x 8 blocks at quality 100, which decode within a step or two: `greys`
// row by row, `columns` blocks across.
TestJpeg grey_blocks(uint32_t columns, const std::vector<uint8_t>& greys);

// An Exif block's TIFF stream with these entries in IFD0, each value in the entry's field (a
// SHORT in its first two bytes); `first_directory` is where the header says IFD0 lies.
struct ExifEntry {
    uint16_t tag, type;
    uint32_t count, value;
};
std::vector<uint8_t> exif_ifd0(const std::vector<ExifEntry>& entries, bool big_endian = false,
                               uint32_t first_directory = 8);
// IFD0 with one Orientation (274) SHORT.
std::vector<uint8_t> exif_orientation(uint16_t value, bool big_endian = false);

// Tag values as libtiff writes them; 0 leaves a tag out.
struct TestTiff {
    uint32_t width = 0, height = 0;
    uint16_t photometric = 2; // 0 white is 0, 1 black is 0, 2 RGB, 3 palette, 5 CMYK
    uint16_t samples_per_pixel = 3, bits = 8;
    uint16_t extra_sample = 0; // the ExtraSamples kind of the sample after the colours
    uint16_t sample_format = 1;
    uint16_t compression = 1;
    uint32_t t4_options = 0; // Group 3: 1 for 2-D coding
    uint16_t fill_order = 0; // 2: the lowest bit first
    uint16_t planar = 1;     // 2: each sample in a plane of its own
    uint32_t tile = 0;       // tile width and length; 0 for strips
    uint32_t rows_per_strip = 0;
    float x_resolution = 0, y_resolution = 0;
    uint16_t resolution_unit = 0;
    uint16_t orientation = 0;
    std::vector<uint16_t> colour_map; // all reds, then greens, then blues
    std::vector<uint8_t> samples;     // rows interleaved and packed as TIFF stores them
    // Instead of the samples, the one strip coded as `compression` codes it, for the codecs
    // libtiff only decodes.
    std::vector<uint8_t> coded;
};

std::vector<uint8_t> encode_test_tiff(const TestTiff& t);
// One page after another, each a directory of its own.
std::vector<uint8_t> encode_test_tiff_pages(const std::vector<TestTiff>& pages);
// libtiff's own decoding of a page's rows (TIFFReadScanline), packed as the file stores them.
std::vector<uint8_t> libtiff_rows(const std::vector<uint8_t>& bytes, uint16_t page);
// Sets a SHORT tag of the first directory of a little-endian file, for values libtiff will not
// write (a compression it was built without).
void set_tiff_short(std::vector<uint8_t>& file, uint16_t tag, uint16_t value);
// Value `index` of a SHORT or LONG tag of the first directory of a little-endian file.
void set_tiff_number(std::vector<uint8_t>& file, uint16_t tag, size_t index, uint32_t value);
// The one RATIONAL of a tag of the first directory of a little-endian file.
void set_tiff_rational(std::vector<uint8_t>& file, uint16_t tag, uint32_t numerator,
                       uint32_t denominator);

// Reads the whole file (or a page of it) through the reader make_image_reader picks, row by
// row, then the end.
ImageError read_test_image(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples,
                           ImageLayout* layout = nullptr, const ReadLimits& limits = {},
                           ImageMetadata* metadata = nullptr, uint32_t page = 0);

// The same through the reader that turns the image upright (oriented_reader.h), the whole image
// at once where it says interlaced.
ImageError read_upright_test_image(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples,
                                   ImageLayout* layout = nullptr, ImageMetadata* metadata = nullptr,
                                   const ReadLimits& limits = {});
