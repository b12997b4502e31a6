#include "bfrun/image/tiff_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <tiffio.h>

#include "bfrun/image/tiff_directories.h"

namespace {

// libtiff's words as one printable line.
std::string one_line(const char* module, const char* format, va_list args) {
    char text[512];
    if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    std::string line = module != nullptr && *module != '\0' ? std::string(module) + ": " : "";
    line += text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return line;
}

constexpr uint64_t kMiB = uint64_t{1} << 20;

// Warnings while the image data is decoded that lose nothing.
bool harmless_while_decoding(const std::string& warning) {
    return warning.find("Old-style LZW codes") != std::string::npos ||
           warning.find("encoded with progressive mode") != std::string::npos;
}

// Warnings about the directory that mean libtiff guessed where the image data is, or could
// not read all of the directory.
bool damaging_in_directory(const std::string& warning) {
    for (const char* sign : {"ByteCounts", "Offsets", "IO error", "Out of memory", "IFD looping"})
        if (warning.find(sign) != std::string::npos) return true;
    return false;
}

const char* photometric_name(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MASK:
        return "a transparency mask";
    case PHOTOMETRIC_YCBCR:
        return "YCbCr (not JPEG-compressed)";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        return "CIE L*a*b*";
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
        return "LogLuv";
    case PHOTOMETRIC_CFA:
        return "a colour filter array (raw camera data)";
    default:
        return nullptr;
    }
}

} // namespace

struct TiffReader::Callbacks {
    static TiffReader& reader(thandle_t handle) { return *static_cast<TiffReader*>(handle); }

    static tmsize_t read(thandle_t handle, void* to, tmsize_t size) {
        TiffReader& r = reader(handle);
        size_t got = 0;
        try {
            got = r.source_.read(static_cast<uint8_t*>(to), static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            r.source_failed_ = true;
        }
        if (!r.source_.error.empty()) r.source_failed_ = true;
        r.position_ += got;
        return static_cast<tmsize_t>(got);
    }
    static tmsize_t write(thandle_t, void*, tmsize_t) { return 0; }
    // A place past the end is damage, not a failure of the source.
    static toff_t seek(thandle_t handle, toff_t offset, int whence) {
        TiffReader& r = reader(handle);
        const uint64_t size = r.source_.size();
        uint64_t to = offset;
        if (whence == SEEK_CUR) to = r.position_ + offset;
        if (whence == SEEK_END) to = size + offset;
        if (to > size || !r.source_.seek(to)) return static_cast<toff_t>(-1);
        r.position_ = to;
        return to;
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t handle) { return reader(handle).source_.size(); }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}

    static int on_error(TIFF*, void* user, const char* module, const char* format, va_list args) {
        TiffReader& r = *static_cast<TiffReader*>(user);
        try {
            const std::string line = one_line(module, format, args);
            if (line.find("byte limit defined in open options") != std::string::npos)
                r.over_memory_limit_ = true;
            // A compression left out of the build: describe() refuses it by name.
            if (line.find("compression support is not configured") != std::string::npos) return 1;
            // An Orientation outside 1..8: libtiff leaves the tag out and reads on; the
            // image is taken as stored.
            if (line.find("for \"Orientation\" tag") != std::string::npos) {
                r.warnings_.push_back("the TIFF's Orientation tag is not 1..8: the image is "
                                      "taken as stored (" +
                                      line + ")");
                return 1;
            }
            if (r.problem_.empty()) r.problem_ = line;
        } catch (const std::bad_alloc&) {
            r.source_failed_ = true;
        }
        return 1;
    }
    static int on_warning(TIFF*, void* user, const char* module, const char* format, va_list args) {
        TiffReader& r = *static_cast<TiffReader*>(user);
        try {
            const std::string line = one_line(module, format, args);
            const bool damage =
                r.decoding_ ? !harmless_while_decoding(line) : damaging_in_directory(line);
            if (damage && r.problem_.empty()) r.problem_ = line;
        } catch (const std::bad_alloc&) {
            r.source_failed_ = true;
        }
        return 1;
    }
};

TiffReader::TiffReader(ByteSource& source, uint32_t page) : source_(source), page_(page) {}

TiffReader::~TiffReader() {
    if (tiff_ != nullptr) TIFFClose(tiff_);
}

bool TiffReader::refuse(const std::string& what, ImageError& failure) {
    failed_ = true;
    return image_fail(failure, ImageErrorKind::bad_input,
                      "the TIFF's image is " + what + ", which bfrun does not read");
}

bool TiffReader::fail(const std::string& doing, ImageError& failure) {
    failed_ = true;
    if (source_failed_ && !source_.error.empty())
        return image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source_.error);
    if (source_failed_) return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    if (over_memory_limit_)
        return image_fail(failure, ImageErrorKind::too_large,
                          "a strip or tile of the TIFF is larger than bfrun holds (" +
                              std::to_string(memory_limit_ >> 20) + " MiB), " + doing);
    return image_fail(failure, ImageErrorKind::bad_input,
                      "the TIFF is damaged, " + doing +
                          (problem_.empty() ? "" : " (libtiff: " + problem_ + ")"));
}

bool TiffReader::open(const ReadLimits& limits, ImageError& failure) {
    memory_limit_ = limits.max_decoder_bytes;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options, static_cast<tmsize_t>(std::min<uint64_t>(memory_limit_, INT64_MAX)));
    TIFFOpenOptionsSetErrorHandlerExtR(options, Callbacks::on_error, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Callbacks::on_warning, this);
    // "m": read, never map the file (the source is no file libtiff could map); "h": the header
    // alone, the page's directory is read next.
    tiff_ = TIFFClientOpenExt("TIFF", "rmh", this, Callbacks::read, Callbacks::write,
                              Callbacks::seek, Callbacks::close, Callbacks::size, Callbacks::map,
                              Callbacks::unmap, options);
    TIFFOpenOptionsFree(options);
    if (tiff_ == nullptr || !problem_.empty()) return fail("in its header or directory", failure);
    if (!TIFFSetDirectory(tiff_, page_) || !problem_.empty()) {
        if (page_ > 0 && problem_.empty())
            return image_fail(failure, ImageErrorKind::bad_input,
                              "the TIFF has no page " + std::to_string(page_ + 1));
        return fail(page_ == 0 ? "in its header or directory"
                               : "in the directory of page " + std::to_string(page_ + 1),
                    failure);
    }
    if (!describe(limits, failure)) return false;
    read_resolution();
    // libtiff keeps only 1..8 (on_error).
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_ORIENTATION, &orientation);
    if (orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT)
        metadata_.orientation = orientation;
    decoding_ = true;
    return true;
}

// The layout from the first directory, everything bfrun does not read refused, and the
// buffers of one band.
bool TiffReader::describe(const ReadLimits& limits, ImageError& failure) {
    uint32_t width = 0, height = 0;
    uint16_t photometric = 0, planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    uint16_t format = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height) ||
        !TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric))
        return fail("its directory lacks the width, height or photometric tag", failure);
    if (width == 0 || height == 0)
        return image_fail(failure, ImageErrorKind::bad_input, "the TIFF's image has no pixels");
    if (!within_read_limits(width, height, limits, failure)) return false;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits_);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples_);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLEFORMAT, &format);

    if (!TIFFIsCODECConfigured(compression)) {
        const TIFFCodec* codec = TIFFFindCODEC(compression);
        return refuse(std::string("compressed with ") +
                          (codec != nullptr ? codec->name : "an unknown scheme") +
                          " (compression " + std::to_string(compression) + ")",
                      failure);
    }
    if (format == SAMPLEFORMAT_IEEEFP) return refuse("of floating-point samples", failure);
    if (format != SAMPLEFORMAT_UINT) return refuse("of signed or complex samples", failure);
    if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
        // libjpeg turns JPEG's YCbCr into RGB.
        TIFFSetField(tiff_, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
        colours_ = 1;
        break;
    case PHOTOMETRIC_RGB:
        colours_ = 3;
        break;
    case PHOTOMETRIC_SEPARATED: {
        uint16_t inks = INKSET_CMYK;
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_INKSET, &inks);
        if (inks != INKSET_CMYK || samples_ < 4)
            return refuse("of separated inks other than CMYK", failure);
        colours_ = 4;
        break;
    }
    default: {
        const char* name = photometric_name(photometric);
        return refuse(
            name != nullptr ? name : "of photometric interpretation " + std::to_string(photometric),
            failure);
    }
    }
    min_is_white_ = photometric == PHOTOMETRIC_MINISWHITE;
    palette_ = photometric == PHOTOMETRIC_PALETTE;
    const bool few_bits = bits_ == 1 || bits_ == 2 || bits_ == 4;
    if (bits_ == 32) return refuse("of 32-bit samples", failure);
    if (!(bits_ == 8 || (bits_ == 16 && !palette_) || (few_bits && colours_ == 1)))
        return refuse("of " + std::to_string(bits_) + "-bit " +
                          (palette_        ? "palette indices"
                           : colours_ == 1 ? "grey"
                                           : "colour") +
                          " samples",
                      failure);
    if (samples_ < colours_)
        return fail("it has " + std::to_string(samples_) + " samples a pixel, too few for its " +
                        "colours",
                    failure);

    layout_.width = width;
    layout_.height = height;
    layout_.channels = colours_ == 1 && !palette_ ? 2 : 4;
    layout_.bits = bits_ == 16 ? 16 : 8;
    layout_.row_bytes = size_t{width} * layout_.channels * (layout_.bits / 8);
    if (colours_ == 4) {
        layout_.cmyk = true;
        return true;
    }

    uint16_t extras = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tiff_, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 &&
        colours_ < samples_ &&
        (kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA)) {
        alpha_ = colours_;
        associated_ = kinds[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    if (palette_) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tiff_, TIFFTAG_COLORMAP, &red, &green, &blue))
            return fail("its palette image has no colour map", failure);
        const size_t entries = size_t{1} << bits_;
        // Some writers store 8-bit values in the 16-bit map; libtiff's rule tells them apart.
        bool eight_bit = true;
        for (size_t i = 0; i < entries; ++i)
            eight_bit = eight_bit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
        for (size_t i = 0; i < entries; ++i)
            for (const uint16_t* map : {red, green, blue})
                colour_map_.push_back(
                    static_cast<uint8_t>(eight_bit ? map[i] : (map[i] * 255u + 32767) / 65535));
    }

    // One band: the row libtiff decodes (interleaved strips), one strip of each plane read
    // (planes), or one row of tiles.
    separate_ = planar == PLANARCONFIG_SEPARATE && samples_ > 1;
    tiled_ = TIFFIsTiled(tiff_) != 0;
    uncompressed_ = compression == COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &rows_per_strip_);
    rows_per_strip_ = std::max<uint32_t>(1, rows_per_strip_);
    const int planes = separate_ ? (alpha_ >= 0 ? alpha_ + 1 : colours_) : 1;
    const uint64_t plane_samples = separate_ ? 1 : samples_;
    band_row_bytes_ = static_cast<size_t>((uint64_t{width} * plane_samples * bits_ + 7) / 8);
    uint64_t tile_bytes = 0;
    if (tiled_) {
        uint32_t tile_length = 0;
        TIFFGetField(tiff_, TIFFTAG_TILEWIDTH, &tile_width_);
        TIFFGetField(tiff_, TIFFTAG_TILELENGTH, &tile_length);
        tile_bytes = TIFFTileSize64(tiff_);
        if (tile_width_ == 0 || tile_length == 0 || tile_bytes == 0)
            return fail("its tiles have no size", failure);
        band_rows_ = tile_length;
        // Whole tiles across, each tile's row a whole number of bytes (TIFF's tiles are 16
        // pixels wide or a multiple of it).
        const uint64_t tile_row_bytes = TIFFTileRowSize64(tiff_);
        if (tile_row_bytes * 8 != uint64_t{tile_width_} * plane_samples * bits_)
            return refuse("in tiles " + std::to_string(tile_width_) +
                              " pixels wide, whose rows do not end on a byte",
                          failure);
        band_row_bytes_ =
            static_cast<size_t>((uint64_t{width} + tile_width_ - 1) / tile_width_ * tile_row_bytes);
    } else if (separate_) {
        band_rows_ = std::max<uint32_t>(1, std::min(rows_per_strip_, height));
    } else {
        band_rows_ = 1;
        band_row_bytes_ = static_cast<size_t>(TIFFScanlineSize64(tiff_));
        if (band_row_bytes_ == 0) return fail("its rows have no size", failure);
    }
    const uint64_t band_bytes = uint64_t{band_rows_} * band_row_bytes_ * planes + tile_bytes;
    if (band_bytes > memory_limit_)
        return image_fail(
            failure, ImageErrorKind::too_large,
            std::string("one ") + (tiled_ ? "row of tiles" : "strip") + " of the TIFF takes " +
                std::to_string((band_bytes + kMiB - 1) / kMiB) + " MiB, more than bfrun holds (" +
                std::to_string(memory_limit_ >> 20) + " MiB)");
    band_.assign(static_cast<size_t>(planes),
                 std::vector<uint8_t>(size_t{band_rows_} * band_row_bytes_));
    tile_.resize(static_cast<size_t>(tile_bytes));
    return true;
}

// The page's directory read again for its resolution as stored, then the source back where
// libtiff left it.
void TiffReader::read_resolution() {
    TiffHeader header;
    if (read_tiff_header(source_, header))
        set_resolution(metadata_,
                       read_tiff_resolution(source_, header, TIFFCurrentDirOffset(tiff_)));
    source_.seek(position_);
}

// Uncompressed data is read as it lies: libtiff reads what the rows need from the strip's or
// tile's offset, past its byte count, so one that holds less is refused before it is read.
bool TiffReader::holds_its_rows(uint32_t strile, uint32_t y, uint32_t x, ImageError& failure) {
    if (!uncompressed_) return true;
    const uint32_t first = tiled_ ? y : y - y % rows_per_strip_;
    const uint64_t need =
        tiled_ ? TIFFTileSize64(tiff_)
               : TIFFVStripSize64(tiff_, std::min(rows_per_strip_, layout_.height - first));
    const uint64_t held = TIFFGetStrileByteCount(tiff_, strile);
    if (held >= need) return true;
    failed_ = true;
    return image_fail(failure, ImageErrorKind::bad_input,
                      std::string("the TIFF is damaged: ") + (tiled_ ? "tile " : "strip ") +
                          std::to_string(strile) + " is shorter than its rows need (" +
                          std::to_string(held) + " of " + std::to_string(need) +
                          " bytes), at row " + std::to_string(first) +
                          (tiled_ ? ", column " + std::to_string(x) : ""));
}

bool TiffReader::read_band(uint32_t top, ImageError& failure) {
    const std::string where = "in rows from " + std::to_string(top);
    if (!tiled_) {
        for (size_t p = 0; p < band_.size(); ++p) {
            const uint32_t strip = TIFFComputeStrip(tiff_, top, static_cast<uint16_t>(p));
            if (!holds_its_rows(strip, top, 0, failure)) return false;
            if (TIFFReadEncodedStrip(tiff_, strip, band_[p].data(),
                                     static_cast<tmsize_t>(band_[p].size())) < 0 ||
                !problem_.empty())
                return fail(where, failure);
        }
    } else {
        const uint32_t tile_length = band_rows_;
        const size_t tile_row_bytes = static_cast<size_t>(TIFFTileRowSize64(tiff_));
        const size_t rows = std::min(tile_length, layout_.height - top);
        for (size_t p = 0; p < band_.size(); ++p)
            for (uint32_t x = 0; x < layout_.width; x += tile_width_) {
                const uint32_t tile = TIFFComputeTile(tiff_, x, top, 0, static_cast<uint16_t>(p));
                if (!holds_its_rows(tile, top, x, failure)) return false;
                if (TIFFReadTile(tiff_, tile_.data(), x, top, 0, static_cast<uint16_t>(p)) < 0 ||
                    !problem_.empty())
                    return fail(where + ", column " + std::to_string(x), failure);
                // The tile's rows into the band, whole tiles across.
                const size_t at = x / tile_width_ * tile_row_bytes;
                for (size_t r = 0; r < rows; ++r)
                    std::memcpy(band_[p].data() + r * band_row_bytes_ + at,
                                tile_.data() + r * tile_row_bytes, tile_row_bytes);
            }
    }
    band_top_ = top;
    return true;
}

void TiffReader::convert(uint32_t y, uint8_t* row) const {
    const size_t in_band = y - band_top_;
    const uint8_t* rows[4] = {}; // colours and alpha: 4 planes at most
    for (size_t p = 0; p < band_.size() && p < 4; ++p)
        rows[p] = band_[p].data() + in_band * band_row_bytes_;
    // Interleaved 8-bit grey or RGB, with or without unassociated alpha, the common case: the
    // samples as they are, without the choices below for every sample.
    if (!separate_ && !palette_ && !associated_ && !min_is_white_ && bits_ == 8) {
        const uint8_t* in = rows[0];
        const int colours = colours_;
        for (size_t x = 0; x < layout_.width; ++x, in += samples_, row += colours + 1) {
            for (int k = 0; k < colours; ++k)
                row[k] = in[k];
            row[colours] = alpha_ >= 0 ? in[alpha_] : 255;
        }
        return;
    }
    const int bits = bits_;
    // Sample k of pixel x, as stored.
    auto sample = [&](size_t x, int k) -> uint32_t {
        const uint8_t* in = separate_ ? rows[k] : rows[0];
        const size_t index = separate_ ? x : x * samples_ + static_cast<size_t>(k);
        if (bits == 16) {
            uint16_t v;
            std::memcpy(&v, in + 2 * index, 2);
            return v;
        }
        if (bits == 8) return in[index];
        const size_t bit = index * static_cast<size_t>(bits);
        return (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    };
    const uint32_t full = bits == 16 ? 65535 : 255;
    // 1, 2 and 4 bits to 8, as PNG scales grey.
    const uint32_t scale = bits < 8 ? 255 / ((1u << bits) - 1) : 1;
    const int channels = layout_.channels;
    uint32_t pixel[4];
    for (size_t x = 0; x < layout_.width; ++x) {
        const uint32_t alpha = alpha_ >= 0 ? sample(x, alpha_) * scale : full;
        if (palette_) {
            const uint8_t* entry = colour_map_.data() + size_t{3} * sample(x, 0);
            pixel[0] = entry[0];
            pixel[1] = entry[1];
            pixel[2] = entry[2];
        } else {
            for (int k = 0; k < colours_; ++k)
                pixel[k] = sample(x, k) * scale;
        }
        const int colours = channels - 1;
        for (int k = 0; k < colours; ++k) {
            uint32_t v = pixel[k];
            // Associated alpha: the colour was multiplied by it; back, rounded to the nearest.
            if (associated_) v = alpha == 0 ? 0 : std::min(full, (v * full + alpha / 2) / alpha);
            if (min_is_white_) v = full - v;
            pixel[k] = v;
        }
        pixel[colours] = alpha;
        if (bits == 16) {
            for (int k = 0; k < channels; ++k) {
                const uint16_t v = static_cast<uint16_t>(pixel[k]);
                std::memcpy(row + 2 * (x * channels + k), &v, 2);
            }
        } else {
            for (int k = 0; k < channels; ++k)
                row[x * channels + k] = static_cast<uint8_t>(pixel[k]);
        }
    }
}

bool TiffReader::read_row(uint8_t* row, ImageError& failure) {
    if (layout_.cmyk)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "a CMYK TIFF, which bfrun does not decode");
    if (failed_ || rows_read_ >= layout_.height)
        return image_fail(failure, ImageErrorKind::bad_input, "no more rows to read");
    const uint32_t y = rows_read_;
    if (!separate_ && !tiled_) {
        const uint32_t strip = TIFFComputeStrip(tiff_, y, 0);
        if (strip != strip_checked_ && !holds_its_rows(strip, y, 0, failure)) return false;
        strip_checked_ = strip;
        if (TIFFReadScanline(tiff_, band_[0].data(), y, 0) < 0 || !problem_.empty())
            return fail("in row " + std::to_string(y), failure);
        band_top_ = y;
    } else if (band_top_ == UINT32_MAX || y >= band_top_ + band_rows_) {
        if (!read_band(y, failure)) return false;
    }
    convert(y, row);
    ++rows_read_;
    return true;
}

bool TiffReader::finish(ImageError& failure) {
    if (failed_ || layout_.cmyk || rows_read_ < layout_.height)
        return image_fail(failure, ImageErrorKind::bad_input, "the image was not read to its end");
    return true;
}

bool count_tiff_pages(ByteSource& source, uint32_t& pages, ImageError& failure) {
    TiffHeader header;
    DirectoryChain chain = DirectoryChain::unreadable;
    uint32_t counted = 0;
    pages = 0;
    if (read_tiff_header(source, header))
        chain = count_tiff_directories(source, header, kTiffPageLimit, counted);
    source.seek(0);
    if (!source.error.empty())
        return image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source.error);
    switch (chain) {
    case DirectoryChain::ends:
        if (counted == 0)
            return image_fail(failure, ImageErrorKind::bad_input,
                              "the TIFF is damaged: its header points to no directory");
        pages = counted;
        return true;
    case DirectoryChain::loops:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the TIFF is damaged: the directory after page " +
                              std::to_string(counted) + " is one before it (IFD looping)");
    case DirectoryChain::unreadable:
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the TIFF is damaged: the directory of page " +
                              std::to_string(counted + 1) +
                              " lies past the end of the file or cannot be read");
    case DirectoryChain::too_long:
        break;
    }
    return image_fail(failure, ImageErrorKind::too_large,
                      "the TIFF has more than " + std::to_string(kTiffPageLimit) +
                          " pages, more than bfrun reads");
}
