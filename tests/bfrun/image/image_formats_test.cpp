// The formats bfrun reads, named from their one list: every text that lists them lists them all.
#include <gtest/gtest.h>

#include <iterator>
#include <regex>

#include "bfrun/cli/options.h"
#include "bfrun/image/image_formats.h"
#include "bfrun/drive/exit_status.h"
#include "tests/common/source_files.h"

// A list is known by the first name joined to another, and must go on with the others in order,
// and stop: "PNG, JPEG and TIFF", "PNG (below), JPEG or TIFF", "PNG・JPEG・TIFF".
TEST(ImageFormats, EveryTextThatListsTheFormatsListsThemAll) {
    const std::string first = kImageFormats[0].name + std::string("(?: \\([^)]*\\))?");
    std::string others, english = first, japanese = first;
    for (size_t i = 1; i < std::size(kImageFormats); ++i) {
        const std::string name = kImageFormats[i].name;
        others += (i > 1 ? "|" : "") + name;
        english += (i + 1 < std::size(kImageFormats) ? ", " : " (?:and|or) ") + name;
        japanese += "・" + name;
    }
    const std::regex start(first + "(?:, | and | or |・)(?:" + others + ")");
    const std::regex full("(?:" + english + "|" + japanese + ")(?!・|,)");
    const auto count = [](const std::string& text, const std::regex& list) {
        return std::distance(std::sregex_iterator(text.begin(), text.end(), list), {});
    };
    for (const char* path : {"--help", "README.md", "README.ja.md", "guide/README.txt",
                             "guide/README-ja.txt", "docs/bfrun.md"}) {
        const std::string text = flowing(path[0] == '-' ? usage_text() : source_file(path));
        EXPECT_GT(count(text, start), 0) << path;
        EXPECT_EQ(count(text, full), count(text, start))
            << path << " should list " << image_format_list("and");
    }
    EXPECT_EQ(count(kExitStatusMeanings[kExitBadInput].meaning, full), 1);
}
