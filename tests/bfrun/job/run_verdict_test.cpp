// The one verdict on a run: its exit status and the line that says why.
#include <gtest/gtest.h>

#include "host/host_codes.h"
#include "bfrun/job/run_verdict.h"

TEST(RunVerdict, ExitStatusesAndTheirExplanations) {
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

TEST(RunVerdict, ARefusalsLineSaysWhatTheMessageBoxSaid) {
    EXPECT_EQ(refusal_line(u8"カラーモードをグレースケールかRGBにしてから、"
                           u8"再度フィルタを実行してください。\r\n"),
              u8"the module refused the image: カラーモードをグレースケールかRGBにしてから、"
              u8"再度フィルタを実行してください。");
    EXPECT_EQ(refusal_line("two\n\nlines  apart\n"),
              "the module refused the image: two lines apart");
    EXPECT_EQ(refusal_line(""), "the module refused the image:");
}
