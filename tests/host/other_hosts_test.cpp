// Hosts other than Photoshop: the module composites each pixel over white itself and hands
// back black ink with alpha full scale - luminance, the picture Photoshop stores after taking
// its white matte off; it leaves no rectangle set when Start returns; GIMP's filter case 0 is
// decided by the planes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/host_codes.h"
#include "host/coordinates.h"
#include "host/plugin_main.h"
#include "tests/common/fake_filter_host.h"
#include "tests/common/test_seams.h"

namespace {

constexpr uint32_t kPaintNetSig = 0x4E44502E; // 'NDP.'
constexpr uint32_t kGimpSig = 0x504D4947;     // the bytes "GIMP" as pspi copies them

// One pixel in, one pixel out, worked by hand: over white, c' = (c a + S (S - a)) / S rounded
// to nearest; luminance of c'; black ink at alpha S - luminance.
struct Worked {
    int16_t planes;
    int32_t depth;
    std::vector<double> in, out;
};

template <typename T> std::vector<unsigned char> bytes_of(const std::vector<double>& values) {
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    for (size_t i = 0; i < values.size(); ++i) {
        const T v = static_cast<T>(values[i]);
        std::memcpy(bytes.data() + i * sizeof(T), &v, sizeof v);
    }
    return bytes;
}

std::vector<unsigned char> bytes_at(int32_t depth, const std::vector<double>& values) {
    return depth == 32   ? bytes_of<float>(values)
           : depth == 16 ? bytes_of<uint16_t>(values)
                         : bytes_of<uint8_t>(values);
}

class OtherHosts : public ::testing::Test {
  protected:
    void SetUp() override { shown_message_boxes.clear(); }
};

} // namespace

TEST_F(OtherHosts, PixelsComeOutAsPhotoshopStoresThem) {
    const Worked table[] = {
        // Transparent pixels, whatever colour they are stored in, stay transparent.
        {4, 8, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {4, 8, {255, 255, 255, 0}, {0, 0, 0, 0}},
        {4, 8, {13, 200, 77, 0}, {0, 0, 0, 0}},
        // Opaque: red as Photoshop shows it, black at alpha 179; mid-grey at 127; white clear.
        {4, 8, {255, 0, 0, 255}, {0, 0, 0, 179}},
        {4, 8, {128, 128, 128, 255}, {0, 0, 0, 127}},
        {4, 8, {0, 0, 0, 255}, {0, 0, 0, 255}},
        {4, 8, {255, 255, 255, 255}, {0, 0, 0, 0}},
        // Semi-transparent: 200 at alpha 100 is (20000 + 39525) / 255 = 233.43, so 233.
        {4, 8, {200, 200, 200, 100}, {0, 0, 0, 22}},
        // Black at alpha 128: 255 x 127 / 255 = 127, luminance 127.000127.
        {4, 8, {0, 0, 0, 128}, {0, 0, 0, 128}},
        // A host that lays the layer over white itself without signing '8BIM' has it done
        // twice: black at alpha 128 reaches the module as 127, and comes out at 64, not 128.
        {4, 8, {127, 127, 127, 128}, {0, 0, 0, 64}},
        {2, 8, {0, 0}, {0, 0}},
        {2, 8, {100, 255}, {0, 155}},
        {2, 8, {0, 128}, {0, 128}},
        // 16 bits on 0..32768: red opaque is 9794; half-transparent black is 16384 over white.
        {4, 16, {32768, 0, 0, 32768}, {0, 0, 0, 22974}},
        {4, 16, {0, 0, 0, 16384}, {0, 0, 0, 16384}},
        {4, 16, {65535, 65535, 65535, 0}, {0, 0, 0, 0}},
        {2, 16, {1000, 32768}, {0, 31768}},
        // Float: 0.5 grey opaque gives 0.5000005, so alpha 0.49999952; alpha 0 is white.
        {4, 32, {0.5, 0.5, 0.5, 1.0}, {0, 0, 0, 0.49999952f}},
        {4, 32, {0.25, 0.75, 0.5, 0.0}, {0, 0, 0, 0}},
        {2, 32, {0.0, 0.5}, {0, 0.5}},
    };
    for (const Worked& w : table) {
        SCOPED_TRACE(testing::Message() << w.planes << " planes, depth " << w.depth << ", in "
                                        << testing::PrintToString(w.in));
        FakeFilterHost host(PluginMain, 3, 9, w.planes, w.depth);
        host.record.hostSig = kPaintNetSig;
        const std::vector<unsigned char> in = bytes_at(w.depth, w.in);
        for (int32_t y = 0; y < 9; ++y)
            for (int32_t x = 0; x < 3; ++x)
                std::memcpy(host.pixel(y, x), in.data(), in.size());
        host.run_all_selectors();
        EXPECT_EQ(host.result, noErr);
        const std::vector<unsigned char> want = bytes_at(w.depth, w.out);
        // Every row, the last band's single row included.
        for (int32_t y = 0; y < 9; ++y)
            ASSERT_EQ(std::memcmp(host.pixel(y, 2), want.data(), want.size()), 0) << "row " << y;
    }
}

TEST_F(OtherHosts, StartLeavesNoRectangleSetWhateverTheEnd) {
    for (const bool big : {false, true}) {
        for (const int stop : {0, 1, 2}) { // a whole run, an advanceState error, an abort
            SCOPED_TRACE(testing::Message() << "big " << big << ", stop " << stop);
            FakeFilterHost host(PluginMain, 4, 20, 4, 8, big);
            host.record.hostSig = kPaintNetSig;
            host.record.maskRect = Rect{1, 2, 3, 4};
            if (stop == 1) host.fail_advance_at = 2;
            if (stop == 2) host.abort_after_bands = 1;
            host.call(filterSelectorStart);
            EXPECT_EQ(host.requested.size(), stop == 0 ? 3u : stop == 1 ? 2u : 1u);
            const VRect none{0, 0, 0, 0};
            for (const VRect r : {read_in_rect(host.record), read_out_rect(host.record),
                                  read_mask_rect(host.record)})
                EXPECT_TRUE(std::memcmp(&r, &none, sizeof r) == 0);
            host.finish_run();
        }
    }
}

TEST_F(OtherHosts, FilterCaseZeroIsDecidedByThePlanes) {
    // GIMP's pspi says filter case 0 and gives the layer's own channels: with alpha, filtered.
    FakeFilterHost with_alpha(PluginMain, 2, 3, 2, 8);
    with_alpha.record.hostSig = kGimpSig;
    with_alpha.record.filterCase = 0;
    for (size_t i = 0; i < with_alpha.image.size(); i += 2) {
        with_alpha.image[i] = 100;
        with_alpha.image[i + 1] = 255;
    }
    with_alpha.run_all_selectors();
    EXPECT_EQ(with_alpha.result, noErr);
    EXPECT_EQ(with_alpha.requested.size(), 1u);
    EXPECT_EQ(with_alpha.image,
              (std::vector<unsigned char>{0, 155, 0, 155, 0, 155, 0, 155, 0, 155, 0, 155}));

    // RGB without alpha: bad parameters, and no message box.
    FakeFilterHost without(PluginMain, 2, 3, 3, 8);
    without.record.hostSig = kGimpSig;
    without.record.filterCase = 0;
    without.record.imageMode = plugInModeRGBColor;
    without.call(filterSelectorStart);
    EXPECT_EQ(without.result, filterBadParameters);
    EXPECT_TRUE(without.requested.empty());
    EXPECT_TRUE(shown_message_boxes.empty());
}

TEST_F(OtherHosts, NegativeTileSizesAreOnlyHints) {
    // PaintShop Pro reads the tile sizes as unsigned, so they can arrive negative.
    FakeFilterHost host(PluginMain, 3, 3);
    host.record.hostSig = 0x50535039; // 'PSP9'
    host.record.outTileHeight = -32768;
    host.record.outTileWidth = -1;
    host.run_all_selectors();
    EXPECT_EQ(host.result, noErr);
    EXPECT_EQ(host.requested.size(), 1u);
}
