#include "bfrun/image/paper_light.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kMaxCells = 64; // columns and rows of cells at most
constexpr uint32_t kMinCellSide = 32;

uint32_t ceil_div(uint32_t a, uint32_t b) {
    return static_cast<uint32_t>((uint64_t{a} + b - 1) / b);
}

// Pixel i of n across `cells` cells: the cell whose centre is at or before the pixel's centre
// (the first past the outer centres) and the weight, 0..255, of the next one.
uint32_t cell_and_weight(uint32_t i, uint32_t n, uint32_t cells) {
    const int64_t at_256 =
        static_cast<int64_t>((2 * uint64_t{i} + 1) * cells * 256 / (2 * uint64_t{n})) - 128;
    const int64_t last = (int64_t{cells} - 1) * 256;
    const uint32_t clamped = static_cast<uint32_t>(std::clamp<int64_t>(at_256, 0, last));
    return (clamped >> 8) << 8 | (clamped & 255);
}

// The noise's margin as --paper's single level takes it: the least d with d >= 4.5 sigma.
int noise_margin(uint64_t above, uint64_t squares) {
    uint64_t d = 0;
    while (4 * d * d * above < 81 * squares)
        ++d;
    return static_cast<int>(d);
}

// One line of the grid, across or down, smoothed by 1 2 1 with a straight line carried past
// each end, so that light falling off evenly comes through unchanged.
void smooth_line(std::vector<double>& values, size_t first, size_t step, size_t count) {
    if (count < 2) return;
    std::vector<double> line(count + 2);
    for (size_t k = 0; k < count; ++k)
        line[k + 1] = values[first + k * step];
    line[0] = 2 * line[1] - line[2];
    line[count + 1] = 2 * line[count] - line[count - 1];
    for (size_t k = 0; k < count; ++k)
        values[first + k * step] = (line[k] + 2 * line[k + 1] + line[k + 2]) / 4;
}

} // namespace

PaperGrid paper_grid(uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
    PaperGrid grid{left, top, width, height, 0, 0};
    const uint32_t side = std::max(kMinCellSide, ceil_div(std::max(width, height), kMaxCells));
    grid.columns = ceil_div(width, side);
    grid.rows = ceil_div(height, side);
    return grid;
}

CellPaper cell_paper(const LuminanceHistogram& histogram) {
    CellPaper cell;
    uint64_t total = 0;
    for (uint64_t count : histogram)
        total += count;
    if (total == 0) return cell;
    // The top: the brightest bin with 1/50 of the pixels at or above it, past specks and glare.
    const uint64_t need = std::max<uint64_t>(1, total / 50);
    int top = 255;
    for (uint64_t at_or_above = histogram[255]; at_or_above < need;)
        at_or_above += histogram[--top];
    auto sum = [&](int from, int to) {
        uint64_t s = 0;
        for (int b = std::max(from, 0); b <= std::min(to, 255); ++b)
            s += histogram[b];
        return s;
    };
    // The peak: the fullest 5 bins centred at most 32 below the top (the brighter on a tie), so
    // that the paper, which is the brightest thing on the page, is found even where ink
    // outweighs it.
    int window = top;
    for (int b = top; b >= std::max(0, top - 32); --b)
        if (sum(b - 2, b + 2) > sum(window - 2, window + 2)) window = b;
    // Within those 5 bins the fullest one, as --paper's single level takes its peak.
    int peak = std::min(window + 2, 255);
    for (int b = peak; b >= std::max(window - 2, 0); --b)
        if (histogram[b] > histogram[peak]) peak = b;
    cell.peak = peak;
    // Paper is held in a few bins by its noise: the 7 around the peak hold 1/8 of the cell
    // (4.5 times a flat histogram's share) or the cell is taken for ink or a photograph.
    cell.paper = sum(peak - 3, peak + 3) * 8 >= total;
    // The brightness: from the peak, the mean of the bins within 4 of it, moved to that mean
    // and taken again, three times; steadier than the one fullest bin of a small cell.
    double centre = peak;
    for (int round = 0; round < 3; ++round) {
        double weighted = 0, count = 0;
        for (int b = std::max(0, int(std::ceil(centre - 4))); b <= std::min(255, int(centre + 4));
             ++b) {
            weighted += double(histogram[b]) * b;
            count += double(histogram[b]);
        }
        if (count == 0) break;
        centre = weighted / count;
    }
    cell.brightness = centre;
    for (int b = peak + 1; b < 256; ++b) {
        cell.above += histogram[b];
        cell.squares += histogram[b] * static_cast<uint64_t>((b - peak) * (b - peak));
    }
    return cell;
}

PaperLightCounter::PaperLightCounter(const PaperGrid& grid, int channels, int bits)
    : grid_(grid), channels_(channels), bits_(bits), band_histograms_(grid.columns),
      cells_(size_t{grid.columns} * grid.rows) {
    for (uint32_t c = 0; c <= grid.columns; ++c)
        column_starts_.push_back(grid.left +
                                 static_cast<uint32_t>(uint64_t{c} * grid.width / grid.columns));
    for (LuminanceHistogram& h : band_histograms_)
        h.fill(0);
}

void PaperLightCounter::count_row(const uint8_t* row, uint32_t y) {
    if (y < grid_.top || y - grid_.top >= grid_.height) return;
    const uint32_t at = y - grid_.top;
    // Rows leave a band of cells when the next one's first row is reached.
    while (band_ < grid_.rows &&
           at >= static_cast<uint32_t>(uint64_t{band_ + 1} * grid_.height / grid_.rows))
        close_band();
    for (uint32_t c = 0; c < grid_.columns; ++c)
        count_luminance(row, channels_, bits_, column_starts_[c], column_starts_[c + 1],
                        band_histograms_[c]);
}

void PaperLightCounter::close_band() {
    for (uint32_t c = 0; c < grid_.columns; ++c) {
        LuminanceHistogram& h = band_histograms_[c];
        cells_[size_t{band_} * grid_.columns + c] = cell_paper(h);
        for (size_t b = 0; b < h.size(); ++b)
            total_[b] += h[b];
        h.fill(0);
    }
    ++band_;
}

const std::vector<CellPaper>& PaperLightCounter::cells() {
    while (band_ < grid_.rows)
        close_band();
    return cells_;
}

PaperLight estimate_paper_light(const PaperGrid& grid, const std::vector<CellPaper>& cells) {
    PaperLight light;
    light.grid = grid;
    const size_t columns = grid.columns, rows = grid.rows, n = columns * rows;
    if (n == 0 || cells.size() != n) return light;
    // A cell of ink with no paper in it looks like a dark paper. It is taken for ink when it is
    // darker than 0.85 of the median paper of the 3 x 3 cells around it (itself among them), or
    // than half the upper quartile of the 7 x 7, for a blot of ink several cells wide; 3 cells
    // of paper at least in either. The light of a shadow's edge falls less than that.
    std::vector<bool> have(n, false);
    std::vector<double> value(n, 0);
    uint64_t above = 0, squares = 0;
    auto paper_around = [&](size_t r, size_t c, size_t reach) {
        std::vector<double> around;
        for (size_t rr = r > reach ? r - reach : 0; rr <= std::min(r + reach, rows - 1); ++rr)
            for (size_t cc = c > reach ? c - reach : 0; cc <= std::min(c + reach, columns - 1);
                 ++cc)
                if (cells[rr * columns + cc].paper)
                    around.push_back(cells[rr * columns + cc].brightness);
        std::sort(around.begin(), around.end());
        return around;
    };
    for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < columns; ++c) {
            const CellPaper& cell = cells[r * columns + c];
            if (!cell.paper) continue;
            const std::vector<double> near = paper_around(r, c, 1), wide = paper_around(r, c, 3);
            if (near.size() >= 3 && cell.brightness < 0.85 * near[near.size() / 2]) continue;
            if (wide.size() >= 3 && cell.brightness < 0.5 * wide[wide.size() * 3 / 4]) continue;
            have[r * columns + c] = true;
            value[r * columns + c] = cell.brightness;
            above += cell.above;
            squares += cell.squares;
        }
    if (std::find(have.begin(), have.end(), true) == have.end()) return light;
    light.found = true;
    // Cells without paper take the mean of their neighbours that have it, ring by ring.
    for (bool missing = true; missing;) {
        missing = false;
        std::vector<bool> had = have;
        std::vector<double> was = value;
        for (size_t r = 0; r < rows; ++r)
            for (size_t c = 0; c < columns; ++c) {
                if (had[r * columns + c]) continue;
                double sum = 0;
                int count = 0;
                for (size_t rr = r > 0 ? r - 1 : 0; rr <= std::min(r + 1, rows - 1); ++rr)
                    for (size_t cc = c > 0 ? c - 1 : 0; cc <= std::min(c + 1, columns - 1); ++cc)
                        if (had[rr * columns + cc]) {
                            sum += was[rr * columns + cc];
                            ++count;
                        }
                if (count == 0) {
                    missing = true;
                    continue;
                }
                value[r * columns + c] = sum / count;
                have[r * columns + c] = true;
            }
    }
    for (size_t r = 0; r < rows; ++r)
        smooth_line(value, r * columns, 1, columns);
    for (size_t c = 0; c < columns; ++c)
        smooth_line(value, c, columns, rows);
    light.paper = value;
    light.noise =
        above > 0 ? std::sqrt(static_cast<double>(squares) / static_cast<double>(above)) : 0.0;
    const int margin = noise_margin(above, squares);
    for (double p : value) {
        const double level = std::max(p - margin, p / 2);
        light.levels_256.push_back(
            std::max<int32_t>(256, static_cast<int32_t>(std::lround(level * 256))));
    }
    const auto [lowest, highest] = std::minmax_element(value.begin(), value.end());
    light.even = *highest - *lowest <= std::max(1.0, 1.5 * light.noise);
    return light;
}

PaperChoice choose_paper_light(PaperLightCounter& counter, PaperLight& light) {
    light = estimate_paper_light(counter.grid(), counter.cells());
    if (!light.found || light.even) return choose_paper_level(counter.histogram());
    PaperChoice choice;
    choice.found = PaperFound::evened;
    const auto [lowest, highest] =
        std::minmax_element(light.levels_256.begin(), light.levels_256.end());
    choice.lowest = (*lowest + 128) / 256;
    choice.highest = (*highest + 128) / 256;
    return choice;
}

PaperEvener::PaperEvener(const PaperLight& light, int channels, int bits)
    : grid_(light.grid), levels_256_(light.levels_256), channels_(channels), bits_(bits) {
    for (uint32_t x = 0; x < grid_.width; ++x)
        column_at_.push_back(cell_and_weight(x, grid_.width, grid_.columns));
}

// The levels of the cells' columns at row y, in 1/65536 of a level.
void PaperEvener::row_levels(uint32_t y, std::vector<uint64_t>& levels) const {
    const uint32_t at = cell_and_weight(y - grid_.top, grid_.height, grid_.rows);
    const size_t r = at >> 8, next = std::min<size_t>(r + 1, grid_.rows - 1);
    const uint64_t weight = at & 255;
    levels.resize(grid_.columns);
    for (size_t c = 0; c < grid_.columns; ++c)
        levels[c] = uint64_t(levels_256_[r * grid_.columns + c]) * (256 - weight) +
                    uint64_t(levels_256_[next * grid_.columns + c]) * weight;
}

uint64_t PaperEvener::level_at(uint32_t x, uint32_t y) const {
    std::vector<uint64_t> levels;
    row_levels(y, levels);
    const uint32_t at = column_at_[x - grid_.left];
    const size_t c = at >> 8, next = std::min<size_t>(c + 1, grid_.columns - 1);
    return levels[c] * (256 - (at & 255)) + levels[next] * (at & 255);
}

void PaperEvener::apply(uint8_t* row, uint32_t y, size_t first, size_t end) const {
    std::vector<uint64_t> levels;
    row_levels(y, levels);
    const size_t channels = static_cast<size_t>(channels_);
    const uint64_t full = bits_ == 16 ? 65535 : 255;
    for (size_t x = first; x < end; ++x) {
        const uint32_t at = column_at_[x - grid_.left];
        const size_t c = at >> 8, next = std::min<size_t>(c + 1, grid_.columns - 1);
        const uint64_t level = levels[c] * (256 - (at & 255)) + levels[next] * (at & 255);
        // 255 / level in 1/2^24, rounded up so that halves round up as paper_sample's do: the
        // same factor takes 8-bit samples to 0..255 and 16-bit ones to 0..65535 (255 x 257).
        const uint64_t gain = ((uint64_t{255} << 48) + level - 1) / level; // rounded up
        for (size_t at_sample = x * channels; at_sample < x * channels + channels - 1;
             ++at_sample) {
            if (bits_ != 16) {
                row[at_sample] = static_cast<uint8_t>(
                    std::min(full, (row[at_sample] * gain + (uint64_t{1} << 23)) >> 24));
                continue;
            }
            uint16_t v;
            std::memcpy(&v, row + 2 * at_sample, 2);
            v = static_cast<uint16_t>(std::min(full, (v * gain + (uint64_t{1} << 23)) >> 24));
            std::memcpy(row + 2 * at_sample, &v, 2);
        }
    }
}
