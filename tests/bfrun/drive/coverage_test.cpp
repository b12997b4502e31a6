// Coverage of the filter rectangle by the bands written back: whole rows, spans that join up
// or leave a gap, bands reaching outside the rectangle, and an empty rectangle.
#include <gtest/gtest.h>

#include <vector>

#include "bfrun/drive/coverage.h"

TEST(Coverage, BandsCoverTheRectangleOnlyWhenEveryPixelIsIn) {
    struct Case {
        const char* what;
        VRect area;
        std::vector<VRect> bands;
        bool complete;
    };
    const Case cases[] = {
        {"no band", {0, 0, 4, 6}, {}, false},
        {"the whole area", {0, 0, 4, 6}, {{0, 0, 4, 6}}, true},
        {"two bands of rows", {0, 0, 4, 6}, {{0, 0, 2, 6}, {2, 0, 4, 6}}, true},
        {"a row missing", {0, 0, 4, 6}, {{0, 0, 2, 6}, {3, 0, 4, 6}}, false},
        {"overlapping spans", {0, 0, 4, 6}, {{0, 0, 4, 3}, {0, 2, 4, 6}}, true},
        {"touching spans", {0, 0, 4, 6}, {{0, 3, 4, 6}, {0, 0, 4, 3}}, true},
        {"a column gap", {0, 0, 4, 6}, {{0, 0, 4, 3}, {0, 4, 4, 6}}, false},
        {"three spans joined by the last",
         {0, 0, 1, 9},
         {{0, 0, 1, 2}, {0, 6, 1, 9}, {0, 2, 1, 6}},
         true},
        {"larger than the area", {5, 7, 8, 9}, {{0, 0, 100, 100}}, true},
        {"outside the area", {5, 7, 8, 9}, {{0, 0, 5, 100}, {8, 0, 9, 100}}, false},
        {"an empty area", {3, 3, 3, 9}, {}, true},
    };
    for (const Case& c : cases) {
        Coverage coverage;
        coverage.start(c.area);
        for (const VRect& band : c.bands)
            coverage.add(band);
        EXPECT_EQ(coverage.complete(), c.complete) << c.what;
    }
}
