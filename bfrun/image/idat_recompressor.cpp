#include "bfrun/image/idat_recompressor.h"

#include <algorithm>
#include <cstring>

#include "bfrun/image/big_endian.h"

namespace {

const uint8_t kIdat[4] = {'I', 'D', 'A', 'T'};

} // namespace

IdatRecompressor::IdatRecompressor(ByteSink& sink, int level, int threads, size_t piece_size)
    : sink_(sink),
      deflate_(level, threads, piece_size,
               [this](const uint8_t* bytes, size_t size) { return write_chunk(bytes, size); }),
      scratch_(size_t{1} << 16) {}

IdatRecompressor::~IdatRecompressor() {
    if (inflate_ready_) inflateEnd(&inflate_);
}

bool IdatRecompressor::fail(const std::string& why) {
    if (!failed_) error_ = why;
    failed_ = true;
    return false;
}

bool IdatRecompressor::deflate_failed() {
    if (failed_) return false; // the sink failed, and said why
    out_of_memory_ = deflate_.out_of_memory();
    return fail(deflate_.error());
}

bool IdatRecompressor::pass(const uint8_t* bytes, size_t size) {
    return sink_.write(bytes, size) || fail(sink_.error);
}

bool IdatRecompressor::write(const uint8_t* bytes, size_t size) {
    if (failed_) return false;
    while (size > 0) {
        const ChunkPiece piece = walker_.next(bytes, size);
        bytes += piece.size;
        size -= piece.size;
        switch (piece.section) {
        case ChunkSection::signature:
            if (!pass(piece.bytes, piece.size)) return false;
            break;
        case ChunkSection::header:
            if (piece.section_ends && !take_header()) return false;
            break;
        case ChunkSection::data:
            if (in_image_chunk_ ? !inflate_image_data(piece.bytes, piece.size)
                                : !pass(piece.bytes, piece.size))
                return false;
            break;
        case ChunkSection::crc:
            // libspng's CRC of its own image chunk is dropped; each chunk written here gets
            // its own.
            if (!in_image_chunk_ && !pass(piece.bytes, piece.size)) return false;
            break;
        }
    }
    return true;
}

bool IdatRecompressor::take_header() {
    in_image_chunk_ = walker_.is("IDAT");
    if (in_image_chunk_) {
        if (image_data_written_) return fail("image data after the chunk that ends it");
        image_data_seen_ = true;
        return true;
    }
    // The first chunk after the image data (IEND): the image data goes out before it.
    if (image_data_seen_ && !image_data_written_ && !end_image_data()) return false;
    return pass(walker_.header(), 8);
}

bool IdatRecompressor::inflate_image_data(const uint8_t* bytes, size_t size) {
    if (!inflate_ready_) {
        const int status = inflateInit(&inflate_);
        if (status != Z_OK) {
            out_of_memory_ = status == Z_MEM_ERROR;
            return fail("zlib could not start");
        }
        inflate_ready_ = true;
    }
    // zlib takes its input as a mutable pointer but only reads it.
    inflate_.next_in = const_cast<Bytef*>(bytes);
    inflate_.avail_in = static_cast<uInt>(size);
    while (inflate_.avail_in > 0) {
        if (stream_ended_) return fail("libspng wrote data after the end of the image data");
        inflate_.next_out = scratch_.data();
        inflate_.avail_out = static_cast<uInt>(scratch_.size());
        const int status = inflate(&inflate_, Z_NO_FLUSH);
        const size_t produced = scratch_.size() - inflate_.avail_out;
        if (produced > 0 && !deflate_.write(scratch_.data(), produced)) return deflate_failed();
        if (status == Z_STREAM_END) {
            stream_ended_ = true;
        } else if (status != Z_OK) {
            out_of_memory_ = status == Z_MEM_ERROR;
            return fail("zlib could not read back libspng's image data");
        }
    }
    return true;
}

bool IdatRecompressor::end_image_data() {
    image_data_written_ = true;
    if (!stream_ended_) return fail("libspng's image data ended before its zlib stream");
    return deflate_.finish() || deflate_failed();
}

bool IdatRecompressor::write_chunk(const uint8_t* data, size_t size) {
    uint8_t head[8];
    put_big_endian32(head, static_cast<uint32_t>(size));
    std::memcpy(head + 4, kIdat, 4);
    uLong crc = crc32(crc32(0, Z_NULL, 0), kIdat, 4);
    crc = crc32(crc, data, static_cast<uInt>(size));
    uint8_t tail[4];
    put_big_endian32(tail, static_cast<uint32_t>(crc));
    return pass(head, sizeof head) && pass(data, size) && pass(tail, sizeof tail);
}
