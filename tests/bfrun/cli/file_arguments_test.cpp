// File arguments expanded as Windows users expect: wildcard rules, folders, order, nothing found.
#include <gtest/gtest.h>

#include <map>

#include "bfrun/cli/file_arguments.h"

TEST(FileArguments, WildcardsMatchAsWindowsDoes) {
    const struct {
        const char *pattern, *name;
        bool match;
    } cases[] = {
        {"*.png", "Scan 1.PNG", true},
        {"*.png", "a.pngx", false}, // the 8.3 name's pitfall
        {"*.png", ".png", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c",
         "a\xC3\xA9"
         "c",
         true}, // é is one character
        {"*.*", "README", true},
        {"s*n*.tif", "scan-02.TIF", true},
        {"s*n*.tif", "sun.tiff", false},
        {"*", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcard_match(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    EXPECT_TRUE(has_wildcards("scans\\*.png"));
    EXPECT_FALSE(has_wildcards("a*b\\c.png")); // only the last part is a pattern
}

TEST(FileArguments, PatternsAndFoldersExpandSortedAndNothingFoundIsAFailure) {
    const std::map<std::string, std::vector<FolderEntry>> folders = {
        {"scans\\", {{"b.png"}, {"A.tif"}, {"notes.txt"}, {"sub", true}, {"c.PNG"}}},
        {"scans",
         {{"b.png"},
          {"A.tif"},
          {"notes.txt"},
          {"sub.png", true},
          {"c.PNG"},
          {"d.JFIF"},
          {"b-brightfade.png"},
          {"A-Brightfade-12.PNG"},
          {"e-brightfade-x.png"}}},
        {"", {{"x.jpg"}}},
        {"empty", {{"readme.txt"}}}};
    FileSystemView view;
    view.is_folder = [&](const std::string& path) { return folders.count(path) != 0; };
    view.list = [&](const std::string& folder, std::vector<FolderEntry>& entries, std::string&) {
        entries = folders.at(folder);
        return true;
    };
    std::vector<std::string> files;
    size_t left_out = 0;
    Failure failure;
    ASSERT_TRUE(expand_file_arguments({"scans\\*.png", "one.png", "scans", "*.jpg"}, view, files,
                                      left_out, failure));
    // bfrun's own results of a drop are left out of the folder, a name like them is not.
    EXPECT_EQ(files, (std::vector<std::string>{
                         "scans\\b.png", "scans\\c.PNG", "one.png", "scans\\A.tif", "scans\\b.png",
                         "scans\\c.PNG", "scans\\d.JFIF", "scans\\e-brightfade-x.png", "x.jpg"}));
    EXPECT_EQ(left_out, 2u);
    EXPECT_FALSE(expand_file_arguments({"scans\\*.jpeg"}, view, files, left_out, failure));
    EXPECT_EQ(failure.status, kExitBadInput);
    EXPECT_EQ(failure.message, "scans\\*.jpeg: no file matches");
    EXPECT_FALSE(expand_file_arguments({"empty"}, view, files, left_out, failure));
    EXPECT_EQ(failure.message, "empty: the folder holds no PNG, JPEG or TIFF file");
}
