// The walk through a PNG stream's chunks.
#include "bfrun/image/chunk_walker.h"

#include <cstring>

#include "bfrun/image/big_endian.h"

uint32_t ChunkWalker::length() const {
    return read_big_endian32(header_);
}

bool ChunkWalker::is(const char type[4]) const {
    return std::memcmp(header_ + 4, type, 4) == 0;
}

ChunkPiece ChunkWalker::next(const uint8_t* bytes, size_t size) {
    const size_t count = size < left_ ? size : static_cast<size_t>(left_);
    if (section_ == ChunkSection::header) std::memcpy(incoming_ + (8 - left_), bytes, count);
    const ChunkPiece piece{section_, bytes, count, count == left_};
    position_ += count;
    left_ -= count;
    if (left_ > 0) return piece;
    switch (section_) {
    case ChunkSection::signature:
    case ChunkSection::crc:
        section_ = ChunkSection::header;
        left_ = 8;
        chunk_start_ = position_;
        break;
    case ChunkSection::header:
        std::memcpy(header_, incoming_, 8);
        ++chunks_;
        section_ = length() > 0 ? ChunkSection::data : ChunkSection::crc;
        left_ = length() > 0 ? length() : 4;
        break;
    case ChunkSection::data:
        section_ = ChunkSection::crc;
        left_ = 4;
        break;
    }
    return piece;
}

std::string chunk_type_name(const char type[4]) {
    bool letters = true;
    for (int i = 0; i < 4; ++i) {
        const char c = type[i];
        letters = letters && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    }
    if (letters) return std::string(type, 4);
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "0x";
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<uint8_t>(type[i]);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}
