// PNG files for the tests, made with libspng's encoder from samples the test chooses, and
// small edits that damage them the way real files get damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bfrun/drive/row_store.h"
#include "bfrun/image/png_reader.h"

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
ImageError read_test_png(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples = nullptr,
                         ImageLayout* layout = nullptr, const ReadLimits& limits = {});

// The byte offset of the n-th chunk of this type (its length field), or 0.
size_t chunk_at(const std::vector<uint8_t>& file, const char* type, int n = 0);
uint32_t chunk_length(const std::vector<uint8_t>& file, size_t at);
// Rewrites a chunk's CRC after its contents were changed on purpose.
void fix_crc(std::vector<uint8_t>& file, size_t at);
// Puts a sound chunk at byte `at` (where another chunk starts).
void insert_chunk(std::vector<uint8_t>& file, size_t at, const char* type,
                  const std::vector<uint8_t>& data);

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

// An 8-bit RGBA layer whose pixel i is (i, 2i, 3i, 255 - i) modulo 256, in a row store that
// holds it whole, or as a window over rows read one by one.
struct Layer {
    Layer(int32_t width, int32_t height, bool whole = true)
        : rows(pattern(width * height), size_t(width) * 4),
          store(uint32_t(width), uint32_t(height), 4, 8, whole, rows) {
        store.load();
    }
    static std::vector<uint8_t> pattern(int32_t pixels) {
        std::vector<uint8_t> samples;
        for (int32_t i = 0; i < pixels; ++i)
            for (uint8_t v : {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), uint8_t(255 - i)})
                samples.push_back(v);
        return samples;
    }
    // Pixel i after the run (a whole layer).
    std::vector<uint8_t> pixel(int32_t i) {
        const uint8_t* at = store.row(0) + i * 4;
        return std::vector<uint8_t>(at, at + 4);
    }
    std::vector<uint8_t> samples() {
        return std::vector<uint8_t>(store.row(0), store.row(0) + rows.image.size());
    }
    MemoryRows rows;
    RowStore store;
};
