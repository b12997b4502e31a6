#include "about/centre_over_parent.h"

#include <algorithm>

WindowPlacement centre_over_parent(const CentreInputs& in) {
    int32_t shift = in.title_button_width;
    if (!in.has_system_menu) shift = shift - shift / 3;

    const int32_t w = in.dialog.right - in.dialog.left;
    const int32_t h = in.dialog.bottom - in.dialog.top;
    const ScreenRect& p = in.parent_client;

    // A negative x is kept while the dialog still fits the screen's width.
    int32_t x = std::max(p.right - p.left - w, 0) / 2 + p.left - shift;
    if (x + w > in.screen_width) x = std::max(in.screen_width - w, 0);

    int32_t y = std::max(p.bottom - p.top - h, 0) / 3 + p.top;
    if (y + h > in.screen_height) y = std::max(in.screen_height - h, 0);

    return {x, y, w, h};
}
