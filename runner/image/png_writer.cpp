#include "runner/image/png_writer.h"

#include <spng.h>

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

bool PngWriter::start(uint32_t width, uint32_t height, int channels, int bits, int compression,
                      int threads, ImageError& failure) {
    // libspng filters the rows (the filter choice set explicitly keeps adaptive filtering at
    // level 0) and stores them; the recompressor deflates them again at the level asked for.
    if (compression > 0)
        recompressor_ = std::make_unique<IdatRecompressor>(sink_, compression, threads);
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
    if (error == 0)
        error = spng_encode_image(ctx_, nullptr, 0, SPNG_FMT_PNG,
                                  SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
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
