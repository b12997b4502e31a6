// The progress line and how often it is redrawn.
#include <gtest/gtest.h>

#include "runner/cli/progress_bar.h"

TEST(ProgressBar, Lines) {
    EXPECT_EQ(progress_line(1, 2, 10), "\r[#####.....]  50% (1/2)");
    EXPECT_EQ(progress_line(3, 3, 4), "\r[####] 100% (3/3)");
    EXPECT_EQ(progress_line(0, 375, 4), "\r[....]   0% (0/375)");
    EXPECT_EQ(progress_line(5, 0, 4), "\r[####] 100% (5/0)"); // a bad total shows as complete
}
TEST(ProgressBar, RedrawsAtMostTenTimesASecondAndAlwaysTheEnd) {
    ProgressThrottle throttle;
    EXPECT_TRUE(throttle.due(1000, 1, 375));
    EXPECT_FALSE(throttle.due(1050, 2, 375));
    EXPECT_FALSE(throttle.due(1099, 3, 375));
    EXPECT_TRUE(throttle.due(1100, 4, 375));
    EXPECT_TRUE(throttle.due(1101, 375, 375));
}
