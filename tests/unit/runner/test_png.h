// PNG files for the tests, made with libspng's encoder from samples the test chooses, and
// small edits that damage them the way real files get damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/drive/row_store.h"
#include "runner/png/png_reader.h"

struct TestPng {
    uint32_t width = 0, height = 0;
    uint8_t colour_type = 6; // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    uint8_t bit_depth = 8;
    bool interlaced = false;
    std::vector<uint8_t> samples; // rows packed as PNG lays them out, 16-bit host-endian
    std::vector<uint8_t> palette; // r, g, b per entry
    std::vector<uint8_t> trns;    // the tRNS chunk's bytes as stored
};

std::vector<uint8_t> encode_test_png(const TestPng& image);

// Random RGBA or grey + alpha samples (8 or 16 bits), every alpha from 0 to full among them.
TestPng random_test_png(uint32_t width, uint32_t height, int channels, int bits,
                        uint32_t random_start);

// Reads the whole file, rows one by one (or at once when interlaced), then the end.
PngError read_test_png(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples = nullptr,
                       PngLayout* layout = nullptr, const ReadLimits& limits = {});

// The byte offset of the n-th chunk of this type (its length field), or 0.
size_t chunk_at(const std::vector<uint8_t>& file, const char* type, int n = 0);
uint32_t chunk_length(const std::vector<uint8_t>& file, size_t at);
// Rewrites a chunk's CRC after its contents were changed on purpose.
void fix_crc(std::vector<uint8_t>& file, size_t at);

// A RowFlow over rows in memory, for the row store and the host run.
struct MemoryRows : RowFlow {
    MemoryRows(std::vector<uint8_t> image, size_t row_bytes)
        : image(std::move(image)), row_bytes(row_bytes) {}
    bool read_row(uint8_t* row) override;
    bool read_image(uint8_t* to) override;
    bool write_row(const uint8_t* row) override;
    std::vector<uint8_t> image, written;
    size_t row_bytes, rows_read = 0;
};
