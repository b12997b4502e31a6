// bfrun's files as byte streams (file_streams_win32.cpp): the input read through a buffer,
// and the output written to a temporary file beside it that replaces it, flushed to disk,
// only once it is complete. Paths are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "bfrun/image/byte_streams.h"

class FileSource : public ByteSource {
  public:
    ~FileSource() override;
    // False and why ("no such file", ...).
    bool open(const std::string& path);
    void close();
    size_t read(uint8_t* to, size_t size) override;
    bool seek(uint64_t offset) override;
    uint64_t size() override;

  private:
    void* handle_ = nullptr;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0, filled_ = 0;
};

class ReplacingSink : public ByteSink {
  public:
    ~ReplacingSink() override; // an output never committed is deleted
    // Creates the temporary file beside `path`.
    bool open(const std::string& path);
    bool write(const uint8_t* from, size_t size) override;
    bool restart() override;
    // Flushes the file to disk and renames it over the path.
    bool commit();
    // Closes and deletes the temporary file.
    void abandon();

  private:
    bool flush_buffer();
    bool replace_target();
    bool fail(const std::string& what);

    void* handle_ = nullptr;
    std::wstring target_, temporary_;
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
};
