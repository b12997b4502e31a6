#include <gtest/gtest.h>

#include "host/host_codes.h"
#include "runner/outcome.h"
#include "runner/progress_bar.h"
#include "runner/run_setup.h"

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

Layer grey16(int32_t width, int32_t height) {
    Layer layer;
    layer.width = width;
    layer.height = height;
    layer.planes = 2;
    layer.depth = 16;
    return layer;
}

} // namespace

TEST(RunSetup, ImageModes) {
    EXPECT_EQ(image_mode_for(2, 8), plugInModeGrayScale);
    EXPECT_EQ(image_mode_for(4, 8), plugInModeRGBColor);
    EXPECT_EQ(image_mode_for(2, 16), plugInModeGray16);
    EXPECT_EQ(image_mode_for(4, 16), plugInModeRGB48);
    EXPECT_EQ(image_mode_for(2, 32), plugInModeGray32);
    EXPECT_EQ(image_mode_for(4, 32), plugInModeRGB96);
}

TEST(RunSetup, ImageSizeAgainstTheModulesLimits) {
    const Pipl pipl = module_list();
    Options options;
    std::string error;
    EXPECT_EQ(check_image_size(400, 300, pipl, options, error), kExitDone);
    EXPECT_EQ(check_image_size(401, 300, pipl, options, error), kExitTooLarge);
    EXPECT_EQ(error, "the image (401 x 300) is larger than the module accepts (400 x 300)");
    EXPECT_EQ(check_image_size(400, 301, pipl, options, error), kExitTooLarge);
    EXPECT_EQ(check_image_size(0, 10, pipl, options, error), kExitBadInput);
    Pipl unlimited = pipl;
    unlimited.has_limits = false;
    EXPECT_EQ(check_image_size(40000, 10, unlimited, options, error), kExitDone);
    options.big_document = false;
    EXPECT_EQ(check_image_size(32768, 10, unlimited, options, error), kExitTooLarge);
    EXPECT_EQ(check_image_size(32767, 10, unlimited, options, error), kExitDone);
}

TEST(RunSetup, SettingsFromTheFilterCaseTable) {
    Pipl pipl = module_list();
    pipl.filter_cases[4] = {1, 2, 0x0F};
    pipl.filter_cases[5] = {0, 4, 0};
    Options options;
    options.filter_case = 5;
    options.has_rect = true;
    options.rect = {1, 2, 3, 4};
    options.pad_rows = 9;
    RunSettings s;
    std::string error;
    ASSERT_EQ(setup_run(options, pipl, grey16(10, 10), s, error), kExitDone) << error;
    EXPECT_EQ(s.image_mode, plugInModeGray16);
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

TEST(Outcome, ExitStatusesAndTheirExplanations) {
    RunReport r;
    r.requests = 2;
    r.covered = true;
    std::string why;
    EXPECT_EQ(run_exit_status(r, why), kExitDone);
    EXPECT_EQ(why, "");
    r.result = filterBadParameters;
    EXPECT_EQ(run_exit_status(r, why), kExitBadParameters);
    EXPECT_EQ(why, "the module stopped with filterBadParameters (-30100)");
    r.result = userCanceledErr;
    EXPECT_EQ(run_exit_status(r, why), kExitCanceled);
    r.result = -108;
    EXPECT_EQ(run_exit_status(r, why), kExitOtherResult);
    EXPECT_EQ(why, "the module stopped with result -108");
    r.result = 0;
    r.covered = false;
    EXPECT_EQ(run_exit_status(r, why), kExitProtocolFault);
    r.requests = 0;
    EXPECT_EQ(run_exit_status(r, why), kExitRefused);
}

TEST(ProgressBar, Lines) {
    EXPECT_EQ(progress_line(1, 2, 10), "\r[#####.....]  50% (1/2)");
    EXPECT_EQ(progress_line(3, 3, 4), "\r[####] 100% (3/3)");
    EXPECT_EQ(progress_line(0, 375, 4), "\r[....]   0% (0/375)");
    EXPECT_EQ(progress_line(5, 0, 4), "\r[####] 100% (5/0)"); // a bad total shows as complete
}
