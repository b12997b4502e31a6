#include "bfrun/image/orientation.h"

#include <algorithm>
#include <cstring>

namespace {

void swap_pixels(uint8_t* a, uint8_t* b, size_t pixel_bytes) {
    std::swap_ranges(a, a + pixel_bytes, b);
}

// Pixels first..last-1 in the reverse order.
void reverse_pixels(uint8_t* first, uint8_t* last, size_t pixel_bytes) {
    while (last - first >= static_cast<ptrdiff_t>(2 * pixel_bytes)) {
        last -= pixel_bytes;
        swap_pixels(first, last, pixel_bytes);
        first += pixel_bytes;
    }
}

// The stored pixel the upright image starts with, and the steps (in stored pixels) to the
// next pixel of an upright row and to the first of the next upright row.
struct Walk {
    ptrdiff_t start, across, down;
};

Walk walk_for(uint16_t orientation, uint32_t width, uint32_t height) {
    const ptrdiff_t w = width, last_row = ptrdiff_t{height - 1} * w, last_column = w - 1;
    switch (orientation) {
    case 2:
        return {last_column, -1, w};
    case 3:
        return {last_row + last_column, -1, -w};
    case 4:
        return {last_row, 1, -w};
    case 5:
        return {0, w, 1};
    case 6:
        return {last_row, -w, 1};
    case 7:
        return {last_row + last_column, -w, -1};
    case 8:
        return {last_column, w, -1};
    default:
        return {0, 1, w};
    }
}

// Pixels of N bytes, N known to the compiler for the sizes bfrun reads, else 0 and `size`.
// The walk is followed in indices: a pointer stepped past the last pixel of an upright row
// could point before the image.
template <size_t N>
void copy_walk(const uint8_t* stored, const Walk& walk, uint32_t upright_width,
               uint32_t upright_height, size_t size, uint8_t* upright) {
    const size_t bytes = N != 0 ? N : size;
    for (uint32_t v = 0; v < upright_height; ++v) {
        ptrdiff_t from = walk.start + ptrdiff_t{v} * walk.down;
        for (uint32_t u = 0; u < upright_width; ++u, from += walk.across, upright += bytes)
            std::memcpy(upright, stored + static_cast<size_t>(from) * bytes, N != 0 ? N : size);
    }
}

} // namespace

bool orientation_swaps_sides(uint16_t orientation) {
    return orientation >= 5 && orientation <= 8;
}

void orient_in_place(uint8_t* image, uint32_t width, uint32_t height, size_t pixel_bytes,
                     uint16_t orientation) {
    const size_t row_bytes = size_t{width} * pixel_bytes;
    uint8_t* end = image + row_bytes * height;
    switch (orientation) {
    case 2:
        for (uint8_t* row = image; row != end; row += row_bytes)
            reverse_pixels(row, row + row_bytes, pixel_bytes);
        break;
    case 3:
        reverse_pixels(image, end, pixel_bytes);
        break;
    case 4:
        for (uint32_t y = 0; y < height / 2; ++y)
            std::swap_ranges(image + y * row_bytes, image + (y + 1) * row_bytes,
                             end - (y + 1) * row_bytes);
        break;
    default:
        break;
    }
}

void orient_pixels(const uint8_t* stored, uint32_t width, uint32_t height, size_t pixel_bytes,
                   uint16_t orientation, uint8_t* upright) {
    if (width == 0 || height == 0) return;
    const Walk walk = walk_for(orientation, width, height);
    const bool swaps = orientation_swaps_sides(orientation);
    const uint32_t across = swaps ? height : width, down = swaps ? width : height;
    switch (pixel_bytes) {
    case 2:
        return copy_walk<2>(stored, walk, across, down, 2, upright);
    case 4:
        return copy_walk<4>(stored, walk, across, down, 4, upright);
    case 8:
        return copy_walk<8>(stored, walk, across, down, 8, upright);
    default:
        return copy_walk<0>(stored, walk, across, down, pixel_bytes, upright);
    }
}
