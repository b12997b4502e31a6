// A band for the benchmarks: rows of packed pixels, 64-byte aligned, filled with colours in the
// host's scale; and the in-place pass over it that every speed here is set against: each byte
// read, changed and written back once, in the widest vectors this CPU has (and, for comparison,
// in the 16-byte vectors every x86-64 CPU has).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BenchBand {
  public:
    BenchBand(int planes, int32_t depth, int64_t rows, int64_t columns);
    unsigned char* data() { return data_; }
    int64_t row_bytes() const { return row_bytes_; }
    int64_t rows() const { return rows_; }
    size_t bytes() const { return static_cast<size_t>(row_bytes_ * rows_); }

  private:
    int64_t row_bytes_;
    int64_t rows_;
    std::vector<unsigned char> storage_;
    unsigned char* data_;
};

// Inverts every byte of [p, p + bytes) in place, in the widest vectors this CPU has.
void in_place_pass(unsigned char* p, size_t bytes);
// The vector width in_place_pass() runs with on this CPU.
const char* in_place_pass_width();
// The same in 16-byte vectors.
void in_place_pass_16(unsigned char* p, size_t bytes);
