#include <gtest/gtest.h>

#include "about/centre_over_parent.h"

namespace {

// Parent client 1000 x 800 at (100, 100), dialog 300 x 200, title-bar button 18, no system
// menu, a 1920 x 1080 screen.
CentreInputs worked_case() {
    CentreInputs in;
    in.parent_client = {100, 100, 1100, 900};
    in.dialog = {0, 0, 300, 200};
    in.title_button_width = 18;
    in.has_system_menu = false;
    in.screen_width = 1920;
    in.screen_height = 1080;
    return in;
}

void expect_placement(const WindowPlacement& at, int32_t x, int32_t y, int32_t w, int32_t h) {
    EXPECT_EQ(at.x, x);
    EXPECT_EQ(at.y, y);
    EXPECT_EQ(at.width, w);
    EXPECT_EQ(at.height, h);
}

TEST(AboutCentre, WorkedCase) {
    // t = 18 - 6 = 12; x = 700 / 2 + 100 - 12 = 438; y = 600 / 3 + 100 = 300.
    expect_placement(centre_over_parent(worked_case()), 438, 300, 300, 200);
}

TEST(AboutCentre, WorkedCaseHoldsOnTheSmallestScreenItFits) {
    CentreInputs in = worked_case();
    in.screen_width = 738; // 438 + 300: the right edge exactly on the screen's
    in.screen_height = 500;
    expect_placement(centre_over_parent(in), 438, 300, 300, 200);
}

TEST(AboutCentre, TitleButtonShiftDependsOnSystemMenu) {
    CentreInputs in = worked_case();
    in.has_system_menu = true;
    EXPECT_EQ(centre_over_parent(in).x, 432); // full 18
    in.has_system_menu = false;
    in.title_button_width = 20; // 20 - 20 / 3 = 14
    EXPECT_EQ(centre_over_parent(in).x, 436);
}

TEST(AboutCentre, DialogStartingAwayFromOriginKeepsItsSize) {
    CentreInputs in = worked_case();
    in.dialog = {-50, 700, 250, 900};
    expect_placement(centre_over_parent(in), 438, 300, 300, 200);
}

TEST(AboutCentre, OddFreeSpaceRoundsTowardZero) {
    CentreInputs in = worked_case();
    in.parent_client = {0, 0, 301, 202}; // 1 and 2 pixels free
    in.title_button_width = 0;
    expect_placement(centre_over_parent(in), 0, 0, 300, 200);
}

TEST(AboutCentre, PushedLeftWhenRightEdgeLeavesScreenButNotPastZero) {
    CentreInputs in = worked_case();
    in.screen_width = 700; // 438 + 300 > 700
    EXPECT_EQ(centre_over_parent(in).x, 400);
    in.screen_width = 200; // narrower than the dialog
    EXPECT_EQ(centre_over_parent(in).x, 0);
}

TEST(AboutCentre, PushedUpWhenBottomLeavesScreenButNotPastZero) {
    CentreInputs in = worked_case();
    in.screen_height = 450; // 300 + 200 > 450
    EXPECT_EQ(centre_over_parent(in).y, 250);
    in.screen_height = 500; // exactly fits: stays
    EXPECT_EQ(centre_over_parent(in).y, 300);
    in.screen_height = 150; // shorter than the dialog
    EXPECT_EQ(centre_over_parent(in).y, 0);
}

TEST(AboutCentre, OverDesktopWithoutParent) {
    // The desktop's client area is the whole screen.
    CentreInputs in = worked_case();
    in.parent_client = {0, 0, 1920, 1080};
    expect_placement(centre_over_parent(in), 798, 293, 300, 200);
}

TEST(AboutCentre, ParentSmallerThanDialogPutsItAtParentCorner) {
    CentreInputs in = worked_case();
    in.parent_client = {500, 400, 600, 450};
    expect_placement(centre_over_parent(in), 488, 400, 300, 200);
}

TEST(AboutCentre, NegativeXKeptWhileDialogFits) {
    CentreInputs in = worked_case();
    in.parent_client = {-600, -100, -200, 300}; // parent mostly off the left of the screen
    // x = 100 / 2 - 600 - 12, y = 200 / 3 - 100: both stay negative.
    expect_placement(centre_over_parent(in), -562, -34, 300, 200);
}

} // namespace
