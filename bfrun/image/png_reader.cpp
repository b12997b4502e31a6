#include "bfrun/image/png_reader.h"

#include <spng.h>

#include "bfrun/image/big_endian.h"

PngReader::PngReader(ByteSource& source) : source_(source) {}

PngReader::~PngReader() {
    if (ctx_ != nullptr) spng_ctx_free(ctx_);
}

int PngReader::pull(spng_ctx*, void* user, void* to, size_t length) {
    auto& reader = *static_cast<PngReader*>(user);
    auto* bytes = static_cast<uint8_t*>(to);
    const size_t got = reader.source_.read(bytes, length);
    if (!reader.check_.take(bytes, got)) {
        reader.check_failed_ = true;
        return SPNG_IO_ERROR;
    }
    if (got == length) return 0;
    return reader.source_.error.empty() ? SPNG_IO_EOF : SPNG_IO_ERROR;
}

bool PngReader::fail(int error, ImageError& failure) {
    const PngHeaderFields& h = check_.header();
    const std::string size = std::to_string(h.width) + " x " + std::to_string(h.height);
    const std::string where = check_.where();
    if (check_failed_)
        return image_fail(failure,
                          check_.out_of_memory() ? ImageErrorKind::out_of_memory
                                                 : ImageErrorKind::bad_input,
                          check_.failure());
    // Before a whole header chunk: what PNG puts first is missing or cut.
    if (!h.seen && check_.position() > 8 && error != SPNG_IO_ERROR && error != SPNG_EMEM) {
        if (error == SPNG_IO_EOF)
            return image_fail(failure, ImageErrorKind::bad_input,
                              "the file ends inside its header chunk (IHDR), after byte " +
                                  std::to_string(check_.position()));
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the file does not begin with a header chunk (IHDR), as a PNG file must");
    }
    switch (error) {
    case SPNG_IO_EOF:
        if (check_.position() == 0)
            return image_fail(failure, ImageErrorKind::bad_input, "the file is empty");
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the file ends early, after byte " + std::to_string(check_.position()) +
                              " (in " + where + ")");
    case SPNG_IO_ERROR:
        return image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source_.error);
    case SPNG_ESIGNATURE:
        return image_fail(failure, ImageErrorKind::bad_input, "not a PNG file");
    case SPNG_ECHUNK_CRC:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the CRC of " + check_.last_checked() + " does not match its contents");
    case SPNG_EWIDTH:
    case SPNG_EHEIGHT:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the header declares an impossible size (" + size + ")");
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
        return image_fail(failure, ImageErrorKind::too_large,
                          "the image (" + size + ") is larger than " + limits_.size_limit_owner +
                              " (" + std::to_string(limits_.max_width) + " x " +
                              std::to_string(limits_.max_height) + ")");
    case SPNG_EBIT_DEPTH:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the header declares bit depth " + std::to_string(h.bit_depth) +
                              ", which colour type " + std::to_string(h.colour_type) +
                              " does not have");
    case SPNG_ECOLOR_TYPE:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the header declares colour type " + std::to_string(h.colour_type) +
                              ", which PNG does not have");
    case SPNG_EMEM:
        return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    case SPNG_ECHUNK_LIMITS:
        // libspng gives the limits' error for an empty chunk of a kind it keeps (eXIf) too:
        // that is damaged data, not too much of it.
        if (check_.chunk_empty())
            return image_fail(failure, ImageErrorKind::bad_input,
                              where +
                                  " is empty, where a chunk of its kind holds data (damaged data)");
        return image_fail(failure, ImageErrorKind::too_large,
                          where + " holds more than bfrun accepts for ancillary data (" +
                              std::to_string(kChunkSizeLimit >> 20) + " MiB a chunk, " +
                              std::to_string(kChunkCacheLimit >> 20) + " MiB in all)");
    case SPNG_EIDAT_TOO_SHORT:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the image data ends before the last row");
    case SPNG_EIDAT_STREAM:
    case SPNG_EZLIB:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the image data is damaged, in " + where);
    case SPNG_EFILTER:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "a row of the image data names an unknown filter (damaged data), in " +
                              where);
    case SPNG_ENOPLTE:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "a palette image without a palette (PLTE)");
    default:
        return image_fail(failure, ImageErrorKind::bad_input,
                          std::string("malformed PNG (") + spng_strerror(error) + "), in " + where);
    }
}

bool PngReader::open(const ReadLimits& limits, ImageError& failure) {
    limits_ = limits;
    ctx_ = spng_ctx_new(0);
    if (ctx_ == nullptr) return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    // libspng takes at most 2^31 - 1 either way.
    const uint32_t largest = 0x7FFFFFFF;
    spng_set_image_limits(ctx_, limits.max_width < largest ? limits.max_width : largest,
                          limits.max_height < largest ? limits.max_height : largest);
    spng_set_chunk_limits(ctx_, kChunkSizeLimit, kChunkCacheLimit);
    // A damaged ancillary chunk is left out (the stream check says which); a damaged critical
    // chunk is a damaged file.
    spng_set_crc_action(ctx_, SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
    spng_set_png_stream(ctx_, pull, this);

    spng_ihdr ihdr{};
    int error = spng_get_ihdr(ctx_, &ihdr);
    if (error != 0) return fail(error, failure);
    const uint64_t pixels = uint64_t{ihdr.width} * ihdr.height;
    if (pixels > limits.max_pixels)
        return image_fail(failure, ImageErrorKind::too_large,
                          "the image (" + std::to_string(ihdr.width) + " x " +
                              std::to_string(ihdr.height) + ") has " + std::to_string(pixels) +
                              " pixels, more than the limit of " +
                              std::to_string(limits.max_pixels) + " (--max-pixels)");

    const bool sixteen = ihdr.bit_depth == 16;
    const bool grey = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE ||
                      ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA;
    int format;
    if (ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA)
        format = SPNG_FMT_PNG; // already grey + alpha, 8 or 16 bits
    else if (grey)
        format = sixteen ? SPNG_FMT_GA16 : SPNG_FMT_GA8;
    else
        format = sixteen ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    error = spng_decode_image(ctx_, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE | SPNG_DECODE_TRNS);
    if (error != 0) return fail(error, failure);

    layout_.width = ihdr.width;
    layout_.height = ihdr.height;
    layout_.channels = grey ? 2 : 4;
    layout_.bits = sixteen ? 16 : 8;
    layout_.interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
    layout_.row_bytes = size_t{ihdr.width} * layout_.channels * (layout_.bits / 8);
    take_metadata();
    return true;
}

// What the stream check has kept since the last call: pHYs as the resolution (a unit past 1 is
// not one PNG has, and is dropped), the rest as chunks to carry.
void PngReader::take_metadata() {
    const std::vector<CarriedChunk>& carried = check_.carried();
    for (; chunks_taken_ < carried.size(); ++chunks_taken_) {
        const CarriedChunk& chunk = carried[chunks_taken_];
        if (chunk.type != "pHYs") {
            metadata_.chunks.push_back(chunk);
        } else if (chunk.data.size() == 9 && chunk.data[8] <= 1) {
            metadata_.has_resolution = true;
            metadata_.pixels_per_unit_x = read_big_endian32(chunk.data.data());
            metadata_.pixels_per_unit_y = read_big_endian32(chunk.data.data() + 4);
            metadata_.unit = chunk.data[8];
        }
    }
    const std::vector<std::string>& dropped = check_.dropped();
    for (; warnings_taken_ < dropped.size(); ++warnings_taken_)
        warnings_.push_back(dropped[warnings_taken_]);
}

bool PngReader::read_row(uint8_t* row, ImageError& failure) {
    if (layout_.interlaced || rows_read_ >= layout_.height)
        return image_fail(failure, ImageErrorKind::bad_input, "no more rows to read");
    const int error = spng_decode_row(ctx_, row, layout_.row_bytes);
    if (error != 0 && error != SPNG_EOI) return fail(error, failure);
    ++rows_read_;
    return true;
}

bool PngReader::read_image(uint8_t* image, ImageError& failure) {
    for (;;) {
        spng_row_info info{};
        int error = spng_get_row_info(ctx_, &info);
        if (error == SPNG_EOI) break;
        if (error != 0) return fail(error, failure);
        error = spng_decode_row(ctx_, image + size_t{info.row_num} * layout_.row_bytes,
                                layout_.row_bytes);
        if (error == SPNG_EOI) break;
        if (error != 0) return fail(error, failure);
    }
    rows_read_ = layout_.height;
    return true;
}

bool PngReader::finish(ImageError& failure) {
    const int error = spng_decode_chunks(ctx_);
    if (error != 0) return fail(error, failure);
    if (!check_.ended_with_iend())
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the file ends early, after byte " + std::to_string(check_.position()) +
                              " (in " + check_.where() + ")");
    std::string why;
    if (!check_.image_data_complete(why))
        return image_fail(failure, ImageErrorKind::bad_input, why);
    take_metadata();
    return true;
}
