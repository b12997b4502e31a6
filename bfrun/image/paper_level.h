// Taking the paper of a scan to white before the module sees it (--paper), as Photoshop's
// Levels does with its white input slider: a level N on the 0..255 scale, every colour sample
// from N up white and those below spread over the whole scale, alpha left as it is. With
// --paper auto, N is found from a histogram of the image's luminance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The level that changes nothing.
constexpr int kPaperUnchanged = 255;

// One sample at level N (1..255): 8-bit v gives v >= N ? 255 : (v * 255 + N / 2) / N, the
// nearest integer to v * 255 / N with halves up; 16-bit samples the same on 0..65535 with the
// level N * 257.
uint16_t paper_sample(uint16_t v, int level, int bits);

// The mapping for one file, as a table for its depth.
class PaperLevel {
  public:
    // channels 2 (grey + alpha) or 4 (RGBA), bits 8 or 16 (samples in machine order).
    PaperLevel(int level, int channels, int bits);
    // The colour samples of pixels first..end-1 of a row.
    void apply(uint8_t* row, size_t first, size_t end) const;

  private:
    int channels_, bits_;
    std::vector<uint16_t> table_;
};

// Pixels counted under the grey the module makes of them: the luminance, in millionths by the
// kernel's weights (transform/weights.h), divided by 10^6 and rounded down, the grey itself for
// a grey image, 16-bit values divided by 257; pixels with alpha 0 are not counted.
using LuminanceHistogram = std::array<uint64_t, 256>;
void count_luminance(const uint8_t* row, int channels, int bits, size_t first, size_t end,
                     LuminanceHistogram& histogram);

enum class PaperFound {
    paper,  // a paper darker than white: the level below it
    white,  // the paper is white already: no change
    none,   // no paper peak in the upper half: no change
    evened, // uneven light: the paper divided out where it lies (paper_light.h)
};

struct PaperChoice {
    int level = kPaperUnchanged;
    PaperFound found = PaperFound::none;
    int peak = 0;                // the paper's bin, when found
    int lowest = 0, highest = 0; // evened: the range of the levels over the image
};

PaperChoice choose_paper_level(const LuminanceHistogram& histogram);

// What bfrun says of the choice: "paper level 226 (auto)" and the like, "paper evened out:
// levels 180..236 (auto)" under uneven light.
std::string paper_line(const PaperChoice& choice);
