// Evening out uneven light under --paper auto (a phone photo of a page, light falling off
// across the sheet, a shadow near an edge): the paper's brightness is estimated over a coarse
// grid of cells in the first pass, and each colour sample is then divided by the paper where
// it lies, as a blurred copy of the layer in Divide blend mode does in Photoshop. When the
// light is even within the noise, the single level of paper_level.h stands instead. The first
// pass holds the grid and one row of cells' histograms, never the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bfrun/image/paper_level.h"

// The cells over the filter rectangle: square cells of side max(32, ceil(longer side / 64)),
// the rectangle cut into that many columns and rows (at most 64 each) as evenly as integers
// allow: column c covers left + c * width / columns up to the next one's start.
struct PaperGrid {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t columns = 0, rows = 0;
};
PaperGrid paper_grid(uint32_t left, uint32_t top, uint32_t width, uint32_t height);

// What one cell's luminance histogram says of its paper.
struct CellPaper {
    bool paper = false;    // enough of the cell lies near its peak to be paper
    double brightness = 0; // the paper's luminance: the mean of the bins near the peak
    int peak = 0;          // the peak's bin
    uint64_t above = 0;    // pixels brighter than the peak, for the noise
    uint64_t squares = 0;  // the sum of their squared distances from the peak
};
CellPaper cell_paper(const LuminanceHistogram& histogram);

// The first pass: the rectangle's rows given top to bottom (image coordinates, whole rows of
// the image as the reader gives them); each row of cells is summed up as the rows leave it.
class PaperLightCounter {
  public:
    PaperLightCounter(const PaperGrid& grid, int channels, int bits);
    void count_row(const uint8_t* row, uint32_t y);
    // After the last row: the cells row by row, and the whole rectangle's histogram.
    const std::vector<CellPaper>& cells();
    const LuminanceHistogram& histogram() const { return total_; }
    const PaperGrid& grid() const { return grid_; }

  private:
    void close_band();

    PaperGrid grid_;
    int channels_, bits_;
    uint32_t band_ = 0; // the row of cells being counted
    std::vector<uint32_t> column_starts_;
    std::vector<LuminanceHistogram> band_histograms_;
    LuminanceHistogram total_{};
    std::vector<CellPaper> cells_;
};

// The paper over the grid, each cell's value at its centre.
struct PaperLight {
    PaperGrid grid;
    std::vector<double> paper;       // the paper's luminance, ink cells filled in, smoothed
    std::vector<int32_t> levels_256; // the white level of each cell, in 1/256 of a level
    double noise = 0;                // the luminance's sigma, measured above the cells' peaks
    bool found = false;              // some cell shows paper
    bool even = false; // the cells' paper within 1.5 sigma (1 level without noise) of each other
};
PaperLight estimate_paper_light(const PaperGrid& grid, const std::vector<CellPaper>& cells);

// --paper auto's choice from the first pass: choose_paper_level on the whole histogram when
// the light is even (or no cell shows paper), else found evened with the range of the cells'
// levels; `light` is the grid to divide by.
PaperChoice choose_paper_light(PaperLightCounter& counter, PaperLight& light);

// Each colour sample divided by the level at its pixel, bilinear between the cells' centres
// (the nearest cells' past the outer centres): v * 255 / level, at most white; 16-bit samples
// the same on 0..65535. Alpha is left as it is.
class PaperEvener {
  public:
    // channels 2 or 4, bits 8 or 16 (samples in machine order).
    PaperEvener(const PaperLight& light, int channels, int bits);
    // Pixels first..end-1 of image row y, all within the grid.
    void apply(uint8_t* row, uint32_t y, size_t first, size_t end) const;
    // The level at a pixel, in 1/2^24 of a level.
    uint64_t level_at(uint32_t x, uint32_t y) const;

  private:
    void row_levels(uint32_t y, std::vector<uint64_t>& levels) const;

    PaperGrid grid_;
    std::vector<int32_t> levels_256_;
    int channels_, bits_;
    std::vector<uint32_t> column_at_; // per pixel of the grid's width: cell << 8 | weight
};
