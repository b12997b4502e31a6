#include "bfrun/drive/band_delivery.h"

#include <memory>

#include "bfrun/drive/sample_scale.h"
#include "transform/samples.h"

namespace {

// 8-bit matting by table: [alpha][colour], for each matte, made when first needed.
struct MatteTables {
    uint8_t apply[256][256];
    uint8_t remove[256][256];
};

const MatteTables& tables_for(Matte matte) {
    static std::unique_ptr<MatteTables> made[4];
    std::unique_ptr<MatteTables>& tables = made[static_cast<int>(matte)];
    if (!tables) {
        tables.reset(new MatteTables);
        const uint32_t level = matte_level(matte, kScale8);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t c = 0; c < 256; ++c) {
                tables->apply[a][c] = static_cast<uint8_t>(apply_matte(c, a, level, kScale8));
                tables->remove[a][c] = static_cast<uint8_t>(remove_matte(c, a, level, kScale8));
            }
    }
    return *tables;
}

uint32_t file_sample(const uint8_t* pixel, int plane, int bits) {
    return bits == 16 ? load_sample<uint16_t>(pixel + 2 * ptrdiff_t{plane}) : pixel[plane];
}

void put_file_sample(uint8_t* pixel, int plane, int bits, uint32_t value) {
    if (bits == 16)
        store_sample<uint16_t>(pixel + 2 * ptrdiff_t{plane}, static_cast<uint16_t>(value));
    else
        pixel[plane] = static_cast<uint8_t>(value);
}

// One host depth: its sample type, the conversions from and to the file's samples, matting.
struct Host16 {
    using T = uint16_t;
    static T from_file(uint32_t v, int) { return png16_to_host(static_cast<uint16_t>(v)); }
    static uint32_t to_file(T v, int) { return host_to_png16(v); }
    static T matte(T c, T a, Matte m) {
        return static_cast<T>(apply_matte(c, a, matte_level(m, kScale16), kScale16));
    }
    static T unmatte(T c, T a, Matte m) {
        return static_cast<T>(remove_matte(c, a, matte_level(m, kScale16), kScale16));
    }
};

struct HostFloat {
    using T = float;
    static T from_file(uint32_t v, int bits) { return png_to_float(v, bits); }
    static uint32_t to_file(T v, int bits) { return float_to_png(v, bits); }
    static T matte(T c, T a, Matte m) { return apply_matte(c, a, matte_level(m)); }
    static T unmatte(T c, T a, Matte m) { return remove_matte(c, a, matte_level(m)); }
};

template <typename Host>
void deliver(RowStore& store, const BandArea& band, Matte matte, uint8_t* out, int32_t row_bytes) {
    using T = typename Host::T;
    const int alpha_plane = store.channels() - 1, bits = store.bits();
    const size_t pixel_size = static_cast<size_t>(store.channels()) * (bits / 8);
    const VRect& r = band.rect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* to = out + static_cast<size_t>(y - r.top) * static_cast<size_t>(row_bytes);
        const uint8_t* pixel = store.row(y) + static_cast<size_t>(r.left) * pixel_size;
        for (int32_t x = r.left; x < r.right; ++x, pixel += pixel_size) {
            const T alpha = Host::from_file(file_sample(pixel, alpha_plane, bits), bits);
            for (int k = band.lo; k <= band.hi; ++k, to += sizeof(T)) {
                const T value = Host::from_file(file_sample(pixel, k, bits), bits);
                const bool keep = k == alpha_plane || matte == Matte::none;
                store_sample<T>(to, keep ? value : Host::matte(value, alpha, matte));
            }
        }
    }
}

template <typename Host>
void write_back(RowStore& store, const BandArea& band, Matte matte, const uint8_t* buffer,
                int32_t row_bytes) {
    using T = typename Host::T;
    const int alpha_plane = store.channels() - 1, bits = store.bits();
    const size_t pixel_size = static_cast<size_t>(store.channels()) * (bits / 8);
    const VRect& r = band.rect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* from =
            buffer + static_cast<size_t>(y - r.top) * static_cast<size_t>(row_bytes);
        uint8_t* pixel = store.row(y) + static_cast<size_t>(r.left) * pixel_size;
        for (int32_t x = r.left; x < r.right; ++x, pixel += pixel_size) {
            T alpha;
            if (alpha_plane <= band.hi) {
                alpha = load_sample<T>(from + (alpha_plane - band.lo) * sizeof(T));
                put_file_sample(pixel, alpha_plane, bits, Host::to_file(alpha, bits));
            } else {
                alpha = Host::from_file(file_sample(pixel, alpha_plane, bits), bits);
            }
            for (int k = band.lo; k <= band.hi; ++k, from += sizeof(T)) {
                if (k == alpha_plane) continue;
                const T value = load_sample<T>(from);
                const T plain = matte == Matte::none ? value : Host::unmatte(value, alpha, matte);
                put_file_sample(pixel, k, bits, Host::to_file(plain, bits));
            }
        }
    }
}

// 8-bit files at the host's 8 bits: the samples are the same, the matting is by table.
void deliver8(RowStore& store, const BandArea& band, Matte matte, uint8_t* out, int32_t row_bytes) {
    const MatteTables& tables = tables_for(matte);
    const int channels = store.channels(), alpha_plane = channels - 1;
    const VRect& r = band.rect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* to = out + static_cast<size_t>(y - r.top) * static_cast<size_t>(row_bytes);
        const uint8_t* pixel = store.row(y) + static_cast<size_t>(r.left) * channels;
        for (int32_t x = r.left; x < r.right; ++x, pixel += channels) {
            const uint8_t* apply = tables.apply[pixel[alpha_plane]];
            for (int k = band.lo; k <= band.hi; ++k)
                *to++ = k == alpha_plane || matte == Matte::none ? pixel[k] : apply[pixel[k]];
        }
    }
}

void write_back8(RowStore& store, const BandArea& band, Matte matte, const uint8_t* buffer,
                 int32_t row_bytes) {
    const MatteTables& tables = tables_for(matte);
    const int channels = store.channels(), alpha_plane = channels - 1;
    const VRect& r = band.rect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* from =
            buffer + static_cast<size_t>(y - r.top) * static_cast<size_t>(row_bytes);
        uint8_t* pixel = store.row(y) + static_cast<size_t>(r.left) * channels;
        for (int32_t x = r.left; x < r.right; ++x, pixel += channels) {
            if (alpha_plane <= band.hi) pixel[alpha_plane] = from[alpha_plane - band.lo];
            const uint8_t* remove = tables.remove[pixel[alpha_plane]];
            for (int k = band.lo; k <= band.hi; ++k, ++from)
                if (k != alpha_plane) pixel[k] = matte == Matte::none ? *from : remove[*from];
        }
    }
}

} // namespace

void deliver_band(RowStore& store, const BandArea& band, int32_t depth, Matte matte, uint8_t* out,
                  int32_t row_bytes) {
    if (depth == 32)
        deliver<HostFloat>(store, band, matte, out, row_bytes);
    else if (store.bits() == 16)
        deliver<Host16>(store, band, matte, out, row_bytes);
    else
        deliver8(store, band, matte, out, row_bytes);
}

void write_back_band(RowStore& store, const BandArea& band, int32_t depth, Matte matte,
                     const uint8_t* buffer, int32_t row_bytes) {
    if (depth == 32)
        write_back<HostFloat>(store, band, matte, buffer, row_bytes);
    else if (store.bits() == 16)
        write_back<Host16>(store, band, matte, buffer, row_bytes);
    else
        write_back8(store, band, matte, buffer, row_bytes);
}
