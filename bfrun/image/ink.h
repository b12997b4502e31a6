// --ink: bfrun's own step after the module, as a Photoshop user locks the transparent pixels of
// the filtered layer and fills it with a colour. The module's alpha is kept as it is; only the
// colour samples change, and only within the filter rectangle. COLOUR gives every pixel one
// colour; keep gives each pixel the colour that, at the module's alpha laid over white, comes
// back nearest the pixel as the module saw it (so a red seal stays red, black stays black).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class InkKind { none, colour, keep };

struct Ink {
    InkKind kind = InkKind::none;
    uint8_t red = 0, green = 0, blue = 0; // kind colour: on the 8-bit scale
};

// The colour names --ink takes, with CSS's values for them.
struct InkName {
    const char* name;
    uint8_t red, green, blue;
};
extern const InkName kInkNames[];
extern const size_t kInkNameCount;

// "keep", a name of kInkNames, "#rrggbb" or "#rgb" (each digit twice), in any case; false for
// anything else, `ink` unchanged.
bool parse_ink(const std::string& text, Ink& ink);

// keep on one colour sample, on the file's scale (`full` 255 or 65535): `original` and
// `original_alpha` the pixel as the file gives it, `alpha` the module's. The original is laid
// over white by its own alpha (the module sees it so), then p = 1 - (1 - c) / a, which is
// removing a white matte at the module's alpha: nearest integer, halves up, clamped to 0 (it
// cannot pass full). Alpha 0 shows no colour, and gives white.
uint16_t keep_sample(uint32_t original, uint32_t original_alpha, uint32_t alpha, uint32_t full);

// One row as it leaves bfrun: `result`, the module's row (`channels_in` 2 or 4, the file's
// `bits`), to `out` with `channels_out` (channels_in, or 4 from 2); the pixels first..end-1
// coloured by `ink`, the others copied (a grey made R = G = B). `original` is the row as the
// module saw it, read for keep only.
void ink_row(const Ink& ink, const uint8_t* result, const uint8_t* original, uint8_t* out,
             size_t width, int channels_in, int channels_out, int bits, size_t first, size_t end);
