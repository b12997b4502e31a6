// The host against the real PluginMain (linked in natively) and against a small plug-in of the
// test's own that makes the requests each test needs.
#include <gtest/gtest.h>

#include <cstring>

#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "bfrun/drive/run_filter.h"
#include "bfrun/job/run_verdict.h"
#include "tests/bfrun/test_png.h"
#include "tests/common/test_seams.h"

namespace {

ExitStatus verdict(const RunReport& report) {
    std::string why;
    return run_exit_status(report, why);
}

// Hears nothing, and the user never stops.
RunObserver quiet;

RunSettings settings_for(const Layer& layer) {
    RunSettings s;
    s.image_mode = plugInModeRGBColor;
    s.filter_rect = {0, 0, layer.store.height(), layer.store.width()};
    return s;
}

// What the fake plug-in below is to request, and what it saw.
struct FakeLog {
    std::vector<VRect> requests;
    std::vector<std::vector<uint8_t>> delivered; // outData of each request, rows packed
    bool set_32bit = true;
    bool never_done = false; // continue asks for the first band again, forever
    uint32_t host_sig = 0;   // the record's hostSig at start
} fake;

void request(FilterRecord& r, const VRect& rect) {
    if (r.bigDocumentData != nullptr && fake.set_32bit) {
        r.bigDocumentData->PluginUsing32BitCoordinates = 1;
        r.bigDocumentData->inRect32 = rect;
        r.bigDocumentData->outRect32 = rect;
    } else {
        r.inRect = r.outRect = {int16_t(rect.top), int16_t(rect.left), int16_t(rect.bottom),
                                int16_t(rect.right)};
    }
    r.inLoPlane = r.outLoPlane = 0;
    r.inHiPlane = r.outHiPlane = 3;
}

// Makes fake.requests in turn; after each it records outData and sets its first pixel's
// alpha to 0.
void fake_plugin(int16_t selector, void* record, intptr_t*, int16_t* result) {
    auto& r = *static_cast<FilterRecord*>(record);
    if (selector == filterSelectorContinue)
        request(r, fake.never_done ? fake.requests[0] : VRect{0, 0, 0, 0});
    if (selector != filterSelectorStart) return;
    fake.host_sig = r.hostSig;
    for (const VRect& q : fake.requests) {
        request(r, q);
        *result = r.advanceState();
        if (*result != noErr || r.outData == nullptr) return;
        const size_t rows = size_t(q.bottom - q.top), tight = size_t(q.right - q.left) * 4;
        auto* out = static_cast<uint8_t*>(r.outData);
        std::vector<uint8_t> seen;
        for (size_t y = 0; y < rows; ++y)
            seen.insert(seen.end(), out + y * r.outRowBytes, out + y * r.outRowBytes + tight);
        fake.delivered.push_back(seen);
        out[3] = 0;
    }
}

} // namespace

TEST(RunFilter, DrivesTheModuleInPhotoshopsOrder) {
    Layer layer(5, 13);
    const std::vector<uint8_t> before = layer.samples();
    const RunReport report = run_filter(PluginMain, layer.store, settings_for(layer), quiet);
    EXPECT_EQ(report.result, noErr);
    // Start does both bands; its last request stands, so the host serves it once more and
    // calls continue, which clears the rectangles; then finish.
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(report.requests, 2);
    EXPECT_EQ(report.progress_calls, 2);
    EXPECT_TRUE(report.covered);
    EXPECT_TRUE(report.pad_intact);
    EXPECT_EQ(verdict(report), kExitDone);
    // Pixel 1 = (1, 2, 3, 254): over white (1.99, 2.99, 3.99 + 253) -> (2, 3, 4);
    // luminance 2.82 -> 2, alpha 253; with the matte removed, black at alpha 253.
    EXPECT_EQ(layer.pixel(1), (std::vector<uint8_t>{0, 0, 0, 253}));
    // Pixel 0 = (0, 0, 0, 255) is black and opaque: it stays so.
    EXPECT_EQ(layer.pixel(0), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_NE(layer.samples(), before);
}

TEST(RunFilter, EveryPixelHandedBackIsBlackInkEvenWhereTheMattingRoundTripIsAFixedPoint) {
    // (100, 50, 127) at alpha 1 over white: (255 x 254 + 100) / 255 = 254.39 -> 254, and
    // likewise 254, 254; luminance 254.0003 -> 254, alpha 1: the module hands the pixel back
    // as it was delivered. Un-matted, it is black at alpha 1 all the same.
    Layer layer(1, 1);
    std::memcpy(layer.store.row(0), "\x64\x32\x7f\x01", 4);
    const RunReport report = run_filter(PluginMain, layer.store, settings_for(layer), quiet);
    EXPECT_EQ(verdict(report), kExitDone);
    EXPECT_EQ(layer.pixel(0), (std::vector<uint8_t>{0, 0, 0, 1}));
}

TEST(RunFilter, PaddedRowsNullRecordsTheBigDocumentAndAWindowGiveTheSamePixels) {
    Layer plain(9, 20);
    run_filter(PluginMain, plain.store, settings_for(plain), quiet);
    for (int variant = 0; variant < 4; ++variant) {
        Layer layer(9, 20, variant != 3);
        RunSettings s = settings_for(layer);
        s.pad_bytes = variant == 0 ? 7 : 0;
        s.big_document = variant != 1;
        s.basic_suite = variant != 2;
        const RunReport report = run_filter(PluginMain, layer.store, s, quiet);
        EXPECT_EQ(verdict(report), kExitDone) << variant;
        if (variant == 3) {
            ASSERT_TRUE(layer.store.release_all());
            EXPECT_EQ(layer.rows.written, plain.samples());
            EXPECT_EQ(layer.store.peak_rows(), 8u); // one band
        } else {
            EXPECT_EQ(layer.samples(), plain.samples()) << variant;
        }
    }
}

TEST(RunFilter, RefusalAbortAndAdvanceErrors) {
    shown_message_boxes.clear();
    Layer layer(4, 30);
    const std::vector<uint8_t> before = layer.samples();
    RunSettings s = settings_for(layer);
    s.image_mode = plugInModeCMYKColor;
    s.owner_window = 1234;
    RunReport report = run_filter(PluginMain, layer.store, s, quiet);
    EXPECT_EQ(verdict(report), kExitRefused);
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3, 5}));
    ASSERT_EQ(shown_message_boxes.size(), 1u);
    EXPECT_EQ(shown_message_boxes[0].owner, 1234);
    EXPECT_EQ(layer.samples(), before);

    s = settings_for(layer);
    s.abort_after = 1;
    report = run_filter(PluginMain, layer.store, s, quiet);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.requests, 1);
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3})); // no continue, no finish

    // Ctrl+C reaches the module through the same abort poll.
    struct Interrupted : RunObserver {
        bool interrupted() override { return true; }
    } interrupted;
    s = settings_for(layer);
    report = run_filter(PluginMain, layer.store, s, interrupted);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.requests, 1);

    s = settings_for(layer);
    s.advance_error_at = 3;
    s.advance_error = -108;
    report = run_filter(PluginMain, layer.store, s, quiet);
    EXPECT_EQ(report.result, -108);
    EXPECT_EQ(report.requests, 3);
    EXPECT_EQ(report.progress_calls, 2);
    EXPECT_EQ(verdict(report), kExitOtherResult);
}

TEST(RunFilter, FaultsOfTheModule) {
    Layer layer(6, 4);
    RunSettings s = settings_for(layer);
    // Pixels outside the layer: the module gets bad parameters, bfrun reports a fault (10).
    fake = FakeLog{};
    fake.requests = {{2, 0, 5, 6}}; // one row below the layer
    RunReport report = run_filter(fake_plugin, layer.store, s, quiet);
    EXPECT_EQ(report.result, filterBadParameters);
    EXPECT_EQ(report.fault, "input rectangle or planes outside the layer");
    std::string why;
    EXPECT_EQ(run_exit_status(report, why), kExitProtocolFault);

    // A module that never stops asking is stopped at the call limit.
    fake = FakeLog{};
    fake.requests = {{0, 0, 4, 6}};
    fake.never_done = true;
    report = run_filter(fake_plugin, layer.store, s, quiet);
    EXPECT_EQ(run_exit_status(report, why), kExitProtocolFault);
    EXPECT_EQ(why, "the module broke the host protocol: the module kept asking for more after " +
                       std::to_string(host_call_limit({0, 0, 4, 6})) + " calls");

    // A module that keeps to 16-bit coordinates is served from them.
    fake = FakeLog{};
    fake.set_32bit = false;
    fake.requests = {{0, 0, 4, 6}};
    report = run_filter(fake_plugin, layer.store, s, quiet);
    EXPECT_EQ(verdict(report), kExitDone);
    // bfrun mattes as Photoshop does, so it says it is Photoshop: '8BIM'.
    EXPECT_EQ(fake.host_sig, 0x3842494Du);
}

TEST(RunFilter, AWindowStopsWhenTheModuleGoesBackUp) {
    Layer layer(6, 20, false);
    fake = FakeLog{};
    fake.requests = {{8, 0, 16, 6}, {0, 0, 8, 6}};
    const RunReport report = run_filter(fake_plugin, layer.store, settings_for(layer), quiet);
    EXPECT_TRUE(report.rows_gone);
    EXPECT_EQ(layer.rows.written.size(), 8u * 6 * 4); // rows 0..7 went to the writer
}
