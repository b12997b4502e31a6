// PluginMain's dispatch: what each selector stores and writes, and what it leaves alone.
#include <gtest/gtest.h>

#include <cstring>

#include "host/browse_url.h"
#include "host/host_codes.h"
#include "host/module_state.h"
#include "host/plugin_main.h"
#include "tests/common/fake_filter_host.h"
#include "tests/common/test_seams.h"

namespace {

// Every byte set, so that any write shows.
template <typename T> void fill_bytes(T& value, unsigned char byte) {
    std::memset(static_cast<void*>(&value), byte, sizeof value);
}

} // namespace

TEST(PluginMain, StoresTheCallAndMarksTheBigDocumentFor32BitCoordinates) {
    FakeFilterHost host(PluginMain, 2, 2, 4, 8, true);
    SPBasicSuite basic{};
    host.record.sSPBasic = &basic;
    intptr_t data = 99;
    PluginMain(filterSelectorParameters, &host.record, &data, &host.result);
    EXPECT_EQ(module_state.record, &host.record);
    EXPECT_EQ(module_state.data, &data);
    EXPECT_EQ(module_state.result, &host.result);
    EXPECT_EQ(module_state.basic_suite, &basic);
    EXPECT_EQ(host.big.PluginUsing32BitCoordinates, 1);
    EXPECT_EQ(data, 99);
}

TEST(PluginMain, ParametersPrepareAndFinishWriteNothingElse) {
    for (int16_t selector :
         {int16_t(filterSelectorParameters), int16_t(filterSelectorPrepare),
          int16_t(filterSelectorFinish), int16_t(6), int16_t(-1), int16_t(1000)}) {
        FakeFilterHost host(PluginMain, 2, 2, 4, 8, true);
        fill_bytes(host.record, 0x3C);
        fill_bytes(host.big, 0x3C);
        host.record.bigDocumentData = &host.big;
        host.record.platformData = nullptr;
        host.record.sSPBasic = nullptr;
        const FilterRecord record_before = host.record;
        BigDocumentStruct big_expected = host.big;
        big_expected.PluginUsing32BitCoordinates = 1;
        host.result = 0x1111;
        host.call(selector);
        EXPECT_EQ(std::memcmp(&record_before, &host.record, sizeof record_before), 0) << selector;
        EXPECT_EQ(std::memcmp(&big_expected, &host.big, sizeof big_expected), 0) << selector;
        EXPECT_EQ(host.result, 0x1111);
    }
}

TEST(PluginMain, ContinueZeroesInOutAndMaskRectangles16Bit) {
    FakeFilterHost host(PluginMain, 2, 2);
    host.record.inRect = Rect{1, 2, 3, 4};
    host.record.outRect = Rect{5, 6, 7, 8};
    host.record.maskRect = Rect{9, 10, 11, 12};
    host.record.filterRect = Rect{1, 1, 2, 2};
    host.result = 0x2222;
    host.call(filterSelectorContinue);
    for (const Rect& r : {host.record.inRect, host.record.outRect, host.record.maskRect})
        EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0);
    EXPECT_EQ(host.record.filterRect.bottom, 2);
    EXPECT_EQ(host.result, 0x2222);
    EXPECT_TRUE(host.requested.empty());
}

TEST(PluginMain, ContinueZeroesThe32BitRectanglesWhenTheBigDocumentExists) {
    FakeFilterHost host(PluginMain, 2, 2, 4, 8, true);
    host.big.inRect32 = VRect{1, 2, 3, 4};
    host.big.outRect32 = VRect{70000, 6, 70007, 8};
    host.big.maskRect32 = VRect{9, 10, 11, 12};
    host.record.inRect = Rect{1, 2, 3, 4};
    host.record.outRect = Rect{5, 6, 7, 8};
    host.record.maskRect = Rect{9, 10, 11, 12};
    host.call(filterSelectorContinue);
    for (const VRect& r : {host.big.inRect32, host.big.outRect32, host.big.maskRect32})
        EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0);
    EXPECT_EQ(host.record.outRect.top, 5) << "16-bit rectangles belong to hosts without it";
    EXPECT_EQ(host.big.PluginUsing32BitCoordinates, 1);
}

TEST(PluginMain, AboutReadsOnlyBasicSuiteAndPlatformData) {
    AboutRecord about;
    fill_bytes(about, 0x77);
    PlatformData platform{0x1234};
    SPBasicSuite basic{};
    about.platformData = &platform;
    about.sSPBasic = &basic;
    const AboutRecord before = about;
    int16_t result = 0x3333;
    shown_about_boxes.clear();
    PluginMain(filterSelectorAbout, &about, nullptr, &result);
    ASSERT_EQ(shown_about_boxes.size(), 1u);
    EXPECT_EQ(shown_about_boxes[0].owner, 0x1234);
    EXPECT_EQ(shown_about_boxes[0].module_instance, module_state.module_handle);
    EXPECT_EQ(shown_about_boxes[0].open_address, browse_url);
    EXPECT_EQ(module_state.basic_suite, &basic);
    EXPECT_EQ(module_state.record, &about);
    EXPECT_EQ(std::memcmp(&before, &about, sizeof before), 0);
    EXPECT_EQ(result, 0x3333);

    // A host without platform data or basic suite: an about box with no owner.
    about.platformData = nullptr;
    about.sSPBasic = nullptr;
    PluginMain(filterSelectorAbout, &about, nullptr, &result);
    EXPECT_EQ(shown_about_boxes.back().owner, 0);
    EXPECT_EQ(module_state.basic_suite, nullptr);
}

TEST(PluginMain, NullRecordOrResultDoesNotCrash) {
    int16_t result = 0x4444;
    for (int16_t selector = 0; selector <= 5; ++selector)
        PluginMain(selector, nullptr, nullptr, &result);
    EXPECT_EQ(result, 0x4444);

    FakeFilterHost host(PluginMain, 2, 2);
    host.record.planes = 3;
    PluginMain(filterSelectorStart, &host.record, nullptr, nullptr); // bad parameters, no word
    host.record.planes = 4;
    PluginMain(filterSelectorStart, &host.record, nullptr, nullptr);
    EXPECT_EQ(host.requested.size(), 1u);
    EXPECT_EQ(host.pixel(1, 1)[3], 255);
}

TEST(PluginMain, CoordinateChoiceIsMadeAfreshAtEveryAccess) {
    // A host that stops using 32-bit coordinates during the first band: the next band is
    // written to the 16-bit rectangles.
    FakeFilterHost host(PluginMain, 2, 16, 4, 8, true);
    static FakeFilterHost* current = nullptr;
    current = &host;
    host.record.abortProc = [] {
        current->big.PluginUsing32BitCoordinates = 0;
        return Boolean(0);
    };
    host.call(filterSelectorStart);
    ASSERT_EQ(host.requested.size(), 2u);
    EXPECT_EQ(host.big.outRect32.top, 0);
    EXPECT_EQ(host.record.outRect.top, 8);
    EXPECT_EQ(host.record.inRect.bottom, 16);
}
