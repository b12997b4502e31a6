// The 8 orientations on a 3 x 2 image of distinct pixels, each against its upright image worked
// by hand from where the stored 0th row and 0th column are to be seen; for every pixel size
// bfrun holds, and the in-place turns (1 to 4) as the copying ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bfrun/image/orientation.h"

namespace {

// The stored image, rows "abc" and "def".
const std::string kStored = "abcdef";

// Each letter as a pixel of `bytes` bytes, each byte of it different.
std::vector<uint8_t> pixels(const std::string& letters, size_t bytes) {
    std::vector<uint8_t> out;
    for (char c : letters)
        for (size_t i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(c + 40 * i));
    return out;
}

struct Case {
    uint16_t orientation;
    uint32_t width, height; // upright
    const char* rows;       // upright, row after row
};

const Case kCases[] = {
    {1, 3, 2,
     "abc"
     "def"},
    {2, 3, 2,
     "cba" // mirror: row 0 at the top, column 0 at the right
     "fed"},
    {3, 3, 2,
     "fed" // rotate 180: row 0 at the bottom, column 0 at the right
     "cba"},
    {4, 3, 2,
     "def" // flip: row 0 at the bottom, column 0 at the left
     "abc"},
    {5, 2, 3,
     "ad" // transpose: row 0 at the left, column 0 at the top
     "be"
     "cf"},
    {6, 2, 3,
     "da" // rotate 90 clockwise: row 0 at the right, column 0 at the top
     "eb"
     "fc"},
    {7, 2, 3,
     "fc" // transverse: row 0 at the right, column 0 at the bottom
     "eb"
     "da"},
    {8, 2, 3,
     "cf" // rotate 90 anticlockwise: row 0 at the left, column 0 at the bottom
     "be"
     "ad"},
};

} // namespace

TEST(Orientation, EachOfTheEightGivesItsUprightImage) {
    for (const Case& c : kCases)
        for (size_t bytes : {1, 2, 4, 8}) {
            const std::vector<uint8_t> stored = pixels(kStored, bytes);
            std::vector<uint8_t> upright(stored.size(), 0);
            orient_pixels(stored.data(), 3, 2, bytes, c.orientation, upright.data());
            EXPECT_EQ(upright, pixels(c.rows, bytes)) << c.orientation << ", " << bytes;
            EXPECT_EQ(orientation_swaps_sides(c.orientation), c.width == 2) << c.orientation;
            if (c.orientation > 4) continue;
            std::vector<uint8_t> in_place = stored;
            orient_in_place(in_place.data(), 3, 2, bytes, c.orientation);
            EXPECT_EQ(in_place, pixels(c.rows, bytes)) << c.orientation << ", " << bytes;
        }
}

TEST(Orientation, OddSidesAndValuesOutsideOneToEight) {
    // 3 x 3: the middle row and column stay where they are under a flip and a mirror.
    std::vector<uint8_t> image = pixels("abcdefghi", 2);
    orient_in_place(image.data(), 3, 3, 2, 4);
    EXPECT_EQ(image, pixels("ghidefabc", 2));
    orient_in_place(image.data(), 3, 3, 2, 2);
    EXPECT_EQ(image, pixels("ihgfedcba", 2));
    // One row, one column.
    std::vector<uint8_t> column(3 * 4);
    orient_pixels(pixels("xyz", 4).data(), 3, 1, 4, 6, column.data());
    EXPECT_EQ(column, pixels("xyz", 4));
    orient_pixels(pixels("xyz", 4).data(), 3, 1, 4, 8, column.data());
    EXPECT_EQ(column, pixels("zyx", 4));
    for (uint16_t odd : {0, 9, 65535}) {
        std::vector<uint8_t> copy(6);
        orient_pixels(pixels(kStored, 1).data(), 3, 2, 1, odd, copy.data());
        EXPECT_EQ(copy, pixels(kStored, 1)) << odd;
        EXPECT_FALSE(orientation_swaps_sides(odd));
        std::vector<uint8_t> kept = pixels(kStored, 1);
        orient_in_place(kept.data(), 3, 2, 1, odd);
        EXPECT_EQ(kept, pixels(kStored, 1)) << odd;
    }
}
