// Follows a PNG stream's layout byte by byte as it passes: the signature, then chunk after
// chunk, each a header (length and type), its data and its CRC. The bytes go on in pieces that
// each lie within one section, so that the reader's check and the writer's recompressor see the
// same chunks the same way wherever the stream is cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class ChunkSection { signature, header, data, crc };

struct ChunkPiece {
    ChunkSection section;
    const uint8_t* bytes;
    size_t size;
    bool section_ends; // the piece holds the section's last byte
};

class ChunkWalker {
  public:
    // The next piece of `bytes` (size > 0): as much as lies within the section in hand.
    ChunkPiece next(const uint8_t* bytes, size_t size);

    // The chunk whose header was read last: its 8 header bytes, length and type, where it
    // starts, and how many headers have been read.
    const uint8_t* header() const { return header_; }
    uint32_t length() const;
    const char* type() const { return reinterpret_cast<const char*>(header_ + 4); }
    bool is(const char type[4]) const;
    int chunks() const { return chunks_; }
    // Where the chunk in hand starts; from the end of a CRC (or of the signature) on, where
    // the next one does.
    uint64_t chunk_start() const { return chunk_start_; }
    uint64_t position() const { return position_; }
    // Nothing of the next chunk's header has come yet.
    bool between_chunks() const { return section_ == ChunkSection::header && left_ == 8; }

  private:
    ChunkSection section_ = ChunkSection::signature;
    uint64_t left_ = 8; // bytes of the section in hand still to come
    uint8_t header_[8] = {};
    uint8_t incoming_[8] = {}; // the header being read
    int chunks_ = 0;
    uint64_t chunk_start_ = 0;
    uint64_t position_ = 0;
};

// A chunk type as text: its four letters, or its bytes in hex when they are not letters.
std::string chunk_type_name(const char type[4]);
