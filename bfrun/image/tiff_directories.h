// A TIFF stream's directories (IFDs) read directly, for what libtiff does not give as stored:
// how many directories its chain holds, counted within a bound, and a directory's resolution
// tags as the rationals stored (libtiff gives them as floats), and its Orientation tag. Used on
// TIFF files (classic and BigTIFF) and on the TIFF stream in a JPEG's Exif block, whose first
// directory is IFD0. Every offset and count is checked against the stream's size before it is used,
// and nothing is allocated for what the file says.
#pragma once

#include <cstdint>
#include <vector>

#include "bfrun/image/byte_streams.h"
#include "bfrun/image/resolution.h"

struct TiffHeader {
    bool big_endian = false;
    bool big_tiff = false;
    uint64_t first_directory = 0;
};

// The header at the stream's first byte; false when it is no TIFF header.
bool read_tiff_header(ByteSource& stream, TiffHeader& header);

enum class DirectoryChain {
    ends,       // the last directory links to 0
    loops,      // a link leads back to a directory already counted
    unreadable, // a directory or its link lies past the end of the stream, or it counts more
                // than 65535 entries
    too_long,   // more directories follow the limit
};

// Follows the directories from the first, counting them into `count`, at most `limit`.
DirectoryChain count_tiff_directories(ByteSource& stream, const TiffHeader& header, uint32_t limit,
                                      uint32_t& count);

struct StoredResolution {
    bool found = false; // XResolution and YResolution, RATIONAL, SHORT or LONG
    Rational x, y;
    uint16_t unit = 2; // ResolutionUnit: an inch where the tag is absent
};

// The resolution tags of the directory at `offset`; not found where it cannot be read.
StoredResolution read_tiff_resolution(ByteSource& stream, const TiffHeader& header,
                                      uint64_t offset);

struct StoredOrientation {
    uint16_t value = 1;    // 1..8; 1 where the tag is absent or not one SHORT of 1..8
    uint64_t value_at = 0; // where the value's two bytes lie in the stream; 0 with no tag
};

// The Orientation tag (274) of the directory at `offset`.
StoredOrientation read_tiff_orientation(ByteSource& stream, const TiffHeader& header,
                                        uint64_t offset);

// An Exif block's TIFF stream with IFD0's Orientation set to 1 in place, for pixels already
// turned upright; false, the bytes unchanged, where there is no valid tag to set.
bool set_exif_orientation_normal(std::vector<uint8_t>& exif);

// The pHYs of a stored resolution (resolution.h); nothing for a unit TIFF does not define.
void set_resolution(ImageMetadata& metadata, const StoredResolution& stored);
