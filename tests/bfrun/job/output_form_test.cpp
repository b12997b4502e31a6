// The output's form, decided before the run from the layer and the options: grey + alpha
// wherever the module's result is grey all over, RGBA wherever --ink gives it colour.
#include <gtest/gtest.h>

#include "bfrun/cli/options.h"
#include "bfrun/job/output_form.h"
#include "bfrun/job/run_setup.h"

TEST(OutputForm, GreyAlphaWhereTheResultIsGreyAllOverElseTheInputsChannels) {
    struct Row {
        int channels;
        bool cmyk;
        std::vector<std::string> options; // on a 30 x 20 image
        int want;
    };
    const Row rows[] = {
        {4, false, {}, 2},
        {4, false, {"--depth", "32"}, 2},
        {4, false, {"--rect", "0,0,20,30"}, 2}, // a selection of everything
        {4, false, {"--rect", "1,0,20,30"}, 4}, // each side short of the edge: colour kept
        {4, false, {"--rect", "0,1,20,30"}, 4},
        {4, false, {"--rect", "0,0,19,30"}, 4},
        {4, false, {"--rect", "0,0,20,29"}, 4},
        {2, false, {}, 2},
        {2, false, {"--rect", "1,1,19,29"}, 2},
        {4, true, {}, 4}, // CMYK
        // --ink: a colour makes RGBA of any layer, keep keeps the input's channels.
        {4, false, {"--ink", "black"}, 4},
        {2, false, {"--ink", "red"}, 4},
        {4, false, {"--ink", "keep"}, 4},
        {2, false, {"--ink", "keep"}, 2},
    };
    Pipl pipl;
    pipl.filter_cases.assign(7, {4, 4, 0x06});
    for (const Row& row : rows) {
        std::vector<std::string> args = {"apply", "in.png", "out.png"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        Options options;
        std::string error;
        ASSERT_TRUE(parse_options(args, options, error)) << error;
        ImageLayout image;
        image.width = 30;
        image.height = 20;
        image.channels = row.channels;
        image.bits = 8;
        image.cmyk = row.cmyk;
        RunSettings settings;
        ASSERT_EQ(setup_run(options.run, pipl, image, settings, error), kExitDone) << error;
        EXPECT_EQ(output_channels(image, settings, options.run.ink.kind), row.want)
            << row.channels << " channels" << (row.cmyk ? ", CMYK" : "") << ", "
            << testing::PrintToString(row.options);
    }
}
