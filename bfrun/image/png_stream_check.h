// Follows a PNG file's chunks as the reader pulls its bytes, so that a failure can name the
// chunk and the byte offset where it happened, and checks the image data's zlib stream on its
// own: libspng stops inflating after the last row, so the stream's Adler-32 and any data
// beyond what the header implies would otherwise go unread. This second inflate keeps only a
// small scratch buffer and gives up as soon as the data runs past the header's size.
// It also checks the CRC of every ancillary chunk, whose damage libspng is told to pass over,
// and keeps the chunks bfrun carries into its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "bfrun/image/chunk_walker.h"
#include "bfrun/image/image_reader.h"

// Ancillary chunks (an ICC profile, Exif, text) are kept to this, each and in all.
constexpr size_t kChunkSizeLimit = size_t{16} << 20;
constexpr size_t kChunkCacheLimit = size_t{64} << 20;

struct PngHeaderFields {
    bool seen = false;
    uint32_t width = 0, height = 0;
    uint8_t bit_depth = 0, colour_type = 0, interlace = 0;
};

// Bytes of filtered scanlines (filter byte included) the header implies, all Adam7 passes
// counted for an interlaced image; 0 for a header no decoder accepts.
uint64_t png_raw_image_size(const PngHeaderFields& header);

class PngStreamCheck {
  public:
    PngStreamCheck();
    ~PngStreamCheck();
    PngStreamCheck(const PngStreamCheck&) = delete;
    PngStreamCheck& operator=(const PngStreamCheck&) = delete;

    // Every byte the reader pulls, in order. False once the image data failed its check.
    bool take(const uint8_t* bytes, size_t size);

    // After IEND: the image data's stream ended, its checksum matched and it held exactly the
    // bytes the header implies. Otherwise false and why.
    bool image_data_complete(std::string& why) const;

    const PngHeaderFields& header() const { return header_; }
    // Why take() failed; out_of_memory when zlib could not get its state.
    const std::string& failure() const { return failure_; }
    bool out_of_memory() const { return out_of_memory_; }

    // "the IDAT chunk at byte 1234" for the chunk holding the last byte taken, or
    // "the signature" before the first chunk.
    std::string where() const;
    // The chunk whose CRC was read last: a CRC found wrong is that chunk's, though the reader
    // may have read on into the next chunk's header before it looked.
    std::string last_checked() const;
    // The last bytes taken were IEND's CRC. (libspng takes the end of the file inside IEND's
    // CRC for a CRC to ignore.)
    bool ended_with_iend() const;
    uint64_t position() const { return walker_.position(); }
    // The chunk in hand is empty (its length is 0).
    bool chunk_empty() const { return walker_.chunks() > 0 && walker_.length() == 0; }

    // The sound chunks of the kinds bfrun carries (text, tIME, eXIf, pHYs) read so far, in
    // order, and a line for each ancillary chunk left out for a wrong CRC.
    const std::vector<CarriedChunk>& carried() const { return carried_; }
    const std::vector<std::string>& dropped() const { return dropped_; }

  private:
    void read_header_fields();
    bool inflate_image_data(const uint8_t* bytes, size_t size);
    void check_ancillary(const ChunkPiece& piece, uint64_t chunk_start);

    ChunkWalker walker_;
    char checked_type_[4] = {};
    uint64_t checked_start_ = 0;
    uint8_t ihdr_[13] = {};
    uint32_t ihdr_got_ = 0;

    PngHeaderFields header_;
    uint64_t expected_ = 0;
    uint64_t inflated_ = 0; // zlib's own count is 32 bits on Windows
    z_stream zlib_{};
    bool zlib_ready_ = false;
    bool stream_seen_ = false;
    bool stream_ended_ = false;
    std::string failure_;
    bool out_of_memory_ = false;

    bool ancillary_ = false, keeping_ = false;
    uLong crc_ = 0;
    uint8_t crc_bytes_[4] = {};
    int crc_got_ = 0;
    std::vector<uint8_t> kept_data_;
    size_t kept_total_ = 0;
    std::vector<CarriedChunk> carried_;
    std::vector<std::string> dropped_;
};
