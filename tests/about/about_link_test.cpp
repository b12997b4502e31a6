#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "about/link_button.h"
#include "host/browse_url.h"
#include "host/module_state.h"
#include "host/suite_slot.h"
#include "tests/host/suite_slot_fixture.h"
#include "tests/common/test_seams.h"

namespace {

TEST(AboutLinkAddress, PrefixesTheButtonText) {
    char address[kLinkBufferSize];
    std::memset(address, 'x', sizeof address);
    format_link_address("brightfade.example", address);
    EXPECT_STREQ(address, "http://brightfade.example");
    // The rest of the buffer is zero, not what was there before.
    for (size_t i = std::strlen(address); i < kLinkBufferSize; ++i)
        ASSERT_EQ(address[i], 0) << i;
}

TEST(AboutLinkAddress, TextsAroundTheLongestThatFits) {
    char address[kLinkBufferSize];
    const std::string fits(248, 'a');
    format_link_address(fits.c_str(), address);
    EXPECT_EQ(std::string(address), "http://" + fits);
    EXPECT_EQ(std::strlen(address), 255u);

    // One more character, or the longest text a 256-byte read-back can hold, is cut to fit
    // and still ends in a NUL inside the buffer (ASan would report any write beyond it).
    for (size_t length : {249u, 255u, 1000u}) {
        const std::string text(length, 'b');
        format_link_address(text.c_str(), address);
        EXPECT_EQ(address[kLinkBufferSize - 1], '\0');
        EXPECT_EQ(std::string(address), "http://" + std::string(248, 'b')) << length;
    }
}

// The click: Get the file-list suite, call its BrowseUrl with the address; without the suite,
// Windows opens it.
std::vector<std::string> opened;
std::vector<std::string> acquired;
SPErr refusal = 0;

SPErr record_browse(const char* url) {
    opened.emplace_back(url);
    return 0;
}

PSGetFileListSuite4 file_list_suite = [] {
    PSGetFileListSuite4 suite{};
    suite.BrowseUrl = record_browse;
    return suite;
}();

const void* handed_out = &file_list_suite;

SPErr fake_acquire(const char* name, int32_t /*version*/, const void** suite) {
    acquired.emplace_back(name);
    if (refusal != 0) return refusal;
    *suite = handed_out;
    return 0;
}

class AboutLinkClick : public testing::Test {
  protected:
    void SetUp() override {
        opened.clear();
        acquired.clear();
        opened_in_system_browser.clear();
        refusal = 0;
        handed_out = &file_list_suite;
        basic.AcquireSuite = fake_acquire;
        hold_basic_suite_with_empty_slot(&basic);
    }
    void TearDown() override { hold_basic_suite_with_empty_slot(nullptr); }
    SPBasicSuite basic{};
};

TEST_F(AboutLinkClick, OpensTheAddressAndAcquiresOnlyOnFirstClick) {
    open_link("brightfade.example", browse_url);
    open_link("brightfade.example", browse_url);
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://brightfade.example", "http://brightfade.example"}));
    EXPECT_EQ(acquired.size(), 1u);
    EXPECT_TRUE(opened_in_system_browser.empty());
}

TEST_F(AboutLinkClick, RefusedSuiteOpensThroughWindowsAndIsAskedForAgain) {
    refusal = -1;
    open_link("brightfade.example", browse_url);
    open_link("brightfade.example", browse_url);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(opened_in_system_browser,
              (std::vector<std::string>{"http://brightfade.example", "http://brightfade.example"}));
    EXPECT_EQ(acquired.size(), 2u);
    EXPECT_EQ(file_list_suite_slot.status, -1);
}

TEST_F(AboutLinkClick, NoSuiteHandedOutOrNoBasicSuiteOpensThroughWindows) {
    handed_out = nullptr; // success reported, nothing handed out (a host's stub)
    open_link("brightfade.example", browse_url);
    static const PSGetFileListSuite4 without_browse_url{}; // outlives the slot that keeps it
    handed_out = &without_browse_url;
    open_link("brightfade.example", browse_url);
    hold_basic_suite_with_empty_slot(nullptr); // GIMP's pspi passes none
    open_link("brightfade.example", browse_url);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(opened_in_system_browser, std::vector<std::string>(3, "http://brightfade.example"));
    EXPECT_EQ(acquired.size(), 2u);
}

} // namespace
