// The texts of the two refusals the filtering run shows the user.
#pragma once

constexpr char16_t kRefusalCaption[] = u"エラー";

// Any mode but greyscale and RGB.
constexpr char16_t kColourModeRefusal[] =
    u"カラーモードをグレースケールかRGBにしてから、再度フィルタを実行してください。\n";

// A flat image: only a background, no layer with transparency.
constexpr char16_t kBackgroundRefusal[] =
    u"\"背景\"をレイヤに変えてから、フィルタを実行してください。";
