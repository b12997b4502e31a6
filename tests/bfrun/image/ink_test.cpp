// --ink: the colours it takes, keep's worked samples at 8 and 16 bits (alpha 0, the clamp, a
// half rounded up, a partly transparent original), and a row coloured within the rectangle.
#include <gtest/gtest.h>

#include <vector>

#include "bfrun/image/ink.h"

TEST(Ink, ColourNamesAndHexInAnyCase) {
    const struct {
        const char* text;
        uint8_t red, green, blue;
    } cases[] = {
        {"black", 0, 0, 0},
        {"RED", 255, 0, 0},
        {"Navy", 0, 0, 128},
        {"grey", 128, 128, 128},
        {"gray", 128, 128, 128},
        {"orange", 255, 165, 0},
        {"#336699", 0x33, 0x66, 0x99},
        {"#AbCdEf", 0xab, 0xcd, 0xef},
        {"#369", 0x33, 0x66, 0x99},
    };
    for (const auto& c : cases) {
        Ink ink;
        ASSERT_TRUE(parse_ink(c.text, ink)) << c.text;
        EXPECT_EQ(ink.kind, InkKind::colour) << c.text;
        EXPECT_EQ(std::vector<int>({ink.red, ink.green, ink.blue}),
                  std::vector<int>({c.red, c.green, c.blue}))
            << c.text;
    }
    Ink ink;
    ASSERT_TRUE(parse_ink("Keep", ink));
    EXPECT_EQ(ink.kind, InkKind::keep);
    for (const char* bad : {"", "#", "#12345", "#1234567", "#12345g", "336699", "re d", "keeps"})
        EXPECT_FALSE(parse_ink(bad, ink)) << bad;
    EXPECT_EQ(ink.kind, InkKind::keep); // unchanged by a refusal
}

TEST(Ink, KeepWorkedSamplesAtEightAndSixteenBits) {
    // keep_sample(c, original alpha, module's alpha a, full): p = full (c + a - full) / a for an
    // opaque original, nearest with halves up, 0 below 0.
    const struct {
        uint32_t c, original_alpha, a, full, want;
        const char* what;
    } cases[] = {
        // Black: 255 (0 + 255 - 255) / 255 = 0. White: a = 0 gives white.
        {0, 255, 255, 255, 0, "black"},
        {255, 255, 0, 255, 255, "white at alpha 0"},
        // A mid grey 128 gets a = 255 - 128 = 127 from the module: 255 (128 + 127 - 255) = 0.
        {128, 255, 127, 255, 0, "grey 128"},
        // Pure red, a = 179 (luminance 76.22 rounded down to 76): red 255 x 179 / 179 = 255;
        // green 255 (0 + 179 - 255) < 0, clamped to 0.
        {255, 255, 179, 255, 255, "red's red"},
        {0, 255, 179, 255, 0, "red's green, clamped"},
        // A dark red seal (170, 30, 40), luminance 72.99 -> a = 183: red 255 x 98 / 183 = 136.56
        // -> 137; green 30 + 183 - 255 < 0 -> 0.
        {170, 255, 183, 255, 137, "seal's red"},
        {30, 255, 183, 255, 0, "seal's green, clamped"},
        // 255 (254 + 2 - 255) / 2 = 127.5, up to 128.
        {254, 255, 2, 255, 128, "a half"},
        // Laid over white first: 100 at alpha 51 is (100 x 51 + 255 x 204) / 255 = 224; then
        // 255 (224 + 40 - 255) / 40 = 57.375 -> 57.
        {100, 51, 40, 255, 57, "partly transparent"},
        // 16 bits: the seal at 170 x 257 = 43690, a = 183 x 257 = 47031:
        // 65535 (43690 + 47031 - 65535) / 47031 = 65535 x 25186 / 47031 = 35095.25 -> 35095.
        {43690, 65535, 47031, 65535, 35095, "16-bit seal's red"},
        {7710, 65535, 47031, 65535, 0, "16-bit seal's green, clamped"},
        {65535, 65535, 45947, 65535, 65535, "16-bit red's red"},
        {0, 65535, 65535, 65535, 0, "16-bit black"},
        {65535, 65535, 0, 65535, 65535, "16-bit white at alpha 0"},
        // 65535 (65534 + 2 - 65535) / 2 = 32767.5, up to 32768.
        {65534, 65535, 2, 65535, 32768, "16-bit half"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keep_sample(c.c, c.original_alpha, c.a, c.full), c.want) << c.what;
}

TEST(Ink, ARowColouredWithinTheRectangleItsAlphaKept) {
    // #336699 on pixels 1..2 of 3, 8-bit RGBA: pixel 0 as the module left it.
    const uint8_t result[12] = {0, 0, 0, 9, 0, 0, 0, 200, 0, 0, 0, 0};
    uint8_t out[12];
    const Ink blue_grey{InkKind::colour, 0x33, 0x66, 0x99};
    ink_row(blue_grey, result, nullptr, out, 3, 4, 4, 8, 1, 3);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 12),
              (std::vector<uint8_t>{0, 0, 0, 9, 0x33, 0x66, 0x99, 200, 0x33, 0x66, 0x99, 0}));
    // 16 bits, grey + alpha in and RGBA out: 0x33 -> 0x3333 = 13107, 0x66 -> 26214,
    // 0x99 -> 39321; pixel 1 outside, its grey 500 copied to R, G and B.
    const uint16_t grey[4] = {0, 40000, 500, 65535};
    uint16_t rgba[8];
    ink_row(blue_grey, reinterpret_cast<const uint8_t*>(grey), nullptr,
            reinterpret_cast<uint8_t*>(rgba), 2, 2, 4, 16, 0, 1);
    EXPECT_EQ(std::vector<uint16_t>(rgba, rgba + 8),
              (std::vector<uint16_t>{13107, 26214, 39321, 40000, 500, 500, 500, 65535}));
    // keep on a grey row stays grey + alpha: grey 200 at a module's alpha 100 gives
    // 255 (200 + 100 - 255) / 100 = 114.75 -> 115; the original white at alpha 0 gives white.
    const uint8_t original[4] = {200, 255, 255, 255}, module[4] = {0, 100, 0, 0};
    uint8_t kept[4];
    ink_row(Ink{InkKind::keep}, module, original, kept, 2, 2, 2, 8, 0, 2);
    EXPECT_EQ(std::vector<uint8_t>(kept, kept + 4), (std::vector<uint8_t>{115, 100, 255, 0}));
}
