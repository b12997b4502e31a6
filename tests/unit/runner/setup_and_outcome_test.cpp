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

PngLayout grey16(uint32_t width, uint32_t height) {
    PngLayout image;
    image.width = width;
    image.height = height;
    image.channels = 2;
    image.bits = 16;
    return image;
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

TEST(RunSetup, ReadLimitsFromTheModuleAndTheCommandLine) {
    const Pipl pipl = module_list();
    Options options;
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
    Options options;
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
    // A fault wins over the result word the module was given for it.
    r.result = filterBadParameters;
    r.fault = "input rectangle or planes outside the layer";
    EXPECT_EQ(run_exit_status(r, why), kExitProtocolFault);
    r.result = 0;
    r.fault.clear();
    r.requests = 0;
    EXPECT_EQ(run_exit_status(r, why), kExitRefused);
}

TEST(Outcome, MessagesArePrintedAsOnePrintableLine) {
    EXPECT_EQ(printable_line("plain text"), "plain text");
    EXPECT_EQ(printable_line("two\nlines\r\x1b[31m"), "two?lines??[31m");
    EXPECT_EQ(printable_line(u8"caf\u00e9 \u30a8\u30e9\u30fc"), u8"caf\u00e9 \u30a8\u30e9\u30fc");
    // Not UTF-8: a stray continuation byte, a cut sequence, an overlong '/', a surrogate, C1.
    EXPECT_EQ(printable_line("a\x80"
                             "b\xe3\x81"),
              "a?b??");
    EXPECT_EQ(printable_line("\xc0\xaf\xed\xa0\x80\xc2\x85"), "???????");
}

TEST(ProgressBar, Lines) {
    EXPECT_EQ(progress_line(1, 2, 10), "\r[#####.....]  50% (1/2)");
    EXPECT_EQ(progress_line(3, 3, 4), "\r[####] 100% (3/3)");
    EXPECT_EQ(progress_line(0, 375, 4), "\r[....]   0% (0/375)");
    EXPECT_EQ(progress_line(5, 0, 4), "\r[####] 100% (5/0)"); // a bad total shows as complete
}
