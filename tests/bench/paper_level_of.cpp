// The level --paper auto chose before it evened out uneven light, for tools/bench-paper to run
// the single level beside the evened result: choose_paper_level on the luminance histogram of
// a binary PPM (8-bit RGB, every pixel counted). Prints the level.
// Usage: paper_level_of IMAGE.ppm
#include <cstdio>
#include <vector>

#include "bfrun/image/paper_level.h"

int main(int argc, char** argv) {
    FILE* file = argc == 2 ? std::fopen(argv[1], "rb") : nullptr;
    int width = 0, height = 0, max = 0;
    if (file == nullptr || std::fscanf(file, "P6 %d %d %d", &width, &height, &max) != 3 ||
        max != 255 || width <= 0 || height <= 0 || std::fgetc(file) == EOF) {
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
