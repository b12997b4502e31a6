// The image's rows as bfrun holds them while the module runs: samples as the file gives them
// (grey + alpha or RGBA, 8 or 16 bits), so that pixels the module never returns go back to the
// file bit for bit. Either the whole image, or a window of rows that follows the module's
// requests down the image: rows are read when a request first reaches them and handed to the
// writer once a request starts below them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Where rows come from and where finished rows go, top to bottom.
struct RowFlow {
    virtual ~RowFlow() = default;
    virtual bool read_row(uint8_t* row) = 0;
    virtual bool read_image(uint8_t* image) = 0; // every row, rows packed
    virtual bool write_row(const uint8_t* row) = 0;
};

enum class Reach {
    ready,
    rows_gone, // a row asked for was already handed to the writer
    failed,    // the flow could not read or write a row
};

class RowStore {
  public:
    RowStore(uint32_t width, uint32_t height, int channels, int bits, bool whole, RowFlow& flow);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int channels() const { return channels_; }
    int bits() const { return bits_; }
    bool whole() const { return whole_; }

    // The whole image: reads every row. A window: nothing to do.
    bool load();
    // Makes rows top..bottom-1 resident. A window first hands the rows above `top` to the
    // writer, reading those it never held.
    Reach reach(int32_t top, int32_t bottom);
    // A resident row.
    uint8_t* row(int32_t y);
    // Hands every row not yet written to the writer, reading the rest of the file as needed.
    bool release_all();

    // The most rows held at once.
    size_t peak_rows() const { return peak_rows_; }

  private:
    bool write_front();

    int32_t width_, height_;
    int channels_, bits_;
    size_t row_bytes_;
    bool whole_;
    RowFlow& flow_;
    std::vector<uint8_t> image_;              // the whole image
    std::deque<std::vector<uint8_t>> window_; // rows first_.. of a window
    std::vector<std::vector<uint8_t>> spare_; // row buffers to use again
    int32_t first_ = 0;                       // first row not yet written
    size_t peak_rows_ = 0;
};
