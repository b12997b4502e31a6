#include "bfrun/image/image_reader.h"

#include <cstring>

#include "bfrun/image/jpeg_reader.h"
#include "bfrun/image/png_reader.h"
#include "bfrun/image/tiff_reader.h"

bool ImageReader::read_image(uint8_t* image, ImageError& failure) {
    for (uint32_t y = 0; y < layout_.height; ++y)
        if (!read_row(image + size_t{y} * layout_.row_bytes, failure)) return false;
    return true;
}

bool within_read_limits(uint32_t width, uint32_t height, const ReadLimits& limits,
                        ImageError& failure) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width > limits.max_width || height > limits.max_height)
        return image_fail(failure, ImageErrorKind::too_large,
                          "the image (" + size + ") is larger than " + limits.size_limit_owner +
                              " (" + std::to_string(limits.max_width) + " x " +
                              std::to_string(limits.max_height) + ")");
    const uint64_t pixels = uint64_t{width} * height;
    if (pixels > limits.max_pixels)
        return image_fail(failure, ImageErrorKind::too_large,
                          "the image (" + size + ") has " + std::to_string(pixels) +
                              " pixels, more than the limit of " +
                              std::to_string(limits.max_pixels) + " (--max-pixels)");
    return true;
}

ImageFormat image_format_of(const uint8_t* bytes, size_t size) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(bytes, png, 8) == 0) return ImageFormat::png;
    // SOI and the first marker's FF.
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return ImageFormat::jpeg;
    // Classic TIFF (42) and BigTIFF (43), little- and big-endian.
    if (size >= 4 && ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[3] == 0 &&
                       (bytes[2] == 42 || bytes[2] == 43)) ||
                      (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 &&
                       (bytes[3] == 42 || bytes[3] == 43))))
        return ImageFormat::tiff;
    return ImageFormat::unknown;
}

std::unique_ptr<ImageReader> make_image_reader(ByteSource& source, ImageError& failure,
                                               uint32_t page) {
    uint8_t head[8];
    const size_t got = source.read(head, sizeof head);
    if (!source.error.empty()) {
        image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source.error);
        return nullptr;
    }
    if (!source.rewind()) {
        image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source.error);
        return nullptr;
    }
    if (got == 0) {
        image_fail(failure, ImageErrorKind::bad_input, "the file is empty");
        return nullptr;
    }
    const ImageFormat format = image_format_of(head, got);
    if (page > 0 && (format == ImageFormat::png || format == ImageFormat::jpeg)) {
        image_fail(failure, ImageErrorKind::bad_input,
                   std::string(format == ImageFormat::png ? "a PNG" : "a JPEG") +
                       " holds one page, so no page " + std::to_string(page + 1));
        return nullptr;
    }
    switch (format) {
    case ImageFormat::png:
        return std::make_unique<PngReader>(source);
    case ImageFormat::jpeg:
        return std::make_unique<JpegReader>(source);
    case ImageFormat::tiff:
        return std::make_unique<TiffReader>(source, page);
    case ImageFormat::unknown:
        break;
    }
    image_fail(failure, ImageErrorKind::bad_input, "not a " + image_format_list("or") + " file");
    return nullptr;
}

bool count_image_pages(ByteSource& source, uint32_t& pages, ImageError& failure) {
    pages = 0;
    uint8_t head[8];
    const size_t got = source.read(head, sizeof head);
    if (!source.error.empty() || !source.rewind())
        return image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source.error);
    if (image_format_of(head, got) == ImageFormat::tiff)
        return count_tiff_pages(source, pages, failure);
    pages = 1;
    return true;
}
