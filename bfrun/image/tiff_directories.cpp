#include "bfrun/image/tiff_directories.h"

#include <algorithm>
#include <set>
#include <vector>

namespace {

constexpr uint16_t kOrientation = 274, kXResolution = 282, kYResolution = 283,
                   kResolutionUnit = 296;
constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;

// `size` bytes from `offset`, all of them within the stream.
bool read_at(ByteSource& stream, uint64_t offset, uint8_t* to, size_t size) {
    const uint64_t end = stream.size();
    if (end == UINT64_MAX || offset > end || size > end - offset) return false;
    return stream.seek(offset) && stream.read(to, size) == size;
}

uint64_t number(const uint8_t* at, int bytes, bool big_endian) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint64_t{at[big_endian ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
    return value;
}

// Classic TIFF's sizes and BigTIFF's: a directory's entry count, an entry, an offset.
int count_bytes(const TiffHeader& h) {
    return h.big_tiff ? 8 : 2;
}
int entry_bytes(const TiffHeader& h) {
    return h.big_tiff ? 20 : 12;
}
int offset_bytes(const TiffHeader& h) {
    return h.big_tiff ? 8 : 4;
}

// Where a directory's entries and its link to the next one are.
struct Directory {
    uint64_t entries = 0, first_entry = 0, link = 0;
};

bool read_directory(ByteSource& stream, const TiffHeader& h, uint64_t offset, Directory& d) {
    uint8_t bytes[8];
    if (!read_at(stream, offset, bytes, count_bytes(h))) return false;
    d.entries = number(bytes, count_bytes(h), h.big_endian);
    // libtiff's bound, which a classic directory's 16-bit count keeps by itself.
    if (d.entries > 0xFFFF) return false;
    d.first_entry = offset + count_bytes(h);
    d.link = d.first_entry + d.entries * entry_bytes(h);
    return true;
}

// The one value of an entry of type SHORT, LONG or RATIONAL, as a rational.
bool entry_value(ByteSource& stream, const TiffHeader& h, const uint8_t* entry, Rational& value) {
    const uint64_t type = number(entry + 2, 2, h.big_endian);
    const uint8_t* field = entry + 4 + offset_bytes(h);
    if (number(entry + 4, offset_bytes(h), h.big_endian) != 1) return false;
    if (type == kShort || type == kLong) {
        value = {static_cast<uint32_t>(number(field, type == kShort ? 2 : 4, h.big_endian)), 1};
        return true;
    }
    if (type != kRational) return false;
    // Eight bytes: in the entry in BigTIFF, elsewhere in classic TIFF.
    uint8_t bytes[8];
    const uint8_t* pair = field;
    if (!h.big_tiff) {
        if (!read_at(stream, number(field, 4, h.big_endian), bytes, 8)) return false;
        pair = bytes;
    }
    value = {static_cast<uint32_t>(number(pair, 4, h.big_endian)),
             static_cast<uint32_t>(number(pair + 4, 4, h.big_endian))};
    return true;
}

// Calls visit(entry, where) for each entry of the directory at `offset`, `where` being the
// entry's first byte in the stream; the entries are read in blocks of a fixed size, whatever
// their count; false where the directory or a block of it cannot be read.
template <typename Visit>
bool for_each_entry(ByteSource& stream, const TiffHeader& h, uint64_t offset, Visit visit) {
    Directory d;
    if (!read_directory(stream, h, offset, d)) return false;
    uint8_t block[64 * 20];
    const uint64_t size = entry_bytes(h), per_block = sizeof block / size;
    for (uint64_t first = 0; first < d.entries; first += per_block) {
        const uint64_t n = std::min(per_block, d.entries - first);
        const uint64_t at = d.first_entry + first * size;
        if (!read_at(stream, at, block, n * size)) return false;
        for (uint64_t i = 0; i < n; ++i)
            visit(block + i * size, at + i * size);
    }
    return true;
}

} // namespace

bool read_tiff_header(ByteSource& stream, TiffHeader& header) {
    uint8_t bytes[16];
    if (!read_at(stream, 0, bytes, 8) || bytes[0] != bytes[1] ||
        (bytes[0] != 'I' && bytes[0] != 'M'))
        return false;
    header.big_endian = bytes[0] == 'M';
    const uint64_t version = number(bytes + 2, 2, header.big_endian);
    header.big_tiff = version == 43;
    if (version == 42) {
        header.first_directory = number(bytes + 4, 4, header.big_endian);
        return true;
    }
    // BigTIFF: the size of an offset (8), 0, then the first directory's offset.
    if (!header.big_tiff || number(bytes + 4, 2, header.big_endian) != 8 ||
        !read_at(stream, 8, bytes + 8, 8))
        return false;
    header.first_directory = number(bytes + 8, 8, header.big_endian);
    return true;
}

DirectoryChain count_tiff_directories(ByteSource& stream, const TiffHeader& header, uint32_t limit,
                                      uint32_t& count) {
    std::set<uint64_t> seen;
    count = 0;
    for (uint64_t at = header.first_directory; at != 0;) {
        if (!seen.insert(at).second) return DirectoryChain::loops;
        if (count == limit) return DirectoryChain::too_long;
        Directory d;
        uint8_t link[8];
        if (!read_directory(stream, header, at, d) ||
            !read_at(stream, d.link, link, offset_bytes(header)))
            return DirectoryChain::unreadable;
        ++count;
        at = number(link, offset_bytes(header), header.big_endian);
    }
    return DirectoryChain::ends;
}

StoredResolution read_tiff_resolution(ByteSource& stream, const TiffHeader& header,
                                      uint64_t offset) {
    StoredResolution stored;
    bool has_x = false, has_y = false;
    const bool read = for_each_entry(stream, header, offset, [&](const uint8_t* entry, uint64_t) {
        const uint64_t tag = number(entry, 2, header.big_endian);
        Rational value;
        if (tag == kXResolution) has_x = entry_value(stream, header, entry, stored.x);
        if (tag == kYResolution) has_y = entry_value(stream, header, entry, stored.y);
        // A unit that is no small whole number is left at the default.
        if (tag == kResolutionUnit && entry_value(stream, header, entry, value) &&
            value.denominator == 1 && value.numerator <= 0xFFFF)
            stored.unit = static_cast<uint16_t>(value.numerator);
    });
    stored.found = read && has_x && has_y;
    return stored;
}

StoredOrientation read_tiff_orientation(ByteSource& stream, const TiffHeader& header,
                                        uint64_t offset) {
    StoredOrientation stored;
    for_each_entry(stream, header, offset, [&](const uint8_t* entry, uint64_t at) {
        if (number(entry, 2, header.big_endian) != kOrientation) return;
        // One SHORT, which lies in the entry itself.
        if (number(entry + 2, 2, header.big_endian) != kShort ||
            number(entry + 4, offset_bytes(header), header.big_endian) != 1)
            return;
        const uint64_t value = number(entry + 4 + offset_bytes(header), 2, header.big_endian);
        if (value < 1 || value > 8) return;
        stored.value = static_cast<uint16_t>(value);
        stored.value_at = at + 4 + offset_bytes(header);
    });
    return stored;
}

bool set_exif_orientation_normal(std::vector<uint8_t>& exif) {
    MemorySource stream(exif.data(), exif.size());
    TiffHeader header;
    if (!read_tiff_header(stream, header)) return false;
    const StoredOrientation stored = read_tiff_orientation(stream, header, header.first_directory);
    // value_at + 2 lies within the stream: the entry holding it was read from it.
    if (stored.value_at == 0) return false;
    exif[stored.value_at] = header.big_endian ? 0 : 1;
    exif[stored.value_at + 1] = header.big_endian ? 1 : 0;
    return true;
}

void set_resolution(ImageMetadata& metadata, const StoredResolution& stored) {
    if (stored.found && stored.unit >= 1 && stored.unit <= 3)
        set_resolution(metadata, stored.x, stored.y, static_cast<ResolutionUnit>(stored.unit));
}
