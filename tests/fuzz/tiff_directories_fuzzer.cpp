// Fuzz target: the direct reading of a TIFF stream's directories (tiff_directories.h), which the
// TIFF reader and the JPEG reader's Exif block share, on arbitrary bytes: the chain is counted
// within its limit, the first directory's resolution gives pHYs values within PNG's range, and
// its orientation is 1..8, which set to 1 in the bytes reads back as 1.
#include <vector>

#include "bfrun/image/tiff_directories.h"
#include "tests/fuzz/image_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource stream(data, size);
    TiffHeader header;
    if (!read_tiff_header(stream, header)) return 0;
    uint32_t count = 0;
    const DirectoryChain chain = count_tiff_directories(stream, header, 64, count);
    fuzz_checks::require(count <= 64 && (chain != DirectoryChain::too_long || count == 64));
    ImageMetadata metadata;
    set_resolution(metadata, read_tiff_resolution(stream, header, header.first_directory));
    if (metadata.has_resolution)
        fuzz_checks::require(metadata.unit <= 1 && metadata.pixels_per_unit_x > 0 &&
                             metadata.pixels_per_unit_y > 0 &&
                             metadata.pixels_per_unit_x <= 0x7FFFFFFF &&
                             metadata.pixels_per_unit_y <= 0x7FFFFFFF);
    const StoredOrientation orientation =
        read_tiff_orientation(stream, header, header.first_directory);
    fuzz_checks::require(orientation.value >= 1 && orientation.value <= 8);
    fuzz_checks::require(orientation.value_at == 0 || orientation.value_at + 2 <= size);
    std::vector<uint8_t> bytes(data, data + size);
    if (set_exif_orientation_normal(bytes)) {
        MemorySource patched(bytes.data(), bytes.size());
        fuzz_checks::require(read_tiff_orientation(patched, header, header.first_directory).value ==
                             1);
    }
    return 0;
}
