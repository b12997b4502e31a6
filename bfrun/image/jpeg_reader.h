// Reading a JPEG file row by row through libjpeg (libjpeg-turbo's libjpeg 6b API), over any
// byte source. Baseline and progressive files, Huffman or arithmetic coded: grey becomes
// grey + alpha and colour RGBA, 8 bits, opaque. The size limits apply once the header is read,
// before anything is decoded, and libjpeg's memory is bounded by the limits (a progressive
// file's coefficients are held whole). libjpeg fills what a damaged or cut file lacks with
// grey and goes on after a warning: here its first warning refuses the file, in libjpeg's own
// words. A CMYK or YCCK file (Adobe's) is described but not decoded. The resolution is JFIF's
// density, or the Exif block's where JFIF gives no unit; the Exif block (APP1) is carried as it
// is, so the pixels stay in stored order and the orientation travels in it.
#pragma once

#include <cstdint>
#include <memory>

#include "bfrun/image/image_reader.h"

// libjpeg's state and the reader's side of its callbacks (jpeg_reader.cpp).
struct JpegDecoder;

// A progressive file with more scans than this is refused: each scan is a pass over the whole
// image's coefficients, and real files have a dozen.
constexpr int kJpegScanLimit = 1000;

class JpegReader : public ImageReader {
  public:
    explicit JpegReader(ByteSource& source);
    ~JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    bool open(const ReadLimits& limits, ImageError& failure) override;
    bool read_row(uint8_t* row, ImageError& failure) override;
    // The rest of the file up to its end marker.
    bool finish(ImageError& failure) override;

  private:
    bool fail(ImageError& failure);
    void read_metadata();

    ByteSource& source_;
    std::unique_ptr<JpegDecoder> decoder_;
    uint64_t memory_limit_ = 0;
    uint32_t rows_read_ = 0;
    bool failed_ = false;
};
