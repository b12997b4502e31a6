// From the request, the property list and the image to a run's settings: the read limits,
// the rectangle against the image, and the filter case the module can or cannot take.
#include <gtest/gtest.h>

#include "host/host_codes.h"
#include "bfrun/job/run_setup.h"

namespace {

Pipl module_list() {
    Pipl pipl;
    pipl.kind = "8BFM";
    pipl.has_limits = true;
    pipl.max_height = 300;
    pipl.max_width = 400;
    for (int c = 1; c <= 7; ++c)
        pipl.filter_cases.push_back({4, 4, 0x06});
    return pipl;
}

ImageLayout grey16(uint32_t width, uint32_t height) {
    ImageLayout image;
    image.width = width;
    image.height = height;
    image.channels = 2;
    image.bits = 16;
    return image;
}

} // namespace

TEST(RunSetup, ReadLimitsFromTheModuleAndTheCommandLine) {
    const Pipl pipl = module_list();
    RunRequest options;
    ReadLimits limits = read_limits_for(pipl, options);
    EXPECT_EQ(limits.max_width, 400u);
    EXPECT_EQ(limits.max_height, 300u);
    EXPECT_EQ(limits.max_pixels, uint64_t{1} << 30);
    Pipl unlimited = pipl;
    unlimited.has_limits = false;
    options.big_document = false;
    options.max_pixels = 77;
    limits = read_limits_for(unlimited, options);
    EXPECT_EQ(limits.max_width, 32767u);
    EXPECT_EQ(limits.max_height, 32767u);
    EXPECT_EQ(limits.max_pixels, 77u);
}

TEST(RunSetup, SettingsFromTheFilterCaseTable) {
    Pipl pipl = module_list();
    pipl.filter_cases[4] = {1, 2, 0x0F};
    pipl.filter_cases[5] = {0, 4, 0};
    RunRequest options;
    options.filter_case = 5;
    options.has_rect = true;
    options.rect = {1, 2, 3, 4};
    options.pad_rows = 9;
    RunSettings s;
    std::string error;
    ASSERT_EQ(setup_run(options, pipl, grey16(10, 10), s, error), kExitDone) << error;
    EXPECT_EQ(s.image_mode, plugInModeGray16);
    EXPECT_EQ(s.depth, 16);
    EXPECT_EQ(s.filter_case, 5);
    EXPECT_EQ(s.filter_rect.bottom, 3);
    EXPECT_EQ(s.input_matte, Matte::none);
    EXPECT_EQ(s.output_matte, Matte::black);
    EXPECT_FALSE(s.copy_source_to_output);
    EXPECT_EQ(s.pad_bytes, 9);

    options.filter_case = 6;
    EXPECT_EQ(setup_run(options, pipl, grey16(10, 10), s, error), kExitBadModule);
    EXPECT_EQ(error, "the module cannot filter case 6 (handling 0/4)");
    options.filter_case = 4;
    options.rect = {0, 0, 11, 10};
    EXPECT_EQ(setup_run(options, pipl, grey16(10, 10), s, error), kExitUsage);
    pipl.filter_cases.resize(3);
    options.has_rect = false;
    EXPECT_EQ(setup_run(options, pipl, grey16(10, 10), s, error), kExitBadModule);
    EXPECT_EQ(error, "the module's property list has no filter case 4");
}

TEST(RunSetup, ACmykFileIsOfferedInACmykMode) {
    RunRequest options;
    options.filter_case = 4;
    RunSettings s;
    std::string error;
    ImageLayout cmyk = grey16(10, 10);
    cmyk.channels = 4;
    cmyk.cmyk = true;
    ASSERT_EQ(setup_run(options, module_list(), cmyk, s, error), kExitDone) << error;
    EXPECT_EQ(s.image_mode, plugInModeCMYK64);
    cmyk.bits = 8;
    ASSERT_EQ(setup_run(options, module_list(), cmyk, s, error), kExitDone) << error;
    EXPECT_EQ(s.image_mode, plugInModeCMYKColor);
}
