// A reader over another that gives its image upright, as the file's orientation says
// (ImageMetadata::orientation, orientation.h). An image to turn is read whole from the inner
// reader, turned and given whole (the layout says interlaced); one stored upright, or a CMYK
// one (not decoded), is passed through row by row. The metadata then says what the pixels are:
// orientation 1, the pHYs across and down swapped with the sides, and the Orientation of a
// carried Exif block (eXIf) set to 1.
#pragma once

#include <memory>

#include "bfrun/image/image_reader.h"

class OrientedReader : public ImageReader {
  public:
    explicit OrientedReader(std::unique_ptr<ImageReader> inner);

    // The size limits apply to the upright image: the inner reader is given the larger of the
    // width and height limits for both, as it cannot know which way its sides will go.
    bool open(const ReadLimits& limits, ImageError& failure) override;
    bool read_row(uint8_t* row, ImageError& failure) override;
    // For an image to turn: a mirror, flip or 180 degrees in `image` itself; the others read
    // into a second buffer of the same size, out of memory where it cannot be had.
    bool read_image(uint8_t* image, ImageError& failure) override;
    bool finish(ImageError& failure) override;

  private:
    void take_metadata();

    std::unique_ptr<ImageReader> inner_;
    uint16_t orientation_ = 1; // the turn given to the pixels
};

// The reader to use: `inner` itself with keep_orientation (--keep-orientation) or null, else
// the reader that turns it upright.
std::unique_ptr<ImageReader> upright_reader(std::unique_ptr<ImageReader> inner,
                                            bool keep_orientation);
