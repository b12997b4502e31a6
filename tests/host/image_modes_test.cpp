// The image modes and their planes, both ways: the module's check and bfrun's record agree.
#include <gtest/gtest.h>

#include "host/image_modes.h"

TEST(ImageModes, PlanesForEachModeAndTheModeForEachLayer) {
    struct Case {
        int16_t mode;
        int planes;
        int32_t depth;
    };
    const Case cases[] = {
        {plugInModeGrayScale, 2, 8}, {plugInModeRGBColor, 4, 8}, {plugInModeGray16, 2, 16},
        {plugInModeRGB48, 4, 16},    {plugInModeGray32, 2, 32},  {plugInModeRGB96, 4, 32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(planes_for_mode(c.mode), c.planes) << c.mode;
        EXPECT_EQ(mode_for_planes(c.planes, c.depth), c.mode) << c.planes << " at " << c.depth;
    }
    const int refused_modes[] = {plugInModeBitmap,
                                 plugInModeIndexedColor,
                                 plugInModeCMYKColor,
                                 plugInModeLabColor,
                                 plugInModeCMYK64,
                                 -1,
                                 99};
    for (int refused : refused_modes)
        EXPECT_EQ(planes_for_mode(static_cast<int16_t>(refused)), 0) << refused;
}
