#include "runner/image/image_reader.h"

#include <cstring>

#include "runner/image/png_reader.h"

bool ImageReader::read_image(uint8_t* image, ImageError& failure) {
    for (uint32_t y = 0; y < layout_.height; ++y)
        if (!read_row(image + size_t{y} * layout_.row_bytes, failure)) return false;
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

std::unique_ptr<ImageReader> make_image_reader(ByteSource& source, ImageError& failure) {
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
    switch (image_format_of(head, got)) {
    case ImageFormat::png:
        return std::make_unique<PngReader>(source);
    case ImageFormat::jpeg:
    case ImageFormat::tiff:
    case ImageFormat::unknown:
        break;
    }
    image_fail(failure, ImageErrorKind::bad_input, "not a PNG, JPEG or TIFF file");
    return nullptr;
}
