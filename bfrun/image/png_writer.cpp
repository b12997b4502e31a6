#include "bfrun/image/png_writer.h"

#include <spng.h>

#include <algorithm>

PngWriter::PngWriter(ByteSink& sink) : sink_(sink) {}

PngWriter::~PngWriter() {
    if (ctx_ != nullptr) spng_ctx_free(ctx_);
}

int PngWriter::push(spng_ctx*, void* user, void* from, size_t length) {
    auto& writer = *static_cast<PngWriter*>(user);
    const auto* bytes = static_cast<const uint8_t*>(from);
    const bool written = writer.recompressor_ != nullptr
                             ? writer.recompressor_->write(bytes, length)
                             : writer.sink_.write(bytes, length);
    return written ? 0 : SPNG_IO_ERROR;
}

bool PngWriter::fail(int error, ImageError& failure) {
    if (error == SPNG_IO_ERROR && recompressor_ != nullptr) {
        if (recompressor_->out_of_memory())
            return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
        return image_fail(failure, ImageErrorKind::write_failed, recompressor_->error());
    }
    if (error == SPNG_IO_ERROR)
        return image_fail(failure, ImageErrorKind::write_failed, sink_.error);
    if (error == SPNG_EMEM)
        return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    return image_fail(failure, ImageErrorKind::write_failed,
                      std::string("cannot encode the image (") + spng_strerror(error) + ")");
}

// The carried chunks on one side of the image data, handed to libspng as chunks it writes as
// they are.
int PngWriter::set_chunks(const ImageMetadata& metadata, bool after_image_data) {
    chunks_.clear();
    for (const CarriedChunk& carried : metadata.chunks) {
        if (carried.after_image_data != after_image_data || carried.type.size() != 4) continue;
        spng_unknown_chunk chunk{};
        std::copy(carried.type.begin(), carried.type.end(), chunk.type);
        chunk.length = carried.data.size();
        chunk.data = const_cast<uint8_t*>(carried.data.data());
        chunk.location = after_image_data ? SPNG_AFTER_IDAT : SPNG_AFTER_IHDR;
        chunks_.push_back(chunk);
    }
    if (chunks_.empty()) return 0;
    return spng_set_unknown_chunks(ctx_, chunks_.data(), static_cast<uint32_t>(chunks_.size()));
}

bool PngWriter::start(uint32_t width, uint32_t height, int channels, int bits, int compression,
                      int threads, const ImageMetadata& metadata, ImageError& failure) {
    // libspng filters the rows (the filter choice set explicitly keeps adaptive filtering at
    // level 0) and stores them; the recompressor deflates them again. Levels 1..9 are
    // libdeflate's 2..10, each no larger than zlib's level asked for was on the bench's
    // 4000 x 3000 image, and the default on all the bench's images (docs/benchmarks.md).
    if (compression > 0)
        recompressor_ = std::make_unique<IdatRecompressor>(sink_, compression + 1, threads);
    ctx_ = spng_ctx_new(SPNG_CTX_ENCODER);
    if (ctx_ == nullptr) return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    spng_ihdr ihdr{};
    ihdr.width = width;
    ihdr.height = height;
    ihdr.bit_depth = static_cast<uint8_t>(bits);
    ihdr.color_type = static_cast<uint8_t>(channels == 2 ? SPNG_COLOR_TYPE_GRAYSCALE_ALPHA
                                                         : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
    int error = spng_set_png_stream(ctx_, push, this);
    if (error == 0) error = spng_set_ihdr(ctx_, &ihdr);
    if (error == 0)
        error = spng_set_option(ctx_, SPNG_IMG_COMPRESSION_LEVEL,
                                recompressor_ != nullptr ? 0 : compression);
    if (error == 0) error = spng_set_option(ctx_, SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_ALL);
    spng_phys phys{metadata.pixels_per_unit_x, metadata.pixels_per_unit_y, metadata.unit};
    // A resolution PNG cannot hold (past 2^31 - 1 a unit) is left out.
    if (error == 0 && metadata.has_resolution && metadata.unit <= 1 && phys.ppu_x <= 0x7FFFFFFF &&
        phys.ppu_y <= 0x7FFFFFFF)
        error = spng_set_phys(ctx_, &phys);
    if (error == 0) error = set_chunks(metadata, false);
    if (error == 0)
        error = spng_encode_image(ctx_, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE);
    if (error != 0) return fail(error, failure);
    row_bytes_ = size_t{width} * channels * (bits / 8);
    height_ = height;
    return true;
}

bool PngWriter::write_row(const uint8_t* row, ImageError& failure) {
    if (rows_written_ >= height_)
        return image_fail(failure, ImageErrorKind::write_failed, "more rows than the image has");
    // libspng takes the row as a mutable pointer but only reads it.
    const int error = spng_encode_row(ctx_, const_cast<uint8_t*>(row), row_bytes_);
    if (error != 0 && error != SPNG_EOI) return fail(error, failure);
    ++rows_written_;
    return true;
}

bool PngWriter::finish(const ImageMetadata& metadata, ImageError& failure) {
    if (rows_written_ != height_ || height_ == 0)
        return image_fail(failure, ImageErrorKind::write_failed,
                          "the image was not written in full");
    int error = set_chunks(metadata, true);
    if (error == 0) error = spng_encode_chunks(ctx_);
    if (error != 0) return fail(error, failure);
    finished_ = true;
    return true;
}
