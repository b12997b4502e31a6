#include "about/about_messages.h"

namespace {

constexpr int32_t kOkCommand = 1;
constexpr int32_t kCancelCommand = 2;
// Ids 4 and 5 are both kept for link buttons, so that a template with a second link opens it the
// same way; today's template has one, id 4.
constexpr int32_t kFirstLinkButton = 4;
constexpr int32_t kLastLinkButton = 5;

AboutAction command_action(uint64_t wparam) {
    const int32_t id = command_control_id(wparam);
    if (id == kOkCommand || id == kCancelCommand) return AboutAction::close;
    if (id >= kFirstLinkButton && id <= kLastLinkButton) return AboutAction::open_link;
    return AboutAction::not_handled;
}

AboutAction char_action(uint64_t wparam) {
    const uint32_t low_byte = wparam & 0xFF;
    if (low_byte == 27 || low_byte == 13) return AboutAction::close; // Escape, carriage return
    return AboutAction::swallow;
}

} // namespace

AboutAction about_action(uint32_t message, uint64_t wparam) {
    switch (message) {
    case kMessageInitDialog:
        return AboutAction::centre;
    case kMessageChar:
        return char_action(wparam);
    case kMessageCommand:
        return command_action(wparam);
    case kMessageLeftButtonDown:
        return AboutAction::close;
    default:
        return AboutAction::not_handled;
    }
}
