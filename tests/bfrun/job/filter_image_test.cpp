// One PNG file through the real PluginMain, in memory: streaming gives the bytes holding the
// whole image gives, pixels outside the rectangle come through bit for bit, a run that must
// start again (a module going back up) still ends right, colour where the result is grey
// fails the file, and --ink colours the result.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>

#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "bfrun/cli/options.h"
#include "bfrun/job/filter_image.h"
#include "bfrun/image/png_reader.h"
#include "tests/bfrun/test_images.h"
#include "tests/bfrun/test_png.h"

namespace {

Pipl module_list() {
    Pipl pipl;
    for (int c = 1; c <= 7; ++c)
        pipl.filter_cases.push_back({4, 4, 0x06});
    return pipl;
}

RunRequest options_for(std::vector<std::string> args) {
    args.insert(args.begin(), {"apply", "in.png", "out.png"});
    Options options;
    std::string error;
    EXPECT_TRUE(parse_options(args, options, error)) << error;
    return options.run;
}

Failure run(const std::vector<uint8_t>& file, std::vector<uint8_t>& out, const RunRequest& options,
            FilterSummary& summary, PluginEntry entry = PluginMain,
            RunObserver* observer = nullptr) {
    MemorySource source(file);
    MemorySink sink;
    RunObserver quiet;
    Failure failure = filter_image(source, sink, entry, module_list(), options,
                                   observer != nullptr ? *observer : quiet, summary);
    out = sink.bytes;
    return failure;
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& file, ImageLayout* layout = nullptr) {
    std::vector<uint8_t> image;
    const ImageError error = read_test_png(file, &image, layout);
    EXPECT_EQ(error.kind, ImageErrorKind::none) << error.message;
    return image;
}

} // namespace

TEST(FilterPng, StreamingGivesTheBytesOfTheWholeImageRun) {
    struct Case {
        int channels, bits;
        std::vector<std::string> args;
        int32_t pad_rows;
    };
    const Case cases[] = {
        {4, 8, {}, 0},
        {4, 16, {}, 0},
        {2, 8, {}, 5},
        {2, 16, {"--rect", "3,4,29,17"}, 0},
        {4, 8, {"--rect", "0,0,37,21", "--compression", "1"}, 0}, // a selection of everything
        {4, 16, {"--depth", "32"}, 0},
        // The rows as read, kept for --ink keep until written: a window, or the whole image.
        {4, 8, {"--ink", "keep"}, 0},
        {2, 16, {"--ink", "keep", "--rect", "3,4,29,17"}, 0},
        {2, 8, {"--ink", "red"}, 0},
    };
    for (const Case& c : cases) {
        TestPng image = random_test_png(21, 37, c.channels, c.bits, 11);
        RunRequest options = options_for(c.args);
        options.pad_rows = c.pad_rows;
        std::vector<uint8_t> streamed, whole;
        FilterSummary summary;
        ASSERT_EQ(run(encode_test_png(image), streamed, options, summary).status, kExitDone);
        EXPECT_FALSE(summary.whole_image);
        EXPECT_EQ(summary.peak_rows, 8u);
        // An interlaced file is held whole.
        image.interlaced = true;
        ASSERT_EQ(run(encode_test_png(image), whole, options, summary).status, kExitDone);
        EXPECT_TRUE(summary.whole_image);
        EXPECT_EQ(streamed, whole) << c.channels << " channels, " << c.bits << " bits";
    }
}

TEST(FilterPng, OutsideTheRectanglePixelsComeThroughBitForBitAndInsideEveryOneIsBlackInk) {
    const TestPng image = random_test_png(30, 20, 4, 16, 7);
    std::vector<uint8_t> out;
    FilterSummary summary;
    ASSERT_EQ(
        run(encode_test_png(image), out, options_for({"--rect", "2,5,19,11"}), summary).status,
        kExitDone);
    ImageLayout layout;
    const std::vector<uint8_t> got = decode(out, &layout);
    ASSERT_EQ(layout.channels, 4); // colour kept outside the rectangle
    size_t ink = 0;
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 30; ++x) {
            const size_t at = (size_t(y) * 30 + x) * 8;
            uint16_t p[4];
            std::memcpy(p, got.data() + at, 8);
            if (y >= 2 && y < 19 && x >= 5 && x < 11) {
                EXPECT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0) << x << ", " << y;
                ink += p[3] > 0;
            } else {
                ASSERT_EQ(std::memcmp(p, image.samples.data() + at, 8), 0) << x << ", " << y;
            }
        }
    EXPECT_GT(ink, 90u);
}

TEST(FilterPng, AColourlessResultIsGreyAlphaAndEightBitStaysEightBit) {
    std::vector<uint8_t> out;
    FilterSummary summary;
    const TestPng image = random_test_png(64, 16, 4, 8, 9); // alphas 0..255 four times over
    ASSERT_EQ(run(encode_test_png(image), out, options_for({}), summary).status, kExitDone);
    EXPECT_EQ(summary.output_channels, 2);
    ImageLayout layout;
    const std::vector<uint8_t> got = decode(out, &layout);
    EXPECT_EQ(layout.bits, 8);
    for (size_t p = 0; p < 64 * 16; ++p)
        ASSERT_EQ(got[2 * p], 0) << p; // black ink
}

namespace {

// Paints every pixel of every band it gets with `written`, then asks for the band above the
// last (going back up) when told to.
bool go_back_up = false;
std::array<uint8_t, 4> written;

void painting_plugin(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    auto& r = *static_cast<FilterRecord*>(record);
    if (selector != filterSelectorStart) {
        PluginMain(selector, record, data, result);
        return;
    }
    const int32_t width = r.bigDocumentData->imageSize32.h,
                  height = r.bigDocumentData->imageSize32.v;
    r.bigDocumentData->PluginUsing32BitCoordinates = 1;
    std::vector<int32_t> tops;
    for (int32_t top = 0; top < height; top += 8)
        tops.push_back(top);
    if (go_back_up) tops.push_back(0);
    for (int32_t top : tops) {
        const VRect band{top, 0, std::min(top + 8, height), width};
        r.bigDocumentData->inRect32 = r.bigDocumentData->outRect32 = band;
        r.inLoPlane = r.outLoPlane = 0;
        r.inHiPlane = r.outHiPlane = 3;
        *result = r.advanceState();
        if (*result != noErr) return;
        auto* out = static_cast<uint8_t*>(r.outData);
        for (int32_t y = 0; y < band.bottom - band.top; ++y)
            for (int32_t x = 0; x < width; ++x)
                std::memcpy(out + y * r.outRowBytes + x * 4, written.data(), 4);
    }
    r.bigDocumentData->inRect32 = r.bigDocumentData->outRect32 = {0, 0, 0, 0};
}

} // namespace

TEST(FilterPng, AModuleGoingBackUpRunsAgainHeldWholeAndColourWhereTheResultIsGreyFails) {
    const std::vector<uint8_t> file = encode_test_png(random_test_png(10, 20, 4, 8, 3));
    std::vector<uint8_t> out;
    FilterSummary summary;
    // Going back up to rows already written: the run is made again with the image held.
    go_back_up = true;
    written = {100, 100, 100, 255};
    ASSERT_EQ(run(file, out, options_for({}), summary, painting_plugin).status, kExitDone);
    EXPECT_EQ(summary.attempts, 2);
    EXPECT_TRUE(summary.whole_image);
    std::vector<uint8_t> want;
    for (int p = 0; p < 200; ++p)
        want.insert(want.end(), {100, 255});
    EXPECT_EQ(decode(out), want);
    // Colour from a module whose result is grey: the file fails, and is neither dropped to
    // grey nor read again for RGBA.
    go_back_up = false;
    written = {200, 100, 50, 255};
    const Failure failure = run(file, out, options_for({}), summary, painting_plugin);
    EXPECT_EQ(failure.status, kExitProtocolFault);
    EXPECT_EQ(failure.message, "the module wrote colour in row 0, where its result is grey");
    EXPECT_EQ(summary.attempts, 1);
    EXPECT_NE(read_test_png(out).kind, ImageErrorKind::none); // no image written
}

TEST(FilterPng, CtrlCAfterTheLastAbortPollAndDamageBelowTheRectangleStillFail) {
    const std::vector<uint8_t> file = encode_test_png(random_test_png(10, 40, 4, 8, 3));
    std::vector<uint8_t> out;
    FilterSummary summary;
    // The module polls after each band; this says stop only once it has polled 5 times, after
    // its last band, while the rows are written.
    struct LateCtrlC : RunObserver {
        bool interrupted() override { return ++polls > 5; }
        int polls = 0;
    } late;
    Failure failure = run(file, out, options_for({}), summary, PluginMain, &late);
    EXPECT_EQ(failure.status, kExitCanceled);
    EXPECT_EQ(failure.message, "stopped by Ctrl+C");

    // A flipped CRC at the end of the file is found after the module ran: nothing is done.
    std::vector<uint8_t> damaged = file;
    damaged[damaged.size() - 1] ^= 1;
    failure = run(damaged, out, options_for({"--rect", "0,0,8,10"}), summary);
    EXPECT_EQ(failure.status, kExitBadInput);
    EXPECT_NE(failure.message.find("the CRC of the IEND chunk"), std::string::npos)
        << failure.message;
}

TEST(FilterPng, PaperTakenToWhiteBeforeTheModuleRunsAndOnlyInTheRectangleAndEvenedOutInShadow) {
    // 8 x 8 grey paper at 240, with ink 0 and 120 on the diagonal. At level 240 the module's
    // alpha (255 - grey) is 0 for the paper (15 without), 255 for the ink at 0, and 127 for 120,
    // which becomes 128 (127.5 rounded up).
    TestPng image;
    image.width = image.height = 8;
    image.colour_type = 0;
    image.samples.assign(64, 240);
    for (size_t i = 0; i < 8; ++i)
        image.samples[i * 9] = i % 2 != 0 ? 120 : 0;
    const std::vector<uint8_t> file = encode_test_png(image);
    auto alpha = [&](size_t p) {
        return image.samples[p] == 240 ? 0 : image.samples[p] ? 127 : 255;
    };
    std::vector<uint8_t> out;
    FilterSummary summary;
    for (int32_t depth : {0, 32}) // the file's 8 bits, or float
        for (const char* level : {"240", "auto"}) {
            RunRequest request = options_for({"--paper", level});
            request.depth = depth;
            ASSERT_EQ(run(file, out, request, summary).status, kExitDone) << level << depth;
            // No noise above the paper: auto takes its grey itself.
            EXPECT_EQ(summary.paper.level, summary.paper_auto ? 240 : 255) << level;
            const std::vector<uint8_t> got = decode(out);
            for (size_t p = 0; p < 64; ++p)
                ASSERT_EQ(got[2 * p + 1], alpha(p)) << p << " " << level << " " << depth;
        }
    // The top half selected: the rows below come through as they were, 240 and opaque.
    ASSERT_EQ(run(file, out, options_for({"--paper", "240", "--rect", "0,0,4,8"}), summary).status,
              kExitDone);
    const std::vector<uint8_t> got = decode(out);
    for (size_t p = 0; p < 64; ++p)
        ASSERT_EQ(got[2 * p] * 256 + got[2 * p + 1],
                  p < 32 ? alpha(p) : image.samples[p] * 256 + 255)
            << p;
    // 64 x 8 with the right half in shadow, 160: two cells, levelled at 240 and 160 at their
    // centres (pixels 16 and 48) and bilinear between: pixel 40's level is 240 - 80 x 196 / 256
    // = 178.75, so its 160 becomes 228 and keeps alpha 27. The ink at 0 stays.
    TestPng shadow;
    shadow.width = 64, shadow.height = 8;
    shadow.colour_type = 0;
    for (size_t p = 0; p < 64 * 8; ++p)
        shadow.samples.push_back(p % 64 < 32 ? 240 : 160);
    shadow.samples[64 * 3 + 50] = 0;
    ASSERT_EQ(run(encode_test_png(shadow), out, options_for({"--paper", "auto"}), summary).status,
              kExitDone);
    EXPECT_EQ(paper_line(summary.paper), "paper evened out: levels 160..240 (auto)");
    const std::vector<uint8_t> evened = decode(out);
    for (size_t p = 0; p < 64 * 8; ++p) {
        const size_t x = p % 64;
        if (p == 64 * 3 + 50) {
            EXPECT_EQ(evened[2 * p + 1], 255);
        } else if (x < 32 || x >= 48) {
            ASSERT_EQ(evened[2 * p + 1], 0) << p;
        } else if (x == 40) {
            EXPECT_EQ(evened[2 * p + 1], 27) << p;
        }
    }
    // A damaged end is found by the first pass, with the run's own status and line.
    std::vector<uint8_t> damaged = file;
    damaged.back() ^= 1;
    const Failure plain = run(damaged, out, options_for({}), summary);
    const Failure first_pass = run(damaged, out, options_for({"--paper", "auto"}), summary);
    EXPECT_EQ(first_pass.status, kExitBadInput);
    EXPECT_EQ(first_pass.message, plain.message);
    EXPECT_EQ(summary.attempts, 0); // the module never ran
}

TEST(FilterJpeg, APhotoIsTurnedUprightAndItsExifSaysSoUnlessKeptAsStored) {
    // Blocks a..f stored as rows "abc" and "def" (24 x 16), to be turned 90 degrees clockwise:
    // upright "da", "eb", "fc" (16 x 24). The module filters one pixel only.
    TestJpeg photo = grey_blocks(3, {30, 60, 90, 120, 150, 180});
    photo.exif = exif_orientation(6);
    const std::vector<uint8_t> file = encode_test_jpeg(photo);
    struct Case {
        std::vector<std::string> args;
        uint32_t width, height;
        std::vector<uint8_t> blocks; // row after row
        std::vector<uint8_t> exif;
    };
    const Case cases[] = {
        {{"--rect", "0,0,1,1"}, 16, 24, {120, 30, 150, 60, 180, 90}, exif_orientation(1)},
        // The first pass of --paper auto reads it upright too: rows 17 to 23 are there only so.
        {{"--rect", "17,0,24,1", "--paper", "auto"},
         16,
         24,
         {120, 30, 150, 60, 180, 90},
         exif_orientation(1)},
        {{"--rect", "0,0,1,1", "--keep-orientation"},
         24,
         16,
         {30, 60, 90, 120, 150, 180},
         exif_orientation(6)},
    };
    for (const Case& c : cases) {
        const std::string what = c.args.back();
        std::vector<uint8_t> out;
        FilterSummary summary;
        const Failure failure = run(file, out, options_for(c.args), summary);
        ASSERT_EQ(failure.status, kExitDone) << what << ": " << failure.message;
        EXPECT_TRUE(summary.whole_image == (c.width == 16)) << what;
        ImageLayout layout;
        const std::vector<uint8_t> got = decode(out, &layout);
        ASSERT_EQ(layout.width, c.width) << what;
        ASSERT_EQ(layout.height, c.height) << what;
        ASSERT_EQ(layout.channels, 2) << what;
        const uint32_t columns = c.width / 8;
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) {
                if (x == 0 && (what == "auto" ? y >= 17 : y == 0)) continue; // filtered
                const size_t at = 2 * (size_t{y} * c.width + x);
                ASSERT_LE(std::abs(got[at] - c.blocks[y / 8 * columns + x / 8]), 2)
                    << what << ": " << x << ", " << y;
                ASSERT_EQ(got[at + 1], 255) << what << ": " << x << ", " << y;
            }
        const size_t exif = chunk_at(out, "eXIf");
        ASSERT_NE(exif, 0u) << what;
        EXPECT_EQ(std::vector<uint8_t>(out.begin() + exif + 8,
                                       out.begin() + exif + 8 + chunk_length(out, exif)),
                  c.exif)
            << what;
    }
}

TEST(FilterPng, InkKeepGivesBackTheColourOverWhiteAndInkColourMakesRgbaOfGrey) {
    // Worked as in ink_test: red (255, 0, 0) gets the module's alpha 179 (luminance 76.22
    // rounded down, 255 - 76) and keep gives it (255, 0, 0); the seal's dark red
    // (170, 30, 40), luminance 72.99 -> alpha 183, gives 255 x 98 / 183 = 136.56 -> 137 and
    // 0, 0; black stays black at 255; white is alpha 0, and white.
    TestPng seal;
    seal.width = 4;
    seal.height = 1;
    seal.samples = {255, 0, 0, 255, 170, 30, 40, 255, 0, 0, 0, 255, 255, 255, 255, 255};
    std::vector<uint8_t> out;
    FilterSummary summary;
    ASSERT_EQ(run(encode_test_png(seal), out, options_for({"--ink", "keep"}), summary).status,
              kExitDone);
    EXPECT_EQ(summary.output_channels, 4);
    ImageLayout layout;
    EXPECT_EQ(decode(out, &layout), (std::vector<uint8_t>{255, 0, 0, 179, 137, 0, 0, 183, 0, 0, 0,
                                                          255, 255, 255, 255, 0}));
    EXPECT_EQ(layout.channels, 4);
    // 16 bits: red keeps its full red over any alpha; the alpha is the module's, as without
    // --ink.
    TestPng red16 = random_test_png(1, 1, 4, 16, 1);
    const uint16_t red[4] = {65535, 0, 0, 65535};
    std::memcpy(red16.samples.data(), red, 8);
    ASSERT_EQ(run(encode_test_png(red16), out, options_for({}), summary).status, kExitDone);
    const std::vector<uint8_t> plain = decode(out); // grey + alpha
    ASSERT_EQ(run(encode_test_png(red16), out, options_for({"--ink", "keep"}), summary).status,
              kExitDone);
    uint16_t got[4], alpha;
    std::memcpy(got, decode(out).data(), 8);
    std::memcpy(&alpha, plain.data() + 2, 2);
    EXPECT_EQ(std::vector<uint16_t>(got, got + 4), (std::vector<uint16_t>{65535, 0, 0, alpha}));
    EXPECT_NEAR(alpha, 45946, 1); // 65535 x (1 - 0.298912)
    // A grey layer under --ink red is RGBA: red at the module's alpha, 255 - grey.
    TestPng grey;
    grey.width = 2;
    grey.height = 1;
    grey.colour_type = 4;
    grey.samples = {0, 255, 200, 255};
    ASSERT_EQ(run(encode_test_png(grey), out, options_for({"--ink", "red"}), summary).status,
              kExitDone);
    EXPECT_EQ(summary.output_channels, 4);
    EXPECT_EQ(decode(out, &layout), (std::vector<uint8_t>{255, 0, 0, 255, 255, 0, 0, 55}));
    EXPECT_EQ(layout.channels, 4);
    // Only the rectangle is coloured: the row below it comes through, its grey as R, G and B.
    grey.height = 2;
    grey.samples.insert(grey.samples.end(), {0, 255, 200, 255});
    ASSERT_EQ(
        run(encode_test_png(grey), out, options_for({"--ink", "red", "--rect", "0,0,1,2"}), summary)
            .status,
        kExitDone);
    EXPECT_EQ(decode(out), (std::vector<uint8_t>{255, 0, 0, 255, 255, 0, 0, 55, 0, 0, 0, 255, 200,
                                                 200, 200, 255}));
}
