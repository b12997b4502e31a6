#include "tests/bfrun/test_png.h"

#include <cstring>
#include <random>

#include <spng.h>
#include <zlib.h>

std::vector<uint8_t> encode_test_png(const TestPng& image) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = image.width;
    ihdr.height = image.height;
    ihdr.bit_depth = image.bit_depth;
    ihdr.color_type = image.colour_type;
    ihdr.interlace_method = image.interlaced ? 1 : 0;
    spng_set_ihdr(ctx, &ihdr);
    if (!image.palette.empty()) {
        spng_plte plte{};
        plte.n_entries = static_cast<uint32_t>(image.palette.size() / 3);
        for (uint32_t i = 0; i < plte.n_entries; ++i) {
            plte.entries[i].red = image.palette[3 * i];
            plte.entries[i].green = image.palette[3 * i + 1];
            plte.entries[i].blue = image.palette[3 * i + 2];
        }
        spng_set_plte(ctx, &plte);
    }
    if (!image.trns.empty()) {
        spng_trns trns{};
        if (image.colour_type == 3) {
            trns.n_type3_entries = static_cast<uint32_t>(image.trns.size());
            std::memcpy(trns.type3_alpha, image.trns.data(), image.trns.size());
        } else if (image.colour_type == 0) {
            trns.gray = static_cast<uint16_t>(image.trns[0] << 8 | image.trns[1]);
        } else {
            trns.red = static_cast<uint16_t>(image.trns[0] << 8 | image.trns[1]);
            trns.green = static_cast<uint16_t>(image.trns[2] << 8 | image.trns[3]);
            trns.blue = static_cast<uint16_t>(image.trns[4] << 8 | image.trns[5]);
        }
        spng_set_trns(ctx, &trns);
    }
    std::vector<uint8_t> file;
    if (spng_encode_image(ctx, image.samples.data(), image.samples.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE) == 0) {
        size_t size = 0;
        int error = 0;
        auto* bytes = static_cast<uint8_t*>(spng_get_png_buffer(ctx, &size, &error));
        if (bytes != nullptr) file.assign(bytes, bytes + size);
        std::free(bytes);
    }
    spng_ctx_free(ctx);
    return file;
}

TestPng random_test_png(uint32_t width, uint32_t height, int channels, int bits,
                        uint32_t random_start) {
    TestPng image;
    image.width = width;
    image.height = height;
    image.colour_type = channels == 2 ? 4 : 6;
    image.bit_depth = static_cast<uint8_t>(bits);
    std::mt19937 random(random_start);
    const uint32_t full = bits == 16 ? 65535 : 255;
    const size_t pixels = size_t{width} * height;
    for (size_t p = 0; p < pixels; ++p)
        for (int c = 0; c < channels; ++c) {
            // Alpha walks through every value; the colour is random.
            uint32_t value = c == channels - 1
                                 ? static_cast<uint32_t>(p * (bits == 16 ? 257 : 1) % (full + 1))
                                 : random() % (full + 1);
            if (bits == 16) {
                const auto v = static_cast<uint16_t>(value);
                image.samples.insert(image.samples.end(), reinterpret_cast<const uint8_t*>(&v),
                                     reinterpret_cast<const uint8_t*>(&v) + 2);
            } else {
                image.samples.push_back(static_cast<uint8_t>(value));
            }
        }
    return image;
}

uint32_t chunk_length(const std::vector<uint8_t>& file, size_t at) {
    return uint32_t{file[at]} << 24 | uint32_t{file[at + 1]} << 16 | uint32_t{file[at + 2]} << 8 |
           file[at + 3];
}

size_t chunk_at(const std::vector<uint8_t>& file, const char* type, int n) {
    size_t at = 8;
    while (at + 12 <= file.size()) {
        if (std::memcmp(file.data() + at + 4, type, 4) == 0 && n-- == 0) return at;
        at += 12 + chunk_length(file, at);
    }
    return 0;
}

void fix_crc(std::vector<uint8_t>& file, size_t at) {
    const uint32_t length = chunk_length(file, at);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, file.data() + at + 4, length + 4));
    for (int i = 0; i < 4; ++i)
        file[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

void insert_chunk(std::vector<uint8_t>& file, size_t at, const char* type,
                  const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk(12 + data.size());
    for (int i = 0; i < 4; ++i)
        chunk[i] = static_cast<uint8_t>(data.size() >> (24 - 8 * i));
    std::copy(type, type + 4, chunk.begin() + 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    file.insert(file.begin() + at, chunk.begin(), chunk.end());
    fix_crc(file, at);
}

bool MemoryRows::read_row(uint8_t* row) {
    std::memcpy(row, image.data() + rows_read++ * row_bytes, row_bytes);
    return true;
}

bool MemoryRows::read_image(uint8_t* to) {
    std::memcpy(to, image.data(), image.size());
    rows_read = image.size() / row_bytes;
    return true;
}

bool MemoryRows::write_row(const uint8_t* row) {
    written.insert(written.end(), row, row + row_bytes);
    return true;
}

ImageError read_test_png(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples,
                         ImageLayout* layout, const ReadLimits& limits) {
    MemorySource source(file);
    PngReader reader(source);
    ImageError failure;
    if (!reader.open(limits, failure)) return failure;
    const ImageLayout& l = reader.layout();
    std::vector<uint8_t> image(l.row_bytes * l.height);
    bool ok = true;
    if (l.interlaced)
        ok = reader.read_image(image.data(), failure);
    else
        for (uint32_t y = 0; ok && y < l.height; ++y)
            ok = reader.read_row(image.data() + y * l.row_bytes, failure);
    if (ok) ok = reader.finish(failure);
    if (samples != nullptr) *samples = image;
    if (layout != nullptr) *layout = l;
    return failure;
}
