#include "runner/png_io.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t read_big_endian(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

void append_big_endian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void append_chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
    append_big_endian(out, static_cast<uint32_t>(size));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size > 0) out.insert(out.end(), data, data + size);
    append_big_endian(out, stbiw__crc32(out.data() + start, static_cast<int>(size + 4)));
}

bool encode_png16(const PngImage& image, std::vector<uint8_t>& file) {
    static const uint8_t colour_types[] = {0, 0, 4, 2, 6};
    const size_t row_samples = static_cast<size_t>(image.width) * image.channels;
    const size_t row_bytes = 1 + row_samples * 2;
    if (row_bytes * static_cast<size_t>(image.height) > INT_MAX) return false;
    // Rows with filter type 0 and big-endian samples.
    std::vector<uint8_t> raw;
    raw.reserve(row_bytes * static_cast<size_t>(image.height));
    for (int32_t y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const uint16_t* row = image.samples.data() + static_cast<size_t>(y) * row_samples;
        for (size_t i = 0; i < row_samples; ++i) {
            raw.push_back(static_cast<uint8_t>(row[i] >> 8));
            raw.push_back(static_cast<uint8_t>(row[i]));
        }
    }
    int packed_size = 0;
    unsigned char* packed = stbi_zlib_compress(raw.data(), static_cast<int>(raw.size()),
                                               &packed_size, stbi_write_png_compression_level);
    if (packed == nullptr) return false;

    uint8_t header[13];
    std::vector<uint8_t> fields;
    append_big_endian(fields, static_cast<uint32_t>(image.width));
    append_big_endian(fields, static_cast<uint32_t>(image.height));
    std::memcpy(header, fields.data(), 8);
    header[8] = 16;
    header[9] = colour_types[image.channels];
    header[10] = header[11] = header[12] = 0;

    file.assign(kSignature, kSignature + 8);
    append_chunk(file, "IHDR", header, sizeof header);
    append_chunk(file, "IDAT", packed, static_cast<size_t>(packed_size));
    append_chunk(file, "IEND", nullptr, 0);
    STBIW_FREE(packed);
    return true;
}

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

bool png_dimensions(const std::vector<uint8_t>& file, uint32_t& width, uint32_t& height) {
    // Signature, then the IHDR chunk: length, type, width, height.
    if (file.size() < 24 || std::memcmp(file.data(), kSignature, 8) != 0 ||
        std::memcmp(file.data() + 12, "IHDR", 4) != 0)
        return false;
    width = read_big_endian(file.data() + 16);
    height = read_big_endian(file.data() + 20);
    return true;
}

bool decode_png(const std::vector<uint8_t>& file, PngImage& image, std::string& error) {
    uint32_t width = 0, height = 0;
    if (!png_dimensions(file, width, height)) {
        error = "not a PNG file";
        return false;
    }
    if (width == 0 || height == 0) {
        error = "the image has no pixels (" + std::to_string(width) + " x " +
                std::to_string(height) + ")";
        return false;
    }
    if (file.size() > INT_MAX) {
        error = "file too large";
        return false;
    }
    const auto* bytes = file.data();
    const int size = static_cast<int>(file.size());
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, size, &w, &h, &channels)) {
        error = std::string("unreadable or truncated PNG (") + stbi_failure_reason() + ")";
        return false;
    }
    const bool sixteen = stbi_is_16_bit_from_memory(bytes, size) != 0;
    image.samples.clear();
    if (sixteen) {
        stbi_us* data = stbi_load_16_from_memory(bytes, size, &w, &h, &channels, 0);
        if (data == nullptr) {
            error = std::string("unreadable or truncated PNG (") + stbi_failure_reason() + ")";
            return false;
        }
        image.samples.assign(data, data + static_cast<size_t>(w) * h * channels);
        stbi_image_free(data);
    } else {
        stbi_uc* data = stbi_load_from_memory(bytes, size, &w, &h, &channels, 0);
        if (data == nullptr) {
            error = std::string("unreadable or truncated PNG (") + stbi_failure_reason() + ")";
            return false;
        }
        image.samples.assign(data, data + static_cast<size_t>(w) * h * channels);
        stbi_image_free(data);
    }
    image.width = w;
    image.height = h;
    image.channels = channels;
    image.bits = sixteen ? 16 : 8;
    return true;
}

bool encode_png(const PngImage& image, std::vector<uint8_t>& file) {
    if (image.channels < 1 || image.channels > 4 || image.width < 1 || image.height < 1)
        return false;
    file.clear();
    if (image.bits == 16) return encode_png16(image, file);
    std::vector<uint8_t> narrow(image.samples.begin(), image.samples.end());
    return stbi_write_png_to_func(append_bytes, &file, image.width, image.height, image.channels,
                                  narrow.data(), image.width * image.channels) != 0;
}
