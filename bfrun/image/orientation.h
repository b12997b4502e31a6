// Turning an image's pixels upright as Exif's and TIFF's Orientation tag (274) says, where the
// stored 0th row and 0th column go when the image is seen:
//   1 top, left (as stored)      5 left, top (transpose)
//   2 top, right (mirror)        6 right, top (rotate 90 degrees clockwise)
//   3 bottom, right (rotate 180) 7 right, bottom (transverse)
//   4 bottom, left (flip)        8 left, bottom (rotate 90 degrees anticlockwise)
// Pixels are `pixel_bytes` each, rows packed; 5 to 8 swap width and height.
#pragma once

#include <cstddef>
#include <cstdint>

// Whether the upright image's width is the stored height (5 to 8).
bool orientation_swaps_sides(uint16_t orientation);

// 1 to 4, in place: the rows of a mirror reversed, the rows of a flip swapped, both for 3.
// Nothing for any other value.
void orient_in_place(uint8_t* image, uint32_t width, uint32_t height, size_t pixel_bytes,
                     uint16_t orientation);

// Any of 1 to 8 from `stored` (width x height) into `upright`, which must not overlap it and
// holds as many pixels; a value outside 1..8 copies as stored.
void orient_pixels(const uint8_t* stored, uint32_t width, uint32_t height, size_t pixel_bytes,
                   uint16_t orientation, uint8_t* upright);
