// The host against the real PluginMain (linked in natively) and against small plug-ins of the
// test's own that do one thing each.
#include <gtest/gtest.h>

#include <cstring>

#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "runner/host_run.h"
#include "tests/unit/test_seams.h"

namespace {

// An 8-bit RGBA layer whose pixel i is (i, 2i, 3i, 255 - i) modulo 256.
Layer rgba8(int32_t width, int32_t height) {
    Layer layer;
    layer.width = width;
    layer.height = height;
    layer.planes = 4;
    layer.depth = 8;
    for (int32_t i = 0; i < width * height; ++i)
        for (uint8_t v : {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), uint8_t(255 - i)})
            layer.samples.push_back(v);
    return layer;
}

RunSettings settings_for(const Layer& layer) {
    RunSettings s;
    s.image_mode = plugInModeRGBColor;
    s.filter_rect = {0, 0, layer.height, layer.width};
    return s;
}

// What the fake plug-ins below saw and do.
struct FakeLog {
    std::vector<int16_t> selectors;
    std::vector<uint8_t> first_out; // the first band's outData as delivered
    std::vector<uint8_t> first_in;
    int32_t out_row_bytes = 0;
    VRect request{0, 0, 0, 0};
    bool write_pad = false;
    bool set_32bit = true;
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

// Requests fake.request once, records what it got, writes 0 alpha to its first pixel and,
// when asked, one byte into the row padding.
void one_band_plugin(int16_t selector, void* record, intptr_t*, int16_t* result) {
    fake.selectors.push_back(selector);
    auto& r = *static_cast<FilterRecord*>(record);
    if (selector != filterSelectorStart) {
        if (selector == filterSelectorContinue) request(r, {0, 0, 0, 0});
        return;
    }
    request(r, fake.request);
    *result = r.advanceState();
    if (*result != noErr || r.outData == nullptr) return;
    const VRect& q = fake.request;
    const size_t rows = size_t(q.bottom - q.top), tight = size_t(q.right - q.left) * 4;
    fake.out_row_bytes = r.outRowBytes;
    auto* out = static_cast<uint8_t*>(r.outData);
    fake.first_out.clear();
    for (size_t y = 0; y < rows; ++y)
        fake.first_out.insert(fake.first_out.end(), out + y * r.outRowBytes,
                              out + y * r.outRowBytes + tight);
    auto* in = static_cast<uint8_t*>(r.inData);
    fake.first_in.assign(in, in + rows * tight);
    out[3] = 0;
    if (fake.write_pad) out[tight] ^= 1;
}

} // namespace

TEST(HostRun, DrivesTheModuleInPhotoshopsOrder) {
    Layer layer = rgba8(5, 13);
    const Layer before = layer;
    const RunReport report = run_filter(PluginMain, layer, settings_for(layer));
    EXPECT_EQ(report.result, noErr);
    // Start does both bands; its last request stands, so the host serves it once more and
    // calls continue, which clears the rectangles; then finish.
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(report.requests, 2);
    EXPECT_EQ(report.progress_calls, 2);
    EXPECT_TRUE(report.covered);
    EXPECT_TRUE(report.pad_intact);
    EXPECT_EQ(classify_run(report), RunOutcome::done);
    // Pixel 1 = (1, 2, 3, 254): over white (1.99, 2.99, 3.99 + 253) -> (2, 3, 4);
    // luminance 2.82 -> 2, alpha 253; with the matte removed, black at alpha 253.
    EXPECT_EQ(std::vector<uint8_t>(layer.samples.begin() + 4, layer.samples.begin() + 8),
              (std::vector<uint8_t>{0, 0, 0, 253}));
    // Pixel 0 = (0, 0, 0, 255) is black and opaque: it stays so.
    EXPECT_EQ(std::vector<uint8_t>(layer.samples.begin(), layer.samples.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_NE(layer.samples, before.samples);
}

TEST(HostRun, PaddedRowsNullRecordsAndTheBigDocumentGiveTheSamePixels) {
    Layer plain = rgba8(9, 20);
    run_filter(PluginMain, plain, settings_for(plain));
    for (int variant = 0; variant < 3; ++variant) {
        Layer layer = rgba8(9, 20);
        RunSettings s = settings_for(layer);
        s.pad_bytes = variant == 0 ? 7 : 0;
        s.big_document = variant != 1;
        s.basic_suite = variant != 2;
        const RunReport report = run_filter(PluginMain, layer, s);
        EXPECT_EQ(classify_run(report), RunOutcome::done) << variant;
        EXPECT_EQ(layer.samples, plain.samples) << variant;
    }
}

TEST(HostRun, RefusalAbortAndAdvanceErrors) {
    shown_message_boxes.clear();
    Layer layer = rgba8(4, 30);
    const Layer before = layer;
    RunSettings s = settings_for(layer);
    s.image_mode = plugInModeCMYKColor;
    s.owner_window = 1234;
    RunReport report = run_filter(PluginMain, layer, s);
    EXPECT_EQ(classify_run(report), RunOutcome::refused);
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3, 5}));
    ASSERT_EQ(shown_message_boxes.size(), 1u);
    EXPECT_EQ(shown_message_boxes[0].owner, 1234);
    EXPECT_EQ(layer.samples, before.samples);

    s = settings_for(layer);
    s.abort_after = 1;
    report = run_filter(PluginMain, layer, s);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.requests, 1);
    EXPECT_EQ(report.selectors, (std::vector<int16_t>{1, 2, 3})); // no continue, no finish

    // Ctrl+C reaches the module through the same abort poll.
    s = settings_for(layer);
    s.interrupted = [] { return true; };
    report = run_filter(PluginMain, layer, s);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.requests, 1);

    s = settings_for(layer);
    s.advance_error_at = 3;
    s.advance_error = -108;
    report = run_filter(PluginMain, layer, s);
    EXPECT_EQ(report.result, -108);
    EXPECT_EQ(report.requests, 3);
    EXPECT_EQ(report.progress_calls, 2);
    EXPECT_EQ(classify_run(report), RunOutcome::result_code);
}

TEST(HostRun, DeliversMattedBandsAndKeepsPadBytes) {
    Layer layer = rgba8(6, 4);
    RunSettings s = settings_for(layer);
    s.pad_bytes = 3;
    fake = FakeLog{};
    fake.request = {1, 2, 3, 5}; // 2 rows, 3 columns, away from the origin
    const RunReport report = run_filter(one_band_plugin, layer, s);
    EXPECT_EQ(fake.out_row_bytes, 3 * 4 + 3);
    // Pixel (1, 2) is pixel 8 = (8, 16, 24, 247): over white (8 x 247 + 255 x 8) / 255 = 15.75,
    // and likewise 23.50 and 31.25 -> (16, 23, 31).
    ASSERT_EQ(fake.first_out.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(fake.first_out.begin(), fake.first_out.begin() + 4),
              (std::vector<uint8_t>{16, 23, 31, 247}));
    EXPECT_EQ(fake.first_in, fake.first_out);
    EXPECT_TRUE(report.pad_intact);
    // The module covered a corner only: a protocol fault, though the result is 0.
    EXPECT_FALSE(report.covered);
    EXPECT_EQ(classify_run(report), RunOutcome::protocol_fault);
    // Its one change, alpha 0 at (1, 2), was written back with the colour cleared; the pixel
    // beside it was handed back as delivered and kept its samples.
    const uint8_t* changed = layer.samples.data() + (1 * 6 + 2) * 4;
    EXPECT_EQ(std::vector<uint8_t>(changed, changed + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(changed[4], 9);
    EXPECT_EQ(changed[7], 246);
}

TEST(HostRun, FaultsOfTheModule) {
    Layer layer = rgba8(6, 4);
    RunSettings s = settings_for(layer);
    s.pad_bytes = 2;
    fake = FakeLog{};
    fake.request = {0, 0, 4, 6};
    fake.write_pad = true;
    RunReport report = run_filter(one_band_plugin, layer, s);
    EXPECT_FALSE(report.pad_intact);
    EXPECT_TRUE(report.covered);
    EXPECT_EQ(classify_run(report), RunOutcome::protocol_fault);

    fake = FakeLog{};
    fake.request = {2, 0, 5, 6}; // one row below the layer
    report = run_filter(one_band_plugin, layer, s);
    EXPECT_EQ(report.result, filterBadParameters);
    EXPECT_EQ(report.fault, "input rectangle or planes outside the layer");

    // A module that keeps to 16-bit coordinates is served from them.
    fake = FakeLog{};
    fake.set_32bit = false;
    fake.request = {0, 0, 4, 6};
    report = run_filter(one_band_plugin, layer, s);
    EXPECT_EQ(classify_run(report), RunOutcome::done);
}
