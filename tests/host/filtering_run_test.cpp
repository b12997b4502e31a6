// The filtering run against the test host: bands, host calls in order, refusals, bad
// parameters, errors, cancellation, and what happens with hosts that pad rows, pass null
// pointers or hostile rectangles.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "host/coordinates.h"
#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "tests/common/fake_filter_host.h"
#include "tests/common/test_seams.h"

namespace {

std::string str(const VRect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
}

std::vector<std::string> strs(const std::vector<VRect>& rects) {
    std::vector<std::string> out;
    out.reserve(rects.size());
    for (const auto& r : rects)
        out.push_back(str(r));
    return out;
}

// Fills every pixel of an 8-bit RGBA image with white, opaque.
void fill_white(FakeFilterHost& host) {
    std::fill(host.image.begin(), host.image.end(), 255);
}

class FilteringRun : public ::testing::Test {
  protected:
    void SetUp() override { shown_message_boxes.clear(); }
};

} // namespace

TEST_F(FilteringRun, TwentyRowsGoInThreeBandsWithProgressAndResult) {
    FakeFilterHost host(PluginMain, 5, 20);
    fill_white(host);
    host.call(filterSelectorParameters);
    host.call(filterSelectorPrepare);
    host.call(filterSelectorStart);

    EXPECT_EQ(strs(host.requested), (std::vector<std::string>{"0,0,8,5", "8,0,16,5", "16,0,20,5"}));
    EXPECT_EQ(strs(host.requested_in), strs(host.requested));
    EXPECT_EQ(host.requested_planes, (std::vector<int>{3, 3, 3}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"advance", "progress 1/3", "abort", "advance",
                                                  "progress 2/3", "abort", "advance",
                                                  "progress 3/3", "abort"}));
    EXPECT_EQ(host.result, noErr);
    EXPECT_EQ(host.record.inputRate, 0x10000);
    EXPECT_EQ(host.record.maskRate, 0x10000);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 5; ++x)
            ASSERT_EQ(host.pixel(y, x)[3], 0) << y << "," << x;
    // The rectangles still describe the last band until continue clears them.
    EXPECT_EQ(str(VRect{host.record.outRect.top, host.record.outRect.left,
                        host.record.outRect.bottom, host.record.outRect.right}),
              "16,0,20,5");
}

TEST_F(FilteringRun, SelectionAwayFromTheOriginIsCoveredAndNothingElseChanges) {
    FakeFilterHost host(PluginMain, 40, 30);
    fill_white(host);
    host.record.filterCase = filterCaseEditableTransparencyWithSelection;
    host.set_filter_rect(11, 7, 24, 19); // 13 rows, 12 columns
    host.run_all_selectors();
    EXPECT_EQ(strs(host.requested), (std::vector<std::string>{"11,7,19,19", "19,7,24,19"}));
    EXPECT_EQ(host.progress, (std::vector<std::vector<int32_t>>{{1, 2}, {2, 2}}));
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const bool inside = y >= 11 && y < 24 && x >= 7 && x < 19;
            ASSERT_EQ(host.pixel(y, x)[3], inside ? 0 : 255) << y << "," << x;
        }
}

TEST_F(FilteringRun, GreyscaleRequestsPlanesZeroToOne) {
    FakeFilterHost host(PluginMain, 3, 9, 2, 16);
    host.call(filterSelectorStart);
    EXPECT_EQ(host.requested_planes, (std::vector<int>{1, 1}));
    EXPECT_EQ(host.result, noErr);
    // Black grey at 16 bits: full opacity.
    uint16_t alpha;
    std::memcpy(&alpha, host.pixel(8, 2) + 2, 2);
    EXPECT_EQ(alpha, 32768);
}

TEST_F(FilteringRun, RefusalsShowTheirMessageAndTouchNothing) {
    struct Case {
        int16_t mode, filter_case;
        const char16_t* text;
    };
    const std::u16string colour =
        u"カラーモードをグレースケールかRGBにしてから、再度フィルタを実行してください。\n";
    const std::u16string background = u"\"背景\"をレイヤに変えてから、フィルタを実行してください。";
    const std::vector<std::pair<Case, std::u16string>> cases = {
        {{plugInModeCMYKColor, filterCaseEditableTransparencyNoSelection, nullptr}, colour},
        {{plugInModeLabColor, filterCaseEditableTransparencyNoSelection, nullptr}, colour},
        {{plugInModeBitmap, filterCaseEditableTransparencyNoSelection, nullptr}, colour},
        // The colour-mode test comes first: a flat CMYK image gets only that message.
        {{plugInModeCMYKColor, filterCaseFlatImageNoSelection, nullptr}, colour},
        {{plugInModeRGBColor, filterCaseFlatImageNoSelection, nullptr}, background},
        {{plugInModeGray16, filterCaseFlatImageWithSelection, nullptr}, background},
    };
    for (const auto& [c, text] : cases) {
        shown_message_boxes.clear();
        FakeFilterHost host(PluginMain, 4, 4, c.mode == plugInModeGray16 ? 2 : 4,
                            c.mode == plugInModeGray16 ? 16 : 8);
        host.record.imageMode = c.mode;
        host.record.filterCase = c.filter_case;
        const FilterRecord before = host.record;
        host.call(filterSelectorStart);
        ASSERT_EQ(shown_message_boxes.size(), 1u) << c.mode << "/" << c.filter_case;
        EXPECT_EQ(shown_message_boxes[0].caption, u"エラー");
        EXPECT_EQ(shown_message_boxes[0].text, text);
        EXPECT_EQ(shown_message_boxes[0].owner, 0x4242);
        EXPECT_EQ(host.result, 0x5A5A);
        EXPECT_TRUE(host.requested.empty());
        EXPECT_EQ(std::memcmp(&before, &host.record, sizeof before), 0) << "record written";
        EXPECT_TRUE(
            std::all_of(host.image.begin(), host.image.end(), [](auto b) { return b == 0; }));
    }
}

TEST_F(FilteringRun, WrongPlanesOrZeroTileSizeIsBadParameters) {
    for (int variant = 0; variant < 4; ++variant) {
        FakeFilterHost host(PluginMain, 4, 4);
        if (variant == 0) host.record.planes = 3; // RGB layer without transparency
        if (variant == 1) host.record.outTileWidth = 0;
        if (variant == 2) host.record.outTileHeight = 0;
        if (variant == 3) host.record.planes = 4, host.record.imageMode = plugInModeGray32;
        host.call(filterSelectorStart);
        EXPECT_EQ(host.result, filterBadParameters) << variant;
        EXPECT_TRUE(host.requested.empty());
        EXPECT_TRUE(shown_message_boxes.empty());
        EXPECT_EQ(host.record.inputRate, 0x1234) << "rates are written only once checks pass";
        EXPECT_EQ(host.record.maskRate, 0x5678);
    }
}

TEST_F(FilteringRun, AdvanceErrorStopsWithItsStatusAndLeavesTheBandAlone) {
    FakeFilterHost host(PluginMain, 2, 20);
    host.fail_advance_at = 2;
    host.call(filterSelectorStart);
    EXPECT_EQ(host.result, -108);
    EXPECT_EQ(host.log, (std::vector<std::string>{"advance", "progress 1/3", "abort", "advance"}));
    EXPECT_EQ(host.pixel(7, 1)[3], 255); // first band filtered (black -> opaque)
    EXPECT_EQ(host.pixel(8, 0)[3], 0);   // second band untouched
}

TEST_F(FilteringRun, AbortInTheFirstBandStopsAfterOneBand) {
    FakeFilterHost host(PluginMain, 2, 20);
    host.abort_after_bands = 1;
    host.call(filterSelectorStart);
    EXPECT_EQ(host.result, userCanceledErr);
    EXPECT_EQ(host.log, (std::vector<std::string>{"advance", "progress 1/3", "abort"}));
    EXPECT_EQ(host.pixel(7, 0)[3], 255); // that band was transformed
    EXPECT_EQ(host.pixel(8, 0)[3], 0);
}

TEST_F(FilteringRun, EmptyOrNegativeRectanglesRequestNothing) {
    for (const VRect r :
         {VRect{3, 0, 3, 4}, VRect{3, 0, 1, 4}, VRect{0, 2, 4, 2}, VRect{0, 3, 4, 1}}) {
        FakeFilterHost host(PluginMain, 4, 4);
        host.set_filter_rect(r.top, r.left, r.bottom, r.right);
        host.call(filterSelectorStart);
        EXPECT_TRUE(host.requested.empty()) << str(r);
        EXPECT_EQ(host.result, 0x5A5A);
        EXPECT_TRUE(
            std::all_of(host.image.begin(), host.image.end(), [](auto b) { return b == 0; }));
    }
}

TEST_F(FilteringRun, PaddedRowsFilterLikeTightRowsAndKeepTheirPad) {
    for (int32_t depth : {8, 16, 32}) {
        FakeFilterHost tight(PluginMain, 7, 11, 4, depth), padded(PluginMain, 7, 11, 4, depth);
        for (size_t i = 0; i < tight.image.size(); ++i)
            tight.image[i] = padded.image[i] = uint8_t(i * 37 + 11);
        if (depth == 32) // keep floats finite and in range: bytes of 0.0 .. 1.0
            for (size_t i = 0; i < tight.image.size(); i += 4) {
                const float f = float(i % 97) / 96.0f;
                std::memcpy(&tight.image[i], &f, 4);
                std::memcpy(&padded.image[i], &f, 4);
            }
        tight.copy_bands = true;
        padded.copy_bands = true;
        padded.pad_bytes = 5; // odd, so 16-bit and float rows start unaligned
        tight.run_all_selectors();
        padded.run_all_selectors(); // throws if a pad byte was written
        EXPECT_EQ(padded.result, noErr);
        EXPECT_EQ(tight.image, padded.image) << depth;
    }
}

TEST_F(FilteringRun, MisreportedPitchIsTakenAsPackedRows) {
    FakeFilterHost host(PluginMain, 3, 4, 4, 16);
    host.copy_bands = true;
    host.reported_row_bytes = 12; // half the true 24
    host.run_all_selectors();
    uint16_t alpha;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 3; ++x) {
            std::memcpy(&alpha, host.pixel(y, x) + 6, 2);
            ASSERT_EQ(alpha, 32768);
        }
}

TEST_F(FilteringRun, NullCallbacksAndPlatformDataDoNotCrash) {
    FakeFilterHost host(PluginMain, 2, 12);
    host.record.progressProc = nullptr;
    host.record.abortProc = nullptr;
    host.call(filterSelectorStart);
    EXPECT_EQ(host.result, noErr);
    EXPECT_EQ(host.log, (std::vector<std::string>{"advance", "advance"}));
    EXPECT_EQ(host.pixel(11, 1)[3], 255);

    FakeFilterHost refused(PluginMain, 2, 2);
    refused.record.platformData = nullptr;
    refused.record.imageMode = plugInModeCMYKColor;
    refused.call(filterSelectorStart);
    ASSERT_EQ(shown_message_boxes.size(), 1u);
    EXPECT_EQ(shown_message_boxes[0].owner, 0);
}

TEST_F(FilteringRun, NullAdvanceStateOrOutputBufferIsBadParameters) {
    FakeFilterHost no_advance(PluginMain, 2, 2);
    no_advance.record.advanceState = nullptr;
    no_advance.call(filterSelectorStart);
    EXPECT_EQ(no_advance.result, filterBadParameters);

    FakeFilterHost no_buffer(PluginMain, 2, 20);
    no_buffer.null_out_data = true;
    no_buffer.call(filterSelectorStart);
    EXPECT_EQ(no_buffer.result, filterBadParameters);
    EXPECT_EQ(no_buffer.log, (std::vector<std::string>{"advance"}));
    EXPECT_TRUE(
        std::all_of(no_buffer.image.begin(), no_buffer.image.end(), [](auto b) { return b == 0; }));
}

TEST_F(FilteringRun, BigDocumentCoordinatesAreUsedBeyondSixteenBits) {
    FakeFilterHost host(PluginMain, 4, 20, 4, 8, true);
    host.record.filterRect = Rect{0, 0, 0, 0}; // stale 16-bit rectangle
    host.set_filter_rect(0, 0, 20, 4);
    host.record.filterRect = Rect{0, 0, 0, 0};
    host.record.outRect = Rect{-1, -1, -1, -1};
    host.call(filterSelectorStart);
    EXPECT_EQ(host.big.PluginUsing32BitCoordinates, 1);
    EXPECT_EQ(strs(host.requested), (std::vector<std::string>{"0,0,8,4", "8,0,16,4", "16,0,20,4"}));
    EXPECT_EQ(host.record.outRect.top, -1) << "16-bit rectangle written while 32-bit in use";
}

namespace {

// A host with a rectangle spanning all of 32-bit space. It records each band asked for, serves
// a single pixel of it (a host may deliver less than asked) and fails the third request.
struct HostileHost {
    static inline std::vector<VRect> requested;
    static inline FilterRecord* record = nullptr;
    static inline unsigned char pixel[4] = {};
    static OSErr advance() {
        requested.push_back(record->bigDocumentData->outRect32);
        record->bigDocumentData->outRect32 = VRect{0, 0, 1, 1};
        record->outData = pixel;
        record->outRowBytes = 4;
        return requested.size() < 3 ? OSErr(noErr) : OSErr(-1);
    }
};

} // namespace

TEST_F(FilteringRun, HostileRectanglesNeverOverflowOrLeaveTheRectangle) {
    FakeHostRecord host(PluginMain, 0, 0, 4, 8, true);
    host.record.advanceState = HostileHost::advance;
    host.big.filterRect32 = VRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    // The host's callbacks reach it only through a static, used during the call alone.
    // cppcheck-suppress danglingLifetime
    HostileHost::record = &host.record;
    HostileHost::requested.clear();
    host.call(filterSelectorStart);
    EXPECT_EQ(host.result, -1);
    ASSERT_EQ(HostileHost::requested.size(), 3u);
    EXPECT_EQ(str(HostileHost::requested[0]),
              str(VRect{INT32_MIN, INT32_MIN, INT32_MIN + 8, INT32_MAX}));
    EXPECT_EQ(str(HostileHost::requested[2]),
              str(VRect{INT32_MIN + 16, INT32_MIN, INT32_MIN + 24, INT32_MAX}));

    // The last bands of a rectangle ending at INT32_MAX stop exactly there.
    host.big.filterRect32 = VRect{INT32_MAX - 20, 0, INT32_MAX, 1};
    HostileHost::requested.clear();
    host.call(filterSelectorStart);
    ASSERT_EQ(HostileHost::requested.size(), 3u);
    EXPECT_EQ(HostileHost::requested[2].top, INT32_MAX - 4);
    EXPECT_EQ(HostileHost::requested[2].bottom, INT32_MAX);

    // The same in 16-bit coordinates.
    host.record.bigDocumentData = nullptr;
    host.record.filterRect = Rect{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
    HostileHost::requested.clear();
    static FilterRecord* current = nullptr;
    current = &host.record;
    host.record.advanceState = [] {
        HostileHost::requested.push_back(VRect{current->outRect.top, current->outRect.left,
                                               current->outRect.bottom, current->outRect.right});
        return OSErr(-2);
    };
    host.call(filterSelectorStart);
    EXPECT_EQ(host.result, -2);
    ASSERT_EQ(HostileHost::requested.size(), 1u);
    EXPECT_EQ(str(HostileHost::requested[0]),
              str(VRect{INT16_MIN, INT16_MIN, INT16_MIN + 8, INT16_MAX}));
}

namespace {

// A host that sets the filter rectangle (both sizes) to `moved` when the plug-in polls for
// abort after band `after_band`, then leaves it.
struct MovingRectangle {
    static inline FakeFilterHost* host = nullptr;
    static inline int after_band = 0;
    static inline VRect moved{};
    static inline int polls = 0;
    static Boolean poll() {
        if (++polls == after_band)
            host->set_filter_rect(moved.top, moved.left, moved.bottom, moved.right);
        return 0;
    }
};

std::vector<std::string> bands_with_move(const VRect& start, int after_band, const VRect& moved,
                                         bool big_document = false) {
    FakeFilterHost host(PluginMain, 100, 400, 4, 8, big_document);
    host.set_filter_rect(start.top, start.left, start.bottom, start.right);
    // The host's callbacks reach it only through a static, used during the call alone.
    // cppcheck-suppress danglingLifetime
    MovingRectangle::host = &host;
    MovingRectangle::after_band = after_band;
    MovingRectangle::moved = moved;
    MovingRectangle::polls = 0;
    host.record.abortProc = MovingRectangle::poll;
    host.call(filterSelectorStart); // throws on a request outside the rectangle as it stands
    EXPECT_EQ(host.result, noErr) << "the run ends with the last band's status";
    return strs(host.requested);
}

using Bands = std::vector<std::string>;

} // namespace

// A host may move or shrink the filter rectangle between bands. Each band is then the band
// counted from the current top, kept inside both the starting and the current rectangle; the
// run ends as soon as nothing of it is left.
TEST_F(FilteringRun, AMovedOrShrunkRectangleGetsBandsInsideBothRectangles) {
    // Moved left by 6 columns: the left edge stays at the start's, the right one follows (the
    // unmended run asked for 300,13,308,45, past the current right edge).
    EXPECT_EQ(bands_with_move({292, 19, 326, 45}, 1, {292, 13, 326, 39}),
              (Bands{"292,19,300,45", "300,19,308,39", "308,19,316,39", "316,19,324,39",
                     "324,19,326,39"}));
    // Moved far up and right: the fourth band (17,50,25,59 unmended) lies in neither.
    EXPECT_EQ(bands_with_move({142, 35, 171, 59}, 3, {-7, 50, -1, 76}, true),
              (Bands{"142,35,150,59", "150,35,158,59", "158,35,166,59"}));
    // Made empty, or moved clear of the starting columns (unmended: inverted or zero-width).
    EXPECT_EQ(bands_with_move({0, 0, 24, 4}, 1, {-10, 44, -2, 49}), (Bands{"0,0,8,4"}));
    EXPECT_EQ(bands_with_move({0, 0, 24, 4}, 1, {0, 0, 24, 0}), (Bands{"0,0,8,4"}));
    EXPECT_EQ(bands_with_move({0, 0, 24, 4}, 1, {0, 6, 24, 9}), (Bands{"0,0,8,4"}));
    EXPECT_EQ(bands_with_move({0, 0, 24, 4}, 1, {0, 4, 24, 9}), (Bands{"0,0,8,4"}));
    // Grown: bottom and right stay at the start's, so does the left.
    EXPECT_EQ(bands_with_move({0, 2, 20, 4}, 1, {0, 0, 40, 10}, true),
              (Bands{"0,2,8,4", "8,2,16,4", "16,2,20,4"}));
    // Shrunk from the left and the bottom: the band follows both.
    EXPECT_EQ(bands_with_move({0, 0, 24, 8}, 1, {0, 3, 12, 8}), (Bands{"0,0,8,8", "8,3,12,8"}));
    // Moved down by 4 rows: bands count from the new top, and stop at the starting bottom.
    EXPECT_EQ(bands_with_move({0, 0, 40, 4}, 1, {4, 0, 44, 4}),
              (Bands{"0,0,8,4", "12,0,20,4", "20,0,28,4", "28,0,36,4", "36,0,40,4"}));
    // Moved down past the starting bottom after the first band: nothing more.
    EXPECT_EQ(bands_with_move({0, 0, 20, 4}, 1, {16, 0, 36, 4}), (Bands{"0,0,8,4"}));
}

TEST_F(FilteringRun, StartLeavesTheMaskRectangleAlone) {
    for (bool big_document : {false, true}) {
        FakeFilterHost host(PluginMain, 3, 20, 4, 8, big_document);
        host.record.maskRect = Rect{1, 2, 3, 4};
        host.big.maskRect32 = VRect{5, 6, 7, 8};
        host.call(filterSelectorStart);
        ASSERT_EQ(host.requested.size(), 3u);
        EXPECT_EQ(str(widen_rect(host.record.maskRect)), "1,2,3,4") << big_document;
        EXPECT_EQ(str(host.big.maskRect32), "5,6,7,8") << big_document;
    }
}

TEST_F(FilteringRun, PlanesAreReadAgainForEveryBand) {
    // A host whose record says 2 planes from the second band on gets planes 0..1 asked for it.
    FakeFilterHost host(PluginMain, 3, 20);
    static FakeFilterHost* current = nullptr;
    current = &host;
    host.record.abortProc = [] {
        current->record.planes = 2;
        return Boolean(0);
    };
    host.call(filterSelectorStart);
    EXPECT_EQ(host.requested_planes, (std::vector<int>{3, 1, 1}));
}

TEST_F(FilteringRun, LuminanceAddsRedAndGreenBeforeBlue) {
    // The only three 8-bit colours where red + (green + blue) would round to the other side of
    // an integer: (r*0.298912 + g*0.586611) + b*0.114478 is 120.99999999999999,
    // 183 and 96.999999999999986, which truncate to 120, 183 and 96 (and not 121, 182, 97).
    FakeFilterHost host(PluginMain, 3, 1);
    const uint8_t colours[3][4] = {{66, 142, 157, 0}, {81, 242, 147, 0}, {172, 42, 183, 0}};
    for (int32_t x = 0; x < 3; ++x)
        std::memcpy(host.pixel(0, x), colours[x], 4);
    host.call(filterSelectorStart);
    const std::vector<uint8_t> want = {120, 120, 120, 135, 183, 183, 183, 72, 96, 96, 96, 159};
    EXPECT_EQ(std::vector<uint8_t>(host.image.begin(), host.image.end()), want);
}
