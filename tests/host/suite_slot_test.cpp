#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/module_state.h"
#include "host/suite_slot.h"
#include "tests/host/suite_slot_fixture.h"

namespace {

// A host's basic suite that hands out one file-list suite, or refuses with a set code.
struct FakeHost {
    SPErr refusal = 0;
    bool hand_out_nothing = false;     // report success but leave the pointer null
    std::vector<std::string> acquired; // "name/version" per AcquireSuite call
    std::vector<std::string> released; // "name/version" per ReleaseSuite call
};

FakeHost* host = nullptr;
PSGetFileListSuite4 file_list_suite{};

SPErr fake_acquire(const char* name, int32_t version, const void** suite) {
    host->acquired.push_back(std::string(name) + "/" + std::to_string(version));
    if (host->refusal != 0) {
        *suite = &file_list_suite; // a careless host: the slot must not keep this
        return host->refusal;
    }
    if (!host->hand_out_nothing) *suite = &file_list_suite;
    return 0;
}

SPErr fake_release(const char* name, int32_t version) {
    host->released.push_back(std::string(name) + "/" + std::to_string(version));
    return 0;
}

constexpr char kFileListSuite[] = "Photoshop GetFileList Suite for Plug-ins/4";

class SuiteSlotTest : public testing::Test {
  protected:
    void SetUp() override {
        host = &fake_host;
        basic.AcquireSuite = fake_acquire;
        basic.ReleaseSuite = fake_release;
        hold_basic_suite_with_empty_slot(&basic);
    }
    void TearDown() override {
        hold_basic_suite_with_empty_slot(nullptr);
        host = nullptr;
    }

    FakeHost fake_host;
    SPBasicSuite basic{};
};

TEST_F(SuiteSlotTest, FirstGetAcquiresByNameAndVersionLaterGetsReuse) {
    const void* first = reinterpret_cast<const void*>(1);
    const void* second = nullptr;
    EXPECT_EQ(get_suite(file_list_suite_slot, &first), 0);
    EXPECT_EQ(get_suite(file_list_suite_slot, &second), 0);
    EXPECT_EQ(first, &file_list_suite);
    EXPECT_EQ(second, &file_list_suite);
    EXPECT_EQ(fake_host.acquired, std::vector<std::string>{kFileListSuite});
    EXPECT_EQ(file_list_suite_slot.status, 0);
}

TEST_F(SuiteSlotTest, RefusalKeepsHostCodeAndNextGetAsksAgain) {
    fake_host.refusal = -12345;
    const void* suite = &file_list_suite;
    EXPECT_EQ(get_suite(file_list_suite_slot, &suite), -12345);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(file_list_suite_slot.status, -12345);
    EXPECT_EQ(file_list_suite_slot.suite, nullptr);

    fake_host.refusal = 0;
    EXPECT_EQ(get_suite(file_list_suite_slot, &suite), 0);
    EXPECT_EQ(suite, &file_list_suite);
    EXPECT_EQ(file_list_suite_slot.status, 0);
    EXPECT_EQ(fake_host.acquired.size(), 2u);
}

TEST_F(SuiteSlotTest, SuccessWithoutSuiteFailsAndNextGetAsksAgain) {
    fake_host.hand_out_nothing = true;
    const void* suite = nullptr;
    EXPECT_EQ(get_suite(file_list_suite_slot, &suite), 0x5061726D);
    EXPECT_EQ(suite, nullptr);
    fake_host.hand_out_nothing = false;
    EXPECT_EQ(get_suite(file_list_suite_slot, &suite), 0);
    EXPECT_EQ(suite, &file_list_suite);
    EXPECT_EQ(fake_host.acquired.size(), 2u);
}

TEST_F(SuiteSlotTest, NoBasicSuiteFailsWithParmWithoutTouchingStatus) {
    module_state.basic_suite = nullptr;
    file_list_suite_slot.status = 7;
    const void* suite = &file_list_suite;
    EXPECT_EQ(get_suite(file_list_suite_slot, &suite), 0x5061726D); // 'Parm'
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(file_list_suite_slot.status, 7);
    EXPECT_TRUE(fake_host.acquired.empty());
}

TEST_F(SuiteSlotTest, ReleaseGivesAcquiredSuiteBackOnceThroughLatestBasicSuite) {
    const void* suite = nullptr;
    ASSERT_EQ(get_suite(file_list_suite_slot, &suite), 0);

    // A later call to the entry point brought another basic suite: that one is used.
    FakeHost later_host;
    SPBasicSuite later_basic{};
    later_basic.AcquireSuite = fake_acquire;
    later_basic.ReleaseSuite = fake_release;
    module_state.basic_suite = &later_basic;
    // The host's callbacks reach it only through a static, used during the call alone.
    // cppcheck-suppress danglingLifetime
    host = &later_host;

    release_suite(file_list_suite_slot);
    release_suite(file_list_suite_slot);
    EXPECT_EQ(later_host.released, std::vector<std::string>{kFileListSuite});
    EXPECT_TRUE(fake_host.released.empty());
    EXPECT_EQ(file_list_suite_slot.suite, nullptr);
}

TEST_F(SuiteSlotTest, ReleaseDoesNothingWhenNeverAcquiredOrNoBasicSuite) {
    release_suite(file_list_suite_slot); // never acquired
    EXPECT_TRUE(fake_host.released.empty());

    const void* suite = nullptr;
    ASSERT_EQ(get_suite(file_list_suite_slot, &suite), 0);
    module_state.basic_suite = nullptr;
    release_suite(file_list_suite_slot); // acquired, but no basic suite to give it back with
    EXPECT_TRUE(fake_host.released.empty());
    EXPECT_EQ(file_list_suite_slot.suite, &file_list_suite);
}

} // namespace
