// The level --paper auto chose before it evened out uneven light, for tools/bench-paper to run
// the single level beside the evened result: choose_paper_level on the luminance histogram of
// a binary PPM (8-bit RGB, every pixel counted). Prints the level.
// Usage: paper_level_of IMAGE.ppm
#include <cstdio>
#include <vector>

#include "bfrun/image/paper_level.h"

namespace {

// A header number: blanks skipped, then decimal digits up to the blank after them, which is
// read too; false for anything else or past 65535.
bool read_number(FILE* file, int& value) {
    int c = std::fgetc(file);
    while (c == ' ' || c == '\n' || c == '\r' || c == '\t')
        c = std::fgetc(file);
    value = 0;
    int digits = 0;
    for (; c >= '0' && c <= '9' && value <= 65535; c = std::fgetc(file), ++digits)
        value = value * 10 + (c - '0');
    return digits > 0 && value <= 65535 && (c == ' ' || c == '\n' || c == '\r' || c == '\t');
}

} // namespace

int main(int argc, char** argv) {
    FILE* file = argc == 2 ? std::fopen(argv[1], "rb") : nullptr;
    int width = 0, height = 0, max = 0;
    if (file == nullptr || std::fgetc(file) != 'P' || std::fgetc(file) != '6' ||
        !read_number(file, width) || !read_number(file, height) || !read_number(file, max) ||
        max != 255 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: paper_level_of IMAGE.ppm (8-bit binary)\n");
        return 2;
    }
    LuminanceHistogram histogram{};
    std::vector<uint8_t> rgb(size_t(width) * 3), rgba(size_t(width) * 4, 255);
    for (int y = 0; y < height; ++y) {
        if (std::fread(rgb.data(), 1, rgb.size(), file) != rgb.size()) return 1;
        for (size_t x = 0; x < size_t(width); ++x)
            for (size_t k = 0; k < 3; ++k)
                rgba[4 * x + k] = rgb[3 * x + k];
        count_luminance(rgba.data(), 4, 8, 0, size_t(width), histogram);
    }
    std::printf("%d\n", choose_paper_level(histogram).level);
    return std::fclose(file) == 0 ? 0 : 1;
}
