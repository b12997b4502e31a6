// Byte streams under the PNG reader and writer: a source the reader pulls from and a sink the
// writer pushes to. Files implement them on Windows (file_streams_win32.cpp); memory implements
// them here, for the tests and for a fuzzer that feeds the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ByteSource {
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes into `to` and returns how many; fewer at the end of the data or
    // on a failure, which `error` then names.
    virtual size_t read(uint8_t* to, size_t size) = 0;
    // To byte `offset` (at most the size), for a reader that walks the file (TIFF) and for a
    // second pass over it.
    virtual bool seek(uint64_t offset) = 0;
    // The size in bytes; UINT64_MAX when it cannot be had.
    virtual uint64_t size() = 0;
    bool rewind() { return seek(0); }
    std::string error;
};

struct ByteSink {
    virtual ~ByteSink() = default;
    // False on a failure, which `error` then names.
    virtual bool write(const uint8_t* from, size_t size) = 0;
    // Drops everything written so far, for a second attempt.
    virtual bool restart() = 0;
    std::string error;
};

struct MemorySource : ByteSource {
    MemorySource(const uint8_t* data, size_t size) : data(data), length(size) {}
    explicit MemorySource(const std::vector<uint8_t>& bytes)
        : MemorySource(bytes.data(), bytes.size()) {}
    size_t read(uint8_t* to, size_t wanted) override;
    bool seek(uint64_t offset) override;
    uint64_t size() override { return length; }
    const uint8_t* data;
    size_t length;
    size_t at = 0;
};

struct MemorySink : ByteSink {
    bool write(const uint8_t* from, size_t size) override;
    bool restart() override;
    std::vector<uint8_t> bytes;
};
