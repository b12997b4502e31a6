// The image modes the filter handles and the planes each one carries (colour planes plus
// transparency): the module checks a host's record against them, bfrun fills its record from
// them.
#pragma once

#include <cstdint>

#include "host/host_codes.h"

// Samples per pixel the image mode calls for: grey + alpha or RGB + alpha; 0 for a mode the
// filter does not handle.
inline int planes_for_mode(int16_t image_mode) {
    switch (image_mode) {
    case plugInModeGrayScale:
    case plugInModeGray16:
    case plugInModeGray32:
        return 2;
    case plugInModeRGBColor:
    case plugInModeRGB48:
    case plugInModeRGB96:
        return 4;
    default:
        return 0;
    }
}

// The mode of a layer with `planes` planes (2 grey, otherwise RGB) at a host depth (8, 16 or
// 32).
inline int16_t mode_for_planes(int planes, int32_t depth) {
    const bool grey = planes == 2;
    if (depth == 32) return grey ? plugInModeGray32 : plugInModeRGB96;
    if (depth == 16) return grey ? plugInModeGray16 : plugInModeRGB48;
    return grey ? plugInModeGrayScale : plugInModeRGBColor;
}
