#include "bfrun/image/oriented_reader.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "bfrun/image/orientation.h"
#include "bfrun/image/tiff_directories.h"

OrientedReader::OrientedReader(std::unique_ptr<ImageReader> inner) : inner_(std::move(inner)) {}

bool OrientedReader::open(const ReadLimits& limits, ImageError& failure) {
    ReadLimits either_way = limits;
    either_way.max_width = either_way.max_height = std::max(limits.max_width, limits.max_height);
    if (!inner_->open(either_way, failure)) return false;
    layout_ = inner_->layout();
    const uint16_t orientation = inner_->metadata().orientation;
    if (!layout_.cmyk && orientation >= 2 && orientation <= 8) orientation_ = orientation;
    if (orientation_swaps_sides(orientation_)) {
        std::swap(layout_.width, layout_.height);
        layout_.row_bytes = size_t{layout_.width} * layout_.channels * (layout_.bits / 8);
    }
    if (orientation_ != 1) layout_.interlaced = true;
    take_metadata();
    return within_read_limits(layout_.width, layout_.height, limits, failure);
}

void OrientedReader::take_metadata() {
    metadata_ = inner_->metadata();
    warnings_ = inner_->warnings();
    if (orientation_ == 1) return;
    metadata_.orientation = 1;
    if (orientation_swaps_sides(orientation_))
        std::swap(metadata_.pixels_per_unit_x, metadata_.pixels_per_unit_y);
    for (CarriedChunk& chunk : metadata_.chunks)
        if (chunk.type == "eXIf") set_exif_orientation_normal(chunk.data);
}

bool OrientedReader::read_row(uint8_t* row, ImageError& failure) {
    if (orientation_ != 1)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "an image turned upright is read whole");
    return inner_->read_row(row, failure);
}

bool OrientedReader::read_image(uint8_t* image, ImageError& failure) {
    const ImageLayout& stored = inner_->layout();
    const size_t pixel_bytes = static_cast<size_t>(stored.channels) * (stored.bits / 8);
    if (orientation_ <= 4) {
        if (!inner_->read_image(image, failure)) return false;
        orient_in_place(image, stored.width, stored.height, pixel_bytes, orientation_);
        return true;
    }
    std::vector<uint8_t> read;
    try {
        read.resize(stored.row_bytes * stored.height);
    } catch (const std::bad_alloc&) {
        return image_fail(failure, ImageErrorKind::out_of_memory,
                          "out of memory (turning the image upright holds it twice)");
    }
    if (!inner_->read_image(read.data(), failure)) return false;
    orient_pixels(read.data(), stored.width, stored.height, pixel_bytes, orientation_, image);
    return true;
}

bool OrientedReader::finish(ImageError& failure) {
    const bool finished = inner_->finish(failure);
    take_metadata(); // with what came after the image data
    return finished;
}

std::unique_ptr<ImageReader> upright_reader(std::unique_ptr<ImageReader> inner,
                                            bool keep_orientation) {
    if (inner == nullptr || keep_orientation) return inner;
    return std::make_unique<OrientedReader>(std::move(inner));
}
