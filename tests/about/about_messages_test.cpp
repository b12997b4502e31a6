#include <gtest/gtest.h>

#include "about/about_messages.h"

namespace {

TEST(AboutMessages, InitDialogCentresTheBox) {
    EXPECT_EQ(about_action(kMessageInitDialog, 0), AboutAction::centre);
}

TEST(AboutMessages, EscapeAndCarriageReturnCloseOtherCharactersAreSwallowed) {
    EXPECT_EQ(about_action(kMessageChar, 27), AboutAction::close);
    EXPECT_EQ(about_action(kMessageChar, 13), AboutAction::close);
    // Only the low byte of the character code counts.
    EXPECT_EQ(about_action(kMessageChar, 0x011B), AboutAction::close);
    EXPECT_EQ(about_action(kMessageChar, 0x300D), AboutAction::close);
    for (uint64_t c : {0u, 10u, 12u, 14u, 26u, 28u, 0x61u, 0x20u, 0xFFu, 0x11Au, 0x30000u})
        EXPECT_EQ(about_action(kMessageChar, c), AboutAction::swallow) << c;
}

TEST(AboutMessages, OkAndCancelCommandsCloseWhateverTheNotification) {
    EXPECT_EQ(about_action(kMessageCommand, 1), AboutAction::close);
    EXPECT_EQ(about_action(kMessageCommand, 2), AboutAction::close);
    EXPECT_EQ(about_action(kMessageCommand, 0xFFFF0002), AboutAction::close);
}

TEST(AboutMessages, LinkButtonCommandsOpenTheirLinkOthersAreNotHandled) {
    EXPECT_EQ(about_action(kMessageCommand, 4), AboutAction::open_link);
    EXPECT_EQ(about_action(kMessageCommand, 5), AboutAction::open_link);
    EXPECT_EQ(about_action(kMessageCommand, 0x00010004), AboutAction::open_link);
    EXPECT_EQ(command_control_id(0x00010005), 5);
    // 0x104 has 4 in its low byte but is control 260.
    for (uint64_t id : {0u, 3u, 6u, 0x104u, 0x10000u, 0xFFFFu})
        EXPECT_EQ(about_action(kMessageCommand, id), AboutAction::not_handled) << id;
}

TEST(AboutMessages, LeftClickOnTheBoxClosesIt) {
    EXPECT_EQ(about_action(kMessageLeftButtonDown, 0), AboutAction::close);
    EXPECT_EQ(about_action(kMessageLeftButtonDown, 1), AboutAction::close); // MK_LBUTTON
}

TEST(AboutMessages, OtherMessagesAreLeftToTheDialogManager) {
    // WM_PAINT, WM_LBUTTONUP, WM_KEYDOWN, WM_CLOSE, WM_SYSCOMMAND, WM_RBUTTONDOWN
    for (uint32_t message : {0x000Fu, 0x0202u, 0x0100u, 0x0010u, 0x0112u, 0x0204u})
        EXPECT_EQ(about_action(message, 27), AboutAction::not_handled) << message;
}

} // namespace
