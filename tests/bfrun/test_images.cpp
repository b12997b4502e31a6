#include "tests/bfrun/test_images.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <tiffio.h>

#include "bfrun/image/oriented_reader.h"

std::vector<uint8_t> encode_test_jpeg(const TestJpeg& image) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &bytes, &size);
    c.image_width = image.width;
    c.image_height = image.height;
    c.input_components = image.components;
    c.in_color_space = image.components == 1   ? JCS_GRAYSCALE
                       : image.components == 4 ? JCS_CMYK
                                               : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, image.quality, TRUE);
    if (image.progressive) jpeg_simple_progression(&c);
    c.density_unit = image.density_unit;
    c.X_density = image.x_density;
    c.Y_density = image.y_density;
    jpeg_start_compress(&c, TRUE);
    if (!image.exif.empty()) {
        std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
        block.insert(block.end(), image.exif.begin(), image.exif.end());
        jpeg_write_marker(&c, JPEG_APP0 + 1, block.data(), static_cast<unsigned>(block.size()));
    }
    const size_t row_bytes = size_t{image.width} * image.components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(image.samples.data()) + c.next_scanline * row_bytes;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> file(bytes, bytes + size);
    jpeg_destroy_compress(&c);
    std::free(bytes);
    return file;
}

TestJpeg grey_blocks(uint32_t columns, const std::vector<uint8_t>& greys) {
    TestJpeg image;
    image.width = columns * 8;
    image.height = static_cast<uint32_t>(greys.size()) / columns * 8;
    image.components = 1;
    image.quality = 100;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            image.samples.push_back(greys[y / 8 * columns + x / 8]);
    return image;
}

std::vector<uint8_t> exif_ifd0(const std::vector<ExifEntry>& entries, bool big_endian,
                               uint32_t first_directory) {
    std::vector<uint8_t> b;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(static_cast<uint8_t>(v >> 8 * (big_endian ? bytes - 1 - i : i)));
    };
    b.assign(2, big_endian ? 'M' : 'I');
    put(42, 2);
    put(first_directory, 4);
    put(static_cast<uint32_t>(entries.size()), 2);
    for (const ExifEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        if (e.type == 3) {
            put(e.value, 2);
            put(0, 2);
        } else {
            put(e.value, 4);
        }
    }
    put(0, 4);
    return b;
}

std::vector<uint8_t> exif_orientation(uint16_t value, bool big_endian) {
    return exif_ifd0({{274, 3, 1, value}}, big_endian);
}

namespace {

// libtiff writing into memory.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    uint64_t at = 0;
    static MemoryFile& of(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }
    static tmsize_t read(thandle_t h, void* to, tmsize_t size) {
        MemoryFile& f = of(h);
        const size_t count =
            std::min<uint64_t>(size, f.bytes.size() - std::min<uint64_t>(f.at, f.bytes.size()));
        if (count > 0) std::memcpy(to, f.bytes.data() + f.at, count);
        f.at += count;
        return static_cast<tmsize_t>(count);
    }
    static tmsize_t write(thandle_t h, void* from, tmsize_t size) {
        MemoryFile& f = of(h);
        if (f.at + size > f.bytes.size()) f.bytes.resize(f.at + size);
        std::memcpy(f.bytes.data() + f.at, from, static_cast<size_t>(size));
        f.at += size;
        return size;
    }
    static toff_t seek(thandle_t h, toff_t offset, int whence) {
        MemoryFile& f = of(h);
        f.at = whence == SEEK_SET   ? offset
               : whence == SEEK_CUR ? f.at + offset
                                    : f.bytes.size() + offset;
        return f.at;
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t h) { return of(h).bytes.size(); }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}
};

void write_page(TIFF* tif, const TestTiff& t) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, t.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, t.height);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, t.photometric);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, t.samples_per_pixel);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, t.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, t.sample_format);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, t.compression);
    if (t.t4_options != 0) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, t.t4_options);
    if (t.fill_order != 0) TIFFSetField(tif, TIFFTAG_FILLORDER, t.fill_order);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, t.planar);
    if (t.extra_sample != 0) {
        const uint16_t kinds[1] = {t.extra_sample};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    if (!t.colour_map.empty()) {
        const size_t n = t.colour_map.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, t.colour_map.data(), t.colour_map.data() + n,
                     t.colour_map.data() + 2 * n);
    }
    if (t.x_resolution > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, t.x_resolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, t.y_resolution);
    }
    if (t.resolution_unit != 0) TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, t.resolution_unit);
    if (t.orientation != 0) TIFFSetField(tif, TIFFTAG_ORIENTATION, t.orientation);
    const int planes = t.planar == 2 ? t.samples_per_pixel : 1;
    const int plane_samples = t.samples_per_pixel / planes, bytes = t.bits / 8;
    const size_t row_bits = size_t{t.width} * plane_samples * t.bits;
    // Plane p of row y, packed as a row of its own.
    auto plane_row = [&](uint32_t y, int p) {
        const size_t full_row = (size_t{t.width} * t.samples_per_pixel * t.bits + 7) / 8;
        const uint8_t* row = t.samples.data() + y * full_row;
        if (planes == 1) return std::vector<uint8_t>(row, row + full_row);
        std::vector<uint8_t> out;
        for (size_t x = 0; x < t.width; ++x)
            out.insert(out.end(), row + (x * t.samples_per_pixel + p) * bytes,
                       row + (x * t.samples_per_pixel + p + 1) * bytes);
        return out;
    };
    if (!t.coded.empty()) {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, t.height);
        TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(t.coded.data()),
                          static_cast<tmsize_t>(t.coded.size()));
    } else if (t.tile != 0) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, t.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, t.tile);
        const size_t tile_row = t.tile * plane_samples * t.bits / 8;
        std::vector<uint8_t> tile(tile_row * t.tile);
        for (int p = 0; p < planes; ++p)
            for (uint32_t ty = 0; ty < t.height; ty += t.tile)
                for (uint32_t tx = 0; tx < t.width; tx += t.tile) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (uint32_t r = 0; r < t.tile && ty + r < t.height; ++r) {
                        const std::vector<uint8_t> row = plane_row(ty + r, p);
                        const size_t from = tx * tile_row / t.tile;
                        const size_t count = std::min(tile_row, row.size() - from);
                        std::memcpy(tile.data() + r * tile_row, row.data() + from, count);
                    }
                    TIFFWriteTile(tif, tile.data(), tx, ty, 0, static_cast<uint16_t>(p));
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     t.rows_per_strip != 0 ? t.rows_per_strip : TIFFDefaultStripSize(tif, 0));
        for (int p = 0; p < planes; ++p)
            for (uint32_t y = 0; y < t.height; ++y) {
                std::vector<uint8_t> row = plane_row(y, p);
                row.resize((row_bits + 7) / 8);
                TIFFWriteScanline(tif, row.data(), y, static_cast<uint16_t>(p));
            }
    }
}

TIFF* open_memory(MemoryFile& file, const char* mode) {
    return TIFFClientOpen("test", mode, &file, MemoryFile::read, MemoryFile::write,
                          MemoryFile::seek, MemoryFile::close, MemoryFile::size, MemoryFile::map,
                          MemoryFile::unmap);
}

// The first byte of a tag's entry in the first directory of a little-endian file.
size_t entry_of(const std::vector<uint8_t>& file, uint16_t tag) {
    auto get = [&](size_t at) { return uint32_t{file[at]} | uint32_t{file[at + 1]} << 8; };
    const size_t ifd = get(4) | get(6) << 16;
    for (size_t entry = ifd + 2; entry < ifd + 2 + 12 * get(ifd); entry += 12)
        if (get(entry) == tag) return entry;
    return 0;
}

void put_little_endian(std::vector<uint8_t>& file, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t little_endian32(const std::vector<uint8_t>& file, size_t at) {
    return uint32_t{file[at]} | uint32_t{file[at + 1]} << 8 | uint32_t{file[at + 2]} << 16 |
           uint32_t{file[at + 3]} << 24;
}

} // namespace

std::vector<uint8_t> encode_test_tiff_pages(const std::vector<TestTiff>& pages) {
    MemoryFile file;
    TIFF* tif = open_memory(file, "w");
    for (size_t i = 0; i < pages.size(); ++i) {
        write_page(tif, pages[i]);
        if (i + 1 < pages.size()) TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return file.bytes;
}

std::vector<uint8_t> encode_test_tiff(const TestTiff& t) {
    return encode_test_tiff_pages({t});
}

std::vector<uint8_t> libtiff_rows(const std::vector<uint8_t>& bytes, uint16_t page) {
    MemoryFile file;
    file.bytes = bytes;
    TIFF* tif = open_memory(file, "rm");
    std::vector<uint8_t> rows;
    if (tif != nullptr && TIFFSetDirectory(tif, page)) {
        uint32_t height = 0;
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize64(tif)));
        for (uint32_t y = 0; y < height && TIFFReadScanline(tif, row.data(), y, 0) >= 0; ++y)
            rows.insert(rows.end(), row.begin(), row.end());
    }
    if (tif != nullptr) TIFFClose(tif);
    return rows;
}

void set_tiff_short(std::vector<uint8_t>& file, uint16_t tag, uint16_t value) {
    const size_t entry = entry_of(file, tag);
    if (entry != 0) put_little_endian(file, entry + 8, value, 2);
}

void set_tiff_number(std::vector<uint8_t>& file, uint16_t tag, size_t index, uint32_t value) {
    const size_t entry = entry_of(file, tag);
    if (entry == 0) return;
    const int bytes = file[entry + 2] == 3 ? 2 : 4; // SHORT or LONG
    // In the entry when all values fit its 4 bytes, elsewhere otherwise.
    const size_t values = little_endian32(file, entry + 4) * bytes <= 4
                              ? entry + 8
                              : little_endian32(file, entry + 8);
    put_little_endian(file, values + index * bytes, value, bytes);
}

void set_tiff_rational(std::vector<uint8_t>& file, uint16_t tag, uint32_t numerator,
                       uint32_t denominator) {
    const size_t entry = entry_of(file, tag);
    if (entry == 0) return;
    const size_t at = little_endian32(file, entry + 8);
    put_little_endian(file, at, numerator, 4);
    put_little_endian(file, at + 4, denominator, 4);
}

ImageError read_upright_test_image(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples,
                                   ImageLayout* layout, ImageMetadata* metadata,
                                   const ReadLimits& limits) {
    MemorySource source(file);
    ImageError failure;
    const std::unique_ptr<ImageReader> reader =
        upright_reader(make_image_reader(source, failure), false);
    if (reader == nullptr || !reader->open(limits, failure)) return failure;
    const ImageLayout& l = reader->layout();
    if (layout != nullptr) *layout = l;
    std::vector<uint8_t> image(l.row_bytes * l.height);
    bool ok = l.interlaced ? reader->read_image(image.data(), failure) : true;
    for (uint32_t y = 0; ok && !l.interlaced && y < l.height; ++y)
        ok = reader->read_row(image.data() + y * l.row_bytes, failure);
    if (ok) reader->finish(failure);
    if (metadata != nullptr) *metadata = reader->metadata();
    if (samples != nullptr) *samples = image;
    return failure;
}

ImageError read_test_image(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples,
                           ImageLayout* layout, const ReadLimits& limits, ImageMetadata* metadata,
                           uint32_t page) {
    MemorySource source(file);
    ImageError failure;
    const std::unique_ptr<ImageReader> reader = make_image_reader(source, failure, page);
    if (reader == nullptr || !reader->open(limits, failure)) return failure;
    const ImageLayout& l = reader->layout();
    if (layout != nullptr) *layout = l;
    if (metadata != nullptr) *metadata = reader->metadata();
    std::vector<uint8_t> image(l.row_bytes * l.height);
    bool ok = true;
    for (uint32_t y = 0; ok && y < l.height; ++y)
        ok = reader->read_row(image.data() + y * l.row_bytes, failure);
    if (ok) reader->finish(failure);
    if (samples != nullptr) *samples = image;
    return failure;
}
