// Synthetic pages for tools/bench-paper, the same on every run.
// A scan of line art: paper #f4f1ea, dark ink drawn with soft edges (curves, circles and a
// block of hatching), and over all of it a scanner's noise, normal with sigma 6, independent in
// each channel. Writes the scan as a binary PPM and a PGM mask that is 255 where a pixel is
// bare paper (no ink at all).
// A phone photo of a drawing (phone): paper #f3f0e8 with faint pencil, pen lines and filled
// ink, lit evenly (FALLOFF 0) or with the light falling off by FALLOFF percent from the top
// left corner to the bottom right one and a soft shadow band along the bottom edge (20% darker,
// its edge 10% of the height wide), and the same noise. Writes the photo, the bare paper's
// mask, and masks of the ink (pixels at least half covered) and of the pencil alone.
// Usage: paper_scan WIDTH HEIGHT SCAN.ppm PAPER.pgm
//        paper_scan phone FALLOFF WIDTH HEIGHT PHOTO.ppm PAPER.pgm INK.pgm PENCIL.pgm
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Point {
    double x, y;
};

struct Canvas {
    int width, height;
    std::vector<float> ink; // 0 bare paper .. 1 full ink

    // A segment of this width: full ink within it, fading over one pixel at its edge.
    void segment(Point a, Point b, double width_px) {
        const double half = width_px / 2, reach = half + 1;
        const int x0 = std::max(0, int(std::floor(std::min(a.x, b.x) - reach)));
        const int x1 = std::min(width - 1, int(std::ceil(std::max(a.x, b.x) + reach)));
        const int y0 = std::max(0, int(std::floor(std::min(a.y, b.y) - reach)));
        const int y1 = std::min(height - 1, int(std::ceil(std::max(a.y, b.y) + reach)));
        const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5 - a.x, py = y + 0.5 - a.y;
                const double t =
                    length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
                const double d = std::hypot(px - t * dx, py - t * dy);
                const float cover = float(std::clamp(half + 0.5 - d, 0.0, 1.0));
                float& at = ink[size_t(y) * width + x];
                at = std::max(at, cover);
            }
    }

    void polyline(const std::vector<Point>& points, double width_px) {
        for (size_t i = 1; i < points.size(); ++i)
            segment(points[i - 1], points[i], width_px);
    }
};

// mt19937's sequence is fixed by the standard; the distributions are not, so the uniform and
// normal numbers are made here.
struct Random {
    std::mt19937 generator;
    double uniform() { return (generator() + 0.5) / 4294967296.0; }
    double normal() {
        return std::sqrt(-2 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
    }
};

std::vector<Point> bezier(Random& random, double w, double h) {
    Point p[4];
    for (Point& q : p)
        q = {random.uniform() * w, random.uniform() * h};
    std::vector<Point> line;
    for (int i = 0; i <= 96; ++i) {
        const double t = i / 96.0, s = 1 - t;
        line.push_back({s * s * s * p[0].x + 3 * s * s * t * p[1].x + 3 * s * t * t * p[2].x +
                            t * t * t * p[3].x,
                        s * s * s * p[0].y + 3 * s * s * t * p[1].y + 3 * s * t * t * p[2].y +
                            t * t * t * p[3].y});
    }
    return line;
}

bool write_mask(FILE* file, int width, int height, const std::vector<unsigned char>& mask) {
    std::fprintf(file, "P5\n%d %d\n255\n", width, height);
    const bool written = std::fwrite(mask.data(), 1, mask.size(), file) == mask.size();
    return std::fclose(file) == 0 && written;
}

int phone(double falloff, int width, int height, char** files) {
    Random random{std::mt19937(7)};
    const double w = width, h = height, unit = std::min(w, h) / 1000;
    Canvas pencil{width, height, std::vector<float>(size_t(width) * height, 0.0f)};
    Canvas pen = pencil, fill = pencil;
    // Pencil: many light strokes 1.5 to 3 units wide, and hatching; pen: fewer dark curves 2.5
    // to 4 units wide; ink: filled discs drawn as rings of growing radius.
    for (int c = 0; c < 40; ++c)
        pencil.polyline(bezier(random, w, h), (1.5 + 1.5 * random.uniform()) * unit);
    for (int i = 0; i < 40; ++i) {
        const double x = w * 0.1 + i * 8 * unit;
        pencil.segment({x, h * 0.55}, {x + 70 * unit, h * 0.55 + 110 * unit}, 1.5 * unit);
    }
    for (int c = 0; c < 12; ++c)
        pen.polyline(bezier(random, w, h), (2.5 + 1.5 * random.uniform()) * unit);
    for (int c = 0; c < 6; ++c) {
        const Point centre{random.uniform() * w, random.uniform() * h};
        const double r = (10 + 30 * random.uniform()) * unit;
        for (int ring = 1; ring <= r; ++ring) {
            std::vector<Point> points;
            for (int i = 0; i <= 180; ++i)
                points.push_back({centre.x + ring * std::cos(i * 6.283185307179586 / 180),
                                  centre.y + ring * std::sin(i * 6.283185307179586 / 180)});
            fill.polyline(points, 2.5);
        }
    }
    FILE* photo = std::fopen(files[0], "wb");
    if (photo == nullptr) return 1;
    std::fprintf(photo, "P6\n%d %d\n255\n", width, height);
    // What each medium leaves of the paper's light: pencil 70%, pen 12%, ink 6%.
    const double paper[3] = {0xf3, 0xf0, 0xe8};
    std::vector<unsigned char> row(size_t(width) * 3), bare(size_t(width) * height),
        ink(bare.size()), pencil_only(bare.size());
    bool written = true;
    for (int y = 0; y < height; ++y) {
        // The shadow: 20% darker below 0.9 of the height, its edge a smooth step over 0.1.
        const double t = std::clamp((y / h - 0.8) / 0.1, 0.0, 1.0);
        const double shadow = falloff > 0 ? 1 - 0.2 * t * t * (3 - 2 * t) : 1;
        for (int x = 0; x < width; ++x) {
            const size_t p = size_t(y) * width + x;
            const double light = (1 - falloff / 100 * (x / w + y / h) / 2) * shadow;
            const double a = pencil.ink[p], b = pen.ink[p], c = fill.ink[p];
            const double keep = (1 - 0.30 * a) * (1 - 0.88 * b) * (1 - 0.94 * c);
            for (int k = 0; k < 3; ++k) {
                const double v = paper[k] * keep * light + 6 * random.normal();
                row[size_t(x) * 3 + k] = (unsigned char)std::clamp(std::lround(v), 0L, 255L);
            }
            bare[p] = a == 0 && b == 0 && c == 0 ? 255 : 0;
            ink[p] = std::max({a, b, c}) >= 0.5 ? 255 : 0;
            pencil_only[p] = a >= 0.5 && b == 0 && c == 0 ? 255 : 0;
        }
        written = written && std::fwrite(row.data(), 1, row.size(), photo) == row.size();
    }
    written = std::fclose(photo) == 0 && written;
    for (int i = 1; i < 4; ++i) {
        FILE* file = std::fopen(files[i], "wb");
        written = file != nullptr &&
                  write_mask(file, width, height,
                             i == 1   ? bare
                             : i == 2 ? ink
                                      : pencil_only) &&
                  written;
    }
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 9 && std::string(argv[1]) == "phone") {
        const long falloff = std::strtol(argv[2], nullptr, 10),
                   width = std::strtol(argv[3], nullptr, 10),
                   height = std::strtol(argv[4], nullptr, 10);
        if (falloff < 0 || falloff > 90 || width < 16 || height < 16 || width > 65535 ||
            height > 65535)
            return 2;
        return phone(double(falloff), int(width), int(height), argv + 5);
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: paper_scan WIDTH HEIGHT SCAN.ppm PAPER.pgm\n"
                             "       paper_scan phone FALLOFF WIDTH HEIGHT PHOTO.ppm PAPER.pgm "
                             "INK.pgm PENCIL.pgm\n");
        return 2;
    }
    const long width_arg = std::strtol(argv[1], nullptr, 10),
               height_arg = std::strtol(argv[2], nullptr, 10);
    if (width_arg < 16 || height_arg < 16 || width_arg > 65535 || height_arg > 65535) return 2;
    const int width = int(width_arg), height = int(height_arg);
    Canvas canvas{width, height, std::vector<float>(size_t(width) * height, 0.0f)};
    Random random{std::mt19937(2024)};
    auto uniform = [&] { return random.uniform(); };
    auto normal = [&] { return random.normal(); };
    const double w = width, h = height, unit = std::min(w, h) / 600;
    // Curves: cubic Beziers across the page, 2 to 5 units wide.
    for (int c = 0; c < 14; ++c) {
        const std::vector<Point> line = bezier(random, w, h);
        canvas.polyline(line, (2 + 3 * uniform()) * unit);
    }
    // Circles, and a block of hatching.
    for (int c = 0; c < 8; ++c) {
        const Point centre{uniform() * w, uniform() * h};
        const double r = (20 + 60 * uniform()) * unit;
        std::vector<Point> ring;
        for (int i = 0; i <= 180; ++i)
            ring.push_back({centre.x + r * std::cos(i * 6.283185307179586 / 180),
                            centre.y + r * std::sin(i * 6.283185307179586 / 180)});
        canvas.polyline(ring, 3 * unit);
    }
    for (int i = 0; i < 24; ++i) {
        const double x = w * 0.6 + i * 6 * unit;
        canvas.segment({x, h * 0.15}, {x + 60 * unit, h * 0.15 + 80 * unit}, 1.5 * unit);
    }

    FILE* scan = std::fopen(argv[3], "wb");
    FILE* mask = std::fopen(argv[4], "wb");
    if (scan == nullptr || mask == nullptr) return 1;
    std::fprintf(scan, "P6\n%d %d\n255\n", width, height);
    std::fprintf(mask, "P5\n%d %d\n255\n", width, height);
    const double paper[3] = {0xf4, 0xf1, 0xea}, ink[3] = {20, 20, 24};
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3),
        paper_row(static_cast<size_t>(width));
    bool written = true;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double cover = canvas.ink[size_t(y) * width + x];
            for (int k = 0; k < 3; ++k) {
                const double v = paper[k] * (1 - cover) + ink[k] * cover + 6 * normal();
                row[size_t(x) * 3 + k] = (unsigned char)std::clamp(std::lround(v), 0L, 255L);
            }
            paper_row[size_t(x)] = cover == 0 ? 255 : 0;
        }
        written = written && std::fwrite(row.data(), 1, row.size(), scan) == row.size() &&
                  std::fwrite(paper_row.data(), 1, paper_row.size(), mask) == paper_row.size();
    }
    written = std::fclose(scan) == 0 && written;
    return std::fclose(mask) == 0 && written ? 0 : 1;
}
