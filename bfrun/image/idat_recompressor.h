// Between libspng's encoder and the file: every chunk goes through as libspng wrote it except
// the image data, which libspng writes at zlib level 0 (its filtered rows in stored blocks).
// That stream is inflated here, by zlib, back to the filtered rows, compressed again by
// libdeflate at the chosen level on several threads (parallel_deflate.h), and written as IDAT
// chunks, each piece's output one chunk, before the chunk that follows the image data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "bfrun/image/byte_streams.h"
#include "bfrun/image/chunk_walker.h"
#include "bfrun/image/parallel_deflate.h"

// The pieces the filtered rows are cut into. Fixed, so that the file is the same whatever the
// number of threads. Each piece starts with an empty window: at libdeflate's level 7 (bfrun's
// default), 1 MiB pieces made the bench's 4000 x 3000 image 0.05% larger than one piece would
// (about 100 bytes a piece) and its noisy scan 0.2% (about 900 bytes a piece); 512 KiB pieces
// cost twice that, 2 MiB pieces half.
constexpr size_t kDeflatePieceSize = size_t{1} << 20;

class IdatRecompressor {
  public:
    // `level` is libdeflate's, 1..12.
    IdatRecompressor(ByteSink& sink, int level, int threads, size_t piece_size = kDeflatePieceSize);
    ~IdatRecompressor();
    IdatRecompressor(const IdatRecompressor&) = delete;
    IdatRecompressor& operator=(const IdatRecompressor&) = delete;

    // The bytes of the PNG file as libspng writes them. False on a failure, which error()
    // names (the sink's own error when the sink failed).
    bool write(const uint8_t* bytes, size_t size);

    const std::string& error() const { return error_; }
    bool out_of_memory() const { return out_of_memory_; }

  private:
    bool take_header();
    bool inflate_image_data(const uint8_t* bytes, size_t size);
    bool end_image_data();
    bool write_chunk(const uint8_t* data, size_t size);
    bool pass(const uint8_t* bytes, size_t size);
    bool fail(const std::string& why);
    bool deflate_failed();

    ByteSink& sink_;
    ParallelDeflate deflate_;

    ChunkWalker walker_;
    bool in_image_chunk_ = false;

    z_stream inflate_{};
    bool inflate_ready_ = false;
    bool image_data_seen_ = false, stream_ended_ = false, image_data_written_ = false;
    std::vector<uint8_t> scratch_;
    bool failed_ = false;
    std::string error_;
    bool out_of_memory_ = false;
};
