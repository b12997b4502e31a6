#include "bfrun/image/ink.h"

#include <cstring>

#include "transform/matte.h"

const InkName kInkNames[] = {
    {"black", 0x00, 0x00, 0x00},  {"white", 0xff, 0xff, 0xff},  {"grey", 0x80, 0x80, 0x80},
    {"gray", 0x80, 0x80, 0x80},   {"red", 0xff, 0x00, 0x00},    {"maroon", 0x80, 0x00, 0x00},
    {"brown", 0xa5, 0x2a, 0x2a},  {"orange", 0xff, 0xa5, 0x00}, {"green", 0x00, 0x80, 0x00},
    {"teal", 0x00, 0x80, 0x80},   {"blue", 0x00, 0x00, 0xff},   {"navy", 0x00, 0x00, 0x80},
    {"purple", 0x80, 0x00, 0x80},
};
const size_t kInkNameCount = sizeof kInkNames / sizeof kInkNames[0];

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "#rgb" or "#rrggbb", lower case.
bool parse_hex(const std::string& text, Ink& ink) {
    const size_t digits = text.size() - 1;
    if (text[0] != '#' || (digits != 3 && digits != 6)) return false;
    uint8_t rgb[3];
    for (size_t c = 0; c < 3; ++c) {
        const size_t at = 1 + c * digits / 3;
        const int high = hex_digit(text[at]), low = hex_digit(text[digits == 6 ? at + 1 : at]);
        if (high < 0 || low < 0) return false;
        rgb[c] = static_cast<uint8_t>(high * 16 + low);
    }
    ink = {InkKind::colour, rgb[0], rgb[1], rgb[2]};
    return true;
}

uint32_t sample(const uint8_t* row, size_t index, int bits) {
    if (bits != 16) return row[index];
    uint16_t v;
    std::memcpy(&v, row + 2 * index, 2);
    return v;
}

void put_sample(uint8_t* row, size_t index, int bits, uint32_t value) {
    if (bits != 16) {
        row[index] = static_cast<uint8_t>(value);
        return;
    }
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(row + 2 * index, &v, 2);
}

} // namespace

bool parse_ink(const std::string& text, Ink& ink) {
    if (text.empty()) return false;
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "keep") {
        ink = Ink{InkKind::keep};
        return true;
    }
    for (const InkName& name : kInkNames)
        if (lower == name.name) {
            ink = {InkKind::colour, name.red, name.green, name.blue};
            return true;
        }
    return parse_hex(lower, ink);
}

uint16_t keep_sample(uint32_t original, uint32_t original_alpha, uint32_t alpha, uint32_t full) {
    if (alpha == 0) return static_cast<uint16_t>(full);
    const uint32_t seen = apply_matte(original, original_alpha, full, full);
    return static_cast<uint16_t>(remove_matte(seen, alpha, full, full));
}

void ink_row(const Ink& ink, const uint8_t* result, const uint8_t* original, uint8_t* out,
             size_t width, int channels_in, int channels_out, int bits, size_t first, size_t end) {
    const uint32_t full = bits == 16 ? 65535 : 255;
    const size_t in = static_cast<size_t>(channels_in), to = static_cast<size_t>(channels_out);
    const uint8_t ink_colour[3] = {ink.red, ink.green, ink.blue};
    for (size_t x = 0; x < width; ++x) {
        const uint32_t alpha = sample(result, x * in + in - 1, bits);
        uint32_t colour[3];
        for (size_t c = 0; c < 3; ++c) {
            const size_t at = x * in + (in == 4 ? c : 0);
            colour[c] = sample(result, at, bits);
            if (x < first || x >= end) continue;
            if (ink.kind == InkKind::colour)
                colour[c] = ink_colour[c] * (full / 255); // 16 bits: 0xab to 0xabab
            else if (ink.kind == InkKind::keep)
                colour[c] = keep_sample(sample(original, at, bits),
                                        sample(original, x * in + in - 1, bits), alpha, full);
        }
        for (size_t c = 0; c + 1 < to; ++c)
            put_sample(out, x * to + c, bits, colour[c]);
        put_sample(out, x * to + to - 1, bits, alpha);
    }
}
