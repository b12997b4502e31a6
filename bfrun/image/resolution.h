// An image's resolution as its file stores it (TIFF's and Exif's rationals, JFIF's densities)
// turned into the pHYs of the output: the one place for the rounding to pixels per metre and for
// the aspect ratio kept exactly where there is no unit.
#pragma once

#include <cstdint>

#include "bfrun/image/image_reader.h"

struct Rational {
    uint32_t numerator = 0, denominator = 0;
};

// TIFF's and Exif's ResolutionUnit values; JFIF's 0, 1 and 2 are one less.
enum class ResolutionUnit : uint16_t { none = 1, inch = 2, centimetre = 3 };

// Sets the metadata's pHYs from pixels per unit across (x) and down (y). Per inch or per
// centimetre: pixels per metre, rounded to the nearest. Without a unit: the ratio x : y itself,
// in the smallest whole numbers that give it exactly, or, where those pass pHYs's 2^31 - 1, its
// continued fraction's best approximation within that; square pixels then need no pHYs. Nothing
// is set for a value that is 0, has a denominator of 0 or is out of pHYs's range.
void set_resolution(ImageMetadata& metadata, Rational x, Rational y, ResolutionUnit unit);
