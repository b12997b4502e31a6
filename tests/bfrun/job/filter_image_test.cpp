// One PNG file through the real PluginMain, in memory: streaming gives the bytes holding the
// whole image gives, pixels outside the rectangle come through bit for bit, a run that must
// start again (a module going back up) still ends right, and colour where the result is grey
// fails the file.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "bfrun/cli/options.h"
#include "bfrun/job/filter_image.h"
#include "bfrun/image/png_reader.h"
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
