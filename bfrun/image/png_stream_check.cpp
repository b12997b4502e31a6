#include "bfrun/image/png_stream_check.h"

#include <cstring>

#include "bfrun/image/big_endian.h"

namespace {

int samples_per_pixel(uint8_t colour_type) {
    switch (colour_type) {
    case 0:
    case 3:
        return 1;
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 0;
    }
}

uint64_t scanlines_size(uint64_t width, uint64_t height, uint64_t bits_per_pixel) {
    if (width == 0 || height == 0) return 0;
    return height * (1 + (width * bits_per_pixel + 7) / 8);
}

} // namespace

uint64_t png_raw_image_size(const PngHeaderFields& h) {
    const int samples = samples_per_pixel(h.colour_type);
    if (!h.seen || samples == 0 || h.width == 0 || h.height == 0 || h.interlace > 1) return 0;
    const uint64_t bits = uint64_t{h.bit_depth} * samples;
    if (h.interlace == 0) return scanlines_size(h.width, h.height, bits);
    // Adam7: each pass's start and step, across and down.
    static const uint32_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    static const uint32_t y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const uint64_t w =
            h.width > x0[pass] ? (uint64_t{h.width} - x0[pass] + dx[pass] - 1) / dx[pass] : 0;
        const uint64_t rows =
            h.height > y0[pass] ? (uint64_t{h.height} - y0[pass] + dy[pass] - 1) / dy[pass] : 0;
        total += scanlines_size(w, rows, bits);
    }
    return total;
}

PngStreamCheck::PngStreamCheck() = default;

PngStreamCheck::~PngStreamCheck() {
    if (zlib_ready_) inflateEnd(&zlib_);
}

std::string PngStreamCheck::where() const {
    if (walker_.chunks() == 0) return "the signature";
    return "the " + chunk_type_name(walker_.type()) + " chunk at byte " +
           std::to_string(walker_.chunk_start());
}

std::string PngStreamCheck::last_checked() const {
    return "the " + chunk_type_name(checked_type_) + " chunk at byte " +
           std::to_string(checked_start_);
}

bool PngStreamCheck::ended_with_iend() const {
    return walker_.between_chunks() && std::memcmp(checked_type_, "IEND", 4) == 0;
}

bool PngStreamCheck::take(const uint8_t* bytes, size_t size) {
    if (!failure_.empty()) return false;
    while (size > 0) {
        const uint64_t chunk_start = walker_.chunk_start();
        const ChunkPiece piece = walker_.next(bytes, size);
        bytes += piece.size;
        size -= piece.size;
        if (piece.section == ChunkSection::crc && piece.section_ends) {
            std::memcpy(checked_type_, walker_.type(), 4);
            checked_start_ = chunk_start;
        }
        if (piece.section != ChunkSection::signature) check_ancillary(piece, chunk_start);
        if (piece.section != ChunkSection::data) continue;
        if (walker_.is("IHDR") && walker_.chunks() == 1) {
            for (size_t i = 0; i < piece.size && ihdr_got_ < sizeof ihdr_; ++i)
                ihdr_[ihdr_got_++] = piece.bytes[i];
            if (ihdr_got_ == sizeof ihdr_ && !header_.seen) read_header_fields();
        }
        if (walker_.is("IDAT") && !inflate_image_data(piece.bytes, piece.size)) return false;
    }
    return true;
}

// An ancillary chunk's CRC over its type and data, and the chunk kept if it is of a kind bfrun
// carries and within the limits (libspng refuses larger text and Exif itself).
void PngStreamCheck::check_ancillary(const ChunkPiece& piece, uint64_t chunk_start) {
    switch (piece.section) {
    case ChunkSection::header:
        if (!piece.section_ends) return;
        ancillary_ = (walker_.type()[0] & 0x20) != 0;
        if (!ancillary_) return;
        crc_ = crc32(0, reinterpret_cast<const Bytef*>(walker_.type()), 4);
        crc_got_ = 0;
        kept_data_.clear();
        keeping_ = (walker_.is("tEXt") || walker_.is("zTXt") || walker_.is("iTXt") ||
                    walker_.is("tIME") || walker_.is("eXIf") || walker_.is("pHYs")) &&
                   walker_.length() <= kChunkSizeLimit &&
                   kept_total_ + walker_.length() <= kChunkCacheLimit;
        return;
    case ChunkSection::data:
        if (!ancillary_) return;
        crc_ = crc32_z(crc_, piece.bytes, piece.size);
        if (keeping_) kept_data_.insert(kept_data_.end(), piece.bytes, piece.bytes + piece.size);
        return;
    case ChunkSection::crc:
        if (!ancillary_) return;
        for (size_t i = 0; i < piece.size && crc_got_ < 4; ++i)
            crc_bytes_[crc_got_++] = piece.bytes[i];
        if (!piece.section_ends) return;
        if (read_big_endian32(crc_bytes_) != crc_) {
            dropped_.push_back("the CRC of the " + chunk_type_name(walker_.type()) +
                               " chunk at byte " + std::to_string(chunk_start) +
                               " does not match its contents: the chunk is left out");
        } else if (keeping_) {
            kept_total_ += kept_data_.size();
            carried_.push_back({std::string(walker_.type(), 4), kept_data_, stream_seen_});
        }
        return;
    case ChunkSection::signature:
        return;
    }
}

void PngStreamCheck::read_header_fields() {
    header_.seen = true;
    header_.width = read_big_endian32(ihdr_);
    header_.height = read_big_endian32(ihdr_ + 4);
    header_.bit_depth = ihdr_[8];
    header_.colour_type = ihdr_[9];
    header_.interlace = ihdr_[12];
    expected_ = png_raw_image_size(header_);
}

bool PngStreamCheck::inflate_image_data(const uint8_t* bytes, size_t size) {
    if (!zlib_ready_) {
        const int status = inflateInit(&zlib_);
        if (status != Z_OK) {
            out_of_memory_ = status == Z_MEM_ERROR;
            failure_ = "zlib could not start";
            return false;
        }
        zlib_ready_ = true;
    }
    stream_seen_ = true;
    // Bytes after the end of the stream are not image data; they are left alone.
    if (stream_ended_) return true;
    uint8_t scratch[16384];
    zlib_.next_in = const_cast<Bytef*>(bytes);
    zlib_.avail_in = static_cast<uInt>(size);
    while (zlib_.avail_in > 0 && !stream_ended_) {
        zlib_.next_out = scratch;
        zlib_.avail_out = sizeof scratch;
        const int status = inflate(&zlib_, Z_NO_FLUSH);
        inflated_ += sizeof scratch - zlib_.avail_out;
        if (inflated_ > expected_) {
            failure_ = "the image data inflates past the " + std::to_string(expected_) +
                       " bytes its header implies, in " + where();
            return false;
        }
        if (status == Z_STREAM_END) {
            stream_ended_ = true;
        } else if (status == Z_MEM_ERROR) {
            out_of_memory_ = true;
            failure_ = "zlib ran out of memory";
            return false;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            failure_ = std::string("the image data is damaged (zlib: ") +
                       (zlib_.msg != nullptr ? zlib_.msg : "bad data") + "), in " + where();
            return false;
        }
    }
    return true;
}

bool PngStreamCheck::image_data_complete(std::string& why) const {
    if (!failure_.empty()) {
        why = failure_;
        return false;
    }
    if (!stream_seen_) {
        why = "the file has no image data (IDAT)";
        return false;
    }
    if (!stream_ended_) {
        why = "the image data's zlib stream does not end (its Adler-32 checksum is missing)";
        return false;
    }
    if (inflated_ != expected_) {
        why = "the image data holds " + std::to_string(inflated_) +
              " bytes where its header implies " + std::to_string(expected_);
        return false;
    }
    return true;
}
