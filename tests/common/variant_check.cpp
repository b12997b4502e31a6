// The comparison of a kernel variant with the reference; see variant_check.h.
#include "tests/common/variant_check.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <random>
#include <vector>

#include "transform/samples.h"
#include "transform/weights.h"

namespace {

constexpr int64_t kFrontMargin = 64;
constexpr unsigned char kCanary = 0x99;

// A heap block aligned to 64 bytes whose last byte is the band's last byte, so that any read
// or write past the band leaves the block (AddressSanitizer sees it natively).
class BandBlock {
  public:
    BandBlock(const BandShape& shape, int64_t row_bytes)
        : shape_(shape), row_bytes_(row_bytes), stride_(row_bytes + shape.pad_bytes),
          size_(static_cast<size_t>(kFrontMargin + shape.offset + stride_ * (shape.rows - 1) +
                                    row_bytes)),
          data_(static_cast<unsigned char*>(::operator new (size_, std::align_val_t{64}))) {
        std::memset(data_, kCanary, size_);
    }
    ~BandBlock() { ::operator delete (data_, std::align_val_t{64}); }
    BandBlock(const BandBlock&) = delete;
    BandBlock& operator=(const BandBlock&) = delete;

    unsigned char* band() const { return data_ + kFrontMargin + shape_.offset; }
    unsigned char* row(int64_t y) const { return band() + y * stride_; }
    int64_t stride() const { return stride_; }
    void copy_from(const BandBlock& other) const { std::memcpy(data_, other.data_, size_); }

    // The first byte outside the pixels that is no longer the canary, or -1.
    int64_t first_touched_canary() const {
        for (size_t i = 0; i < size_; ++i) {
            const auto at = static_cast<int64_t>(i) - (kFrontMargin + shape_.offset);
            const bool in_pixels = at >= 0 && at % stride_ < row_bytes_;
            if (!in_pixels && data_[i] != kCanary) return static_cast<int64_t>(i);
        }
        return -1;
    }

  private:
    BandShape shape_;
    int64_t row_bytes_;
    int64_t stride_;
    size_t size_;
    unsigned char* data_;
};

uint32_t float_bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// 8-bit triples whose luminance lies within 2^-16 above or below an integer.
constexpr uint8_t kBoundaryTriples[][3] = {{0, 94, 156},   {1, 95, 157},   {13, 192, 144},
                                           {14, 193, 145}, {247, 99, 193}, {4, 183, 135}};

constexpr uint16_t kEdges16[] = {0, 1, 2, 32767, 32768, 32769, 65534, 65535};

constexpr uint32_t kOne = 0x3F800000;
constexpr uint32_t kSpecialFloats[] = {
    0x00000000, 0x80000000,             // +0, -0
    0x00000001, 0x007FFFFF, 0x80000001, // denormals
    0x00800000,                         // smallest normal
    kOne - 1,   kOne,       kOne + 1,   // 1 and its neighbours
    0x3F000000, 0xBF000000, 0x40000000, // 0.5, -0.5, 2
    0x7F800000, 0xFF800000,             // infinities
    0x7F7FFFFF, 0xFF7FFFFF,             // largest finite
    0x7FC00000, 0x7FC12345, 0xFFC00001, // quiet NaNs with payloads
    0x7F800001, 0x7FA00000, 0xFF812345, // signalling NaNs
};

// Triples whose luminance with the decimal weights is exactly an integer (16-bit) or exactly
// halfway between two floats (float): the double sums land a rounding error to either side, so
// a change in the order of the operations shows. With the weights in millionths,
// R red + G green + B blue = target (mod 10^6) holds for an even G and
// B = (target - R red - G green) / 2 x (blue / 2)^-1 (mod 500000); 441159 is that inverse.
int64_t blue_on_boundary(int64_t red, int64_t green, int64_t target) {
    static_assert(kBlueMillionths / 2 * 441159LL % 500000 == 1,
                  "the inverse of half the blue weight modulo 500000");
    int64_t rest = (target - kRedMillionths * red - kGreenMillionths * green) % 1000000;
    if (rest < 0) rest += 1000000;
    return rest / 2 * 441159 % 500000;
}

class SampleSource {
  public:
    explicit SampleSource(uint32_t random_start) : random_(random_start) {}
    uint32_t next() { return static_cast<uint32_t>(random_()); }
    int64_t below(int64_t n) { return static_cast<int64_t>(next() % static_cast<uint32_t>(n)); }

    void fill_pixel(unsigned char* p, int planes, int32_t depth) {
        const int colours = planes - 1;
        if (depth == 32) {
            fill_floats(p, colours);
            store_sample<uint32_t>(p + 4 * colours, next());
        } else if (depth == 16) {
            fill_16(p, colours);
            store_sample<uint16_t>(p + 2 * colours, static_cast<uint16_t>(next()));
        } else {
            fill_8(p, colours);
            p[colours] = static_cast<uint8_t>(next());
        }
    }

  private:
    void fill_8(unsigned char* p, int colours) {
        const int64_t kind = below(10);
        const auto grey = static_cast<uint8_t>(next());
        const auto& triple = kBoundaryTriples[below(std::size(kBoundaryTriples))];
        for (int c = 0; c < colours; ++c) {
            if (kind == 0)
                p[c] = grey;
            else if (kind == 1)
                p[c] = triple[c];
            else if (kind == 2)
                p[c] = below(2) != 0 ? 255 : 0;
            else
                p[c] = static_cast<uint8_t>(next());
        }
    }

    void fill_16(unsigned char* p, int colours) {
        const int64_t kind = below(9);
        if (kind == 8 && colours == 3) {
            int64_t red, green, blue;
            do {
                red = below(65536);
                green = 2 * below(32768);
                blue = blue_on_boundary(red, green, 0);
            } while (blue > 65535);
            const int64_t samples[] = {red, green, blue};
            for (int c = 0; c < 3; ++c)
                store_sample<uint16_t>(p + 2 * c, static_cast<uint16_t>(samples[c]));
            return;
        }
        const auto grey =
            kind == 0 ? static_cast<uint16_t>(next()) : kEdges16[below(std::size(kEdges16))];
        for (int c = 0; c < colours; ++c) {
            uint16_t v;
            if (kind <= 1)
                v = grey;
            else if (kind == 2)
                v = kEdges16[below(std::size(kEdges16))];
            else if (kind <= 5)
                v = static_cast<uint16_t>(below(32769));
            else
                v = static_cast<uint16_t>(next());
            store_sample<uint16_t>(p + 2 * c, v);
        }
    }

    void fill_floats(unsigned char* p, int colours) {
        const int64_t kind = below(9);
        if (kind == 8 && colours == 3) {
            // Samples n / 2^24 in [0.5, 1): luminance halfway between two floats.
            constexpr int64_t kHalf = 1 << 23;
            int64_t red, green, blue, sum;
            do {
                red = kHalf + below(kHalf);
                green = kHalf + 2 * below(kHalf / 2);
                const int64_t first = blue_on_boundary(red, green, 500000);
                blue = first + 500000 * ((kHalf - first + 499999) / 500000 + below(16));
                sum = kRedMillionths * red + kGreenMillionths * green + kBlueMillionths * blue;
            } while (blue >= 2 * kHalf || sum >= 2 * kHalf * 1000000);
            const int64_t samples[] = {red, green, blue};
            for (int c = 0; c < 3; ++c)
                store_sample<float>(p + 4 * c, static_cast<float>(samples[c]) * 0x1p-24f);
            return;
        }
        const uint32_t grey = kind == 0   ? float_bits(uniform())
                              : kind == 1 ? kOne - static_cast<uint32_t>(below(4))
                                          : special();
        const int64_t special_plane = below(colours);
        for (int c = 0; c < colours; ++c) {
            uint32_t v;
            if (kind <= 2)
                v = grey;
            else if (kind == 3 || (kind == 4 && c == special_plane))
                v = special();
            else if (kind == 5)
                v = float_bits(uniform() * 4.0f - 2.0f);
            else
                v = float_bits(uniform());
            store_sample<uint32_t>(p + 4 * c, v);
        }
    }

    float uniform() { return static_cast<float>(next() >> 8) * 0x1p-24f; }
    uint32_t special() { return kSpecialFloats[below(std::size(kSpecialFloats))]; }

    std::mt19937 random_;
};

int64_t sample_size(int32_t depth) {
    return static_cast<int64_t>(sample_size_for_depth(depth));
}

std::string hex_sample(const unsigned char* p, int64_t size) {
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(size));
    std::string text = "0x";
    for (int64_t digit = 2 * size - 1; digit >= 0; --digit)
        text += "0123456789abcdef"[(v >> (4 * digit)) & 0xF];
    return text;
}

std::string describe_shape(const RowsUnderTest& tested, const BandShape& s, uint32_t random_start) {
    return std::string(tested.name) + ", depth " + std::to_string(s.depth) + ", " +
           std::to_string(s.planes) + " planes, " + std::to_string(s.rows) + " x " +
           std::to_string(s.columns) + " pixels, pad " + std::to_string(s.pad_bytes) + ", offset " +
           std::to_string(s.offset) + ", random start " + std::to_string(random_start);
}

// A float pixel whose luminance meets two NaNs or infinities: which NaN's payload comes out
// of their sum is left open by IEEE 754 and by x86 (the first operand's), and a compiler may
// swap the operands of an addition. There the result must be a NaN, with any payload.
bool payload_may_differ(const unsigned char* input_pixel, const BandShape& s) {
    if (s.depth != 32 || s.planes != 4) return false;
    int non_finite = 0;
    for (int c = 0; c < 3; ++c)
        non_finite += std::isfinite(load_sample<float>(input_pixel + 4 * c)) ? 0 : 1;
    return non_finite >= 2;
}

// The first difference between the two runs of one band, or "".
std::string first_difference(const BandBlock& input, const BandBlock& want, const BandBlock& got,
                             const BandShape& s) {
    const int64_t touched = got.first_touched_canary();
    if (touched >= 0) {
        return "wrote outside the pixels, " + std::to_string(touched - kFrontMargin - s.offset) +
               " bytes from the band's start";
    }
    const int64_t size = sample_size(s.depth);
    const int64_t pixel_bytes = size * s.planes;
    for (int64_t y = 0; y < s.rows; ++y) {
        for (int64_t x = 0; x < s.columns; ++x) {
            const int64_t at = x * pixel_bytes;
            for (int plane = 0; plane < s.planes; ++plane) {
                const unsigned char* w = want.row(y) + at + plane * size;
                const unsigned char* g = got.row(y) + at + plane * size;
                if (std::memcmp(w, g, static_cast<size_t>(size)) == 0) continue;
                if (payload_may_differ(input.row(y) + at, s) && std::isnan(load_sample<float>(w)) &&
                    std::isnan(load_sample<float>(g)))
                    continue;
                std::string in;
                for (int c = 0; c < s.planes; ++c)
                    in += (c == 0 ? "" : " ") + hex_sample(input.row(y) + at + c * size, size);
                return "row " + std::to_string(y) + " column " + std::to_string(x) + " plane " +
                       std::to_string(plane) + ": got " + hex_sample(g, size) + ", want " +
                       hex_sample(w, size) + " (pixel in: " + in + ")";
            }
        }
    }
    return "";
}

} // namespace

RowsUnderTest rows_under_test(KernelVariant variant) {
    return {rows_of(variant), kernel_variant_name(variant)};
}

std::string compare_band_with_reference(const RowsUnderTest& tested, const BandShape& s,
                                        uint32_t random_start) {
    const int64_t row_bytes = s.columns * s.planes * sample_size(s.depth);
    const BandBlock input(s, row_bytes), want(s, row_bytes), got(s, row_bytes);
    SampleSource source(random_start);
    for (int64_t y = 0; y < s.rows; ++y)
        for (int64_t x = 0; x < s.columns; ++x)
            source.fill_pixel(input.row(y) + x * s.planes * sample_size(s.depth), s.planes,
                              s.depth);
    want.copy_from(input);
    got.copy_from(input);
    luminance_to_alpha_with(reference_rows, want.band(), s.rows, s.columns, want.stride(), s.planes,
                            s.depth);
    luminance_to_alpha_with(tested.rows, got.band(), s.rows, s.columns, got.stride(), s.planes,
                            s.depth);
    const std::string difference = first_difference(input, want, got, s);
    return difference.empty() ? "" : describe_shape(tested, s, random_start) + ": " + difference;
}

std::string compare_random_bands(const RowsUnderTest& tested, uint32_t random_start, int bands) {
    std::mt19937 random(random_start);
    for (int i = 0; i < bands; ++i) {
        BandShape s;
        s.planes = random() % 2 == 0 ? 2 : 4;
        const int32_t depths[] = {8, 16, 32};
        s.depth = depths[random() % 3];
        const uint32_t width_kind = random() % 10;
        const auto next = [&random](uint32_t below) {
            return static_cast<int64_t>(random() % below);
        };
        s.columns = width_kind < 6   ? 1 + next(17)
                    : width_kind < 9 ? 18 + next(100)
                                     : 250 + next(1100);
        s.rows = 1 + next(3);
        s.pad_bytes = next(18);
        s.offset = next(64);
        std::string failure =
            compare_band_with_reference(tested, s, static_cast<uint32_t>(random()));
        if (!failure.empty()) return failure;
    }
    return "";
}

namespace {

// One row through the reference and through the rows under test; the first differing pixel, or -1.
int64_t first_differing_pixel(const RowsUnderTest& tested, const std::vector<unsigned char>& row,
                              int planes, int32_t depth, std::vector<unsigned char>& want,
                              std::vector<unsigned char>& got) {
    const int64_t pixel_bytes = planes * sample_size(depth);
    const auto columns = static_cast<int64_t>(row.size()) / pixel_bytes;
    want = row;
    got = row;
    luminance_to_alpha_with(reference_rows, want.data(), 1, columns,
                            static_cast<ptrdiff_t>(row.size()), planes, depth);
    luminance_to_alpha_with(tested.rows, got.data(), 1, columns, static_cast<ptrdiff_t>(row.size()),
                            planes, depth);
    for (int64_t x = 0; x < columns; ++x) {
        if (std::memcmp(&want[x * pixel_bytes], &got[x * pixel_bytes], pixel_bytes) != 0) return x;
    }
    return -1;
}

std::string pixel_text(const unsigned char* p, int planes, int32_t depth) {
    std::string text;
    for (int c = 0; c < planes; ++c)
        text += (c == 0 ? "" : " ") + hex_sample(p + c * sample_size(depth), sample_size(depth));
    return text;
}

std::string report(const RowsUnderTest& tested, const char* what,
                   const std::vector<unsigned char>& row, int64_t x, int planes, int32_t depth,
                   const std::vector<unsigned char>& want, const std::vector<unsigned char>& got) {
    const int64_t at = x * planes * sample_size(depth);
    return std::string(tested.name) + ", " + what + ": pixel " +
           pixel_text(&row[at], planes, depth) + " gives " + pixel_text(&got[at], planes, depth) +
           ", want " + pixel_text(&want[at], planes, depth);
}

} // namespace

std::string compare_all_rgb_triples(const RowsUnderTest& tested) {
    // One row per red value: all 65536 (green, blue) pairs, alpha varying too.
    std::vector<unsigned char> row(65536 * 4), want, got;
    for (int red = 0; red < 256; ++red) {
        for (int i = 0; i < 65536; ++i) {
            row[4 * i] = static_cast<unsigned char>(red);
            row[4 * i + 1] = static_cast<unsigned char>(i >> 8);
            row[4 * i + 2] = static_cast<unsigned char>(i);
            row[4 * i + 3] = static_cast<unsigned char>(i * 7 + red);
        }
        const int64_t x = first_differing_pixel(tested, row, 4, 8, want, got);
        if (x >= 0) return report(tested, "8-bit colour", row, x, 4, 8, want, got);
    }
    return "";
}

std::string compare_all_greys(const RowsUnderTest& tested) {
    std::vector<unsigned char> row, want, got;
    // 8-bit: every grey with every alpha.
    row.resize(65536 * 2);
    for (int i = 0; i < 65536; ++i) {
        row[2 * i] = static_cast<unsigned char>(i);
        row[2 * i + 1] = static_cast<unsigned char>(i >> 8);
    }
    int64_t x = first_differing_pixel(tested, row, 2, 8, want, got);
    if (x >= 0) return report(tested, "8-bit grey", row, x, 2, 8, want, got);
    // 16-bit: every grey, over the host's scale too.
    row.resize(65536 * 4);
    for (int i = 0; i < 65536; ++i) {
        store_sample<uint16_t>(&row[4 * i], static_cast<uint16_t>(i));
        store_sample<uint16_t>(&row[4 * i + 2], static_cast<uint16_t>(i * 40503u));
    }
    x = first_differing_pixel(tested, row, 2, 16, want, got);
    if (x >= 0) return report(tested, "16-bit grey", row, x, 2, 16, want, got);
    return "";
}

std::string compare_short_widths_at_every_offset(const RowsUnderTest& tested) {
    for (const int planes : {2, 4}) {
        for (const int32_t depth : {8, 16, 32}) {
            for (int64_t columns = 1; columns <= 4099;
                 columns = columns < 35 ? columns + 1 : 4099) {
                for (int64_t offset = 0; offset < 16; ++offset) {
                    BandShape shape;
                    shape.planes = planes;
                    shape.depth = depth;
                    shape.columns = columns;
                    shape.offset = offset;
                    shape.rows = 1 + offset % 3;
                    shape.pad_bytes = (columns + offset) % 18;
                    const auto random_start = static_cast<uint32_t>(columns * 16 + offset);
                    std::string failure = compare_band_with_reference(tested, shape, random_start);
                    if (!failure.empty()) return failure;
                }
                if (columns == 4099) break;
            }
        }
    }
    return "";
}
