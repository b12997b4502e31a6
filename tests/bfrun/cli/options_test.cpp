#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "bfrun/cli/options.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/image/ink.h"
#include "tests/common/protocol_switches.h"
#include "tests/common/source_files.h"

namespace {

bool parse(const std::vector<std::string>& args, Options& options, std::string& error) {
    return parse_options(args, options, error);
}

} // namespace

TEST(Options, ApplyWithEveryOption) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse(
        {"apply", "in.png", "--module", "m.8bf", "--depth", "32", "--rect", "2,3,10,20", "out.png"},
        o, error))
        << error;
    EXPECT_EQ(o.command, Command::apply);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"in.png"}));
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.module, "m.8bf");
    EXPECT_EQ(o.run.depth, 32);
    EXPECT_TRUE(o.run.has_rect);
    EXPECT_EQ(o.run.rect.top, 2);
    EXPECT_EQ(o.run.rect.left, 3);
    EXPECT_EQ(o.run.rect.bottom, 10);
    EXPECT_EQ(o.run.rect.right, 20);
    EXPECT_EQ(o.run.filter_case, 5); // a selection
    ASSERT_TRUE(parse({"apply", "a.png", "b.png", "--paper", "1"}, o, error));
    EXPECT_EQ(o.run.paper_level, 1);
    EXPECT_FALSE(o.run.paper_auto);
    ASSERT_TRUE(parse({"apply", "a.png", "b.png", "--paper", "255", "--paper", "auto"}, o, error));
    EXPECT_TRUE(o.run.paper_auto);
    ASSERT_TRUE(parse({"apply", "a.png", "b.png", "--ink", "Navy", "--ink", "KEEP"}, o, error));
    EXPECT_EQ(o.run.ink.kind, InkKind::keep);
    // --help names every colour name --ink takes.
    for (size_t i = 0; i < kInkNameCount; ++i)
        EXPECT_TRUE(
            usage_text().find(std::string(" ") + kInkNames[i].name + ",") != std::string::npos ||
            usage_text().find(std::string(" ") + kInkNames[i].name + ")") != std::string::npos)
            << kInkNames[i].name;
}

TEST(Options, Defaults) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"apply", "a.png", "b.png"}, o, error));
    EXPECT_EQ(o.run.filter_case, 4);
    EXPECT_EQ(o.run.mode, -1);
    EXPECT_EQ(o.run.depth, 0);
    EXPECT_TRUE(o.run.big_document);
    EXPECT_EQ(o.run.abort_after, -1);
    EXPECT_EQ(o.run.paper_level, 255); // no change
    EXPECT_FALSE(o.run.paper_auto);
    EXPECT_FALSE(o.draw_progress);
    EXPECT_EQ(o.run.compression, 6);
    EXPECT_EQ(o.run.max_pixels, uint64_t{1} << 30);
    EXPECT_EQ(o.jobs, 0);
    ASSERT_TRUE(parse({"info"}, o, error));
    EXPECT_EQ(o.command, Command::info);
    ASSERT_TRUE(parse({"--help"}, o, error));
    EXPECT_EQ(o.command, Command::help);
}

TEST(Options, BatchWithItsOwnOptionsKeptForTheWorkers) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"apply", "a.png", "-d", "out", "b.png", "--jobs", "3", "--compression", "9",
                       "--max-pixels", "4294967296", "--quiet", "--rect", "0,0,2,2"},
                      o, error))
        << error;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(o.directory, "out");
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.run.compression, 9);
    EXPECT_EQ(o.run.max_pixels, 4294967296u);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.option_args, (std::vector<std::string>{"-d", "out", "--jobs", "3", "--compression",
                                                       "9", "--max-pixels", "4294967296", "--quiet",
                                                       "--rect", "0,0,2,2"}));
}

// Files with no verb, as a drop gives them, with the options before them that a shortcut's
// target carries.
TEST(Options, DroppedFilesAfterAShortcutsOptions) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--paper", "auto", "--quiet", "a.png", "C:\\scans"}, o, error)) << error;
    EXPECT_EQ(o.command, Command::drop);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.png", "C:\\scans"}));
    EXPECT_TRUE(o.run.paper_auto);
    EXPECT_TRUE(o.quiet);
}

TEST(Options, BadCommandLines) {
    Options o;
    std::string error;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given"},
        {{"--filter"}, "unknown command \"--filter\""},
        {{"--paper", "auto"}, "no file given: bfrun [options] FILE..."},
        {{"apply", "a.png"}, "apply needs IN.png and OUT.png"},
        {{"apply", "a.png", "b.png", "c.png"}, "apply needs IN.png and OUT.png"},
        {{"info", "a.png"}, "info takes no file names"},
        {{"apply", "a.png", "b.png", "--depth", "16"}, "--depth takes only 32"},
        {{"apply", "a.png", "b.png", "--rect", "5,0,5,9"}, "--rect takes top,left,bottom,right"},
        {{"apply", "a.png", "b.png", "--rect", "1,2,3"}, "--rect takes top,left,bottom,right"},
        {{"apply", "a.png", "b.png", "--rect", "1,2,3,4,5"}, "--rect takes"},
        {{"apply", "a.png", "b.png", "--module"}, "--module needs a value"},
        {{"apply", "-d", "out"}, "apply -d DIR needs at least one IN.png"},
        {{"apply", "a.png", "b.png", "--compression", "10"}, "bad value \"10\" for --compression"},
        {{"apply", "a.png", "b.png", "--jobs", "0"}, "bad value \"0\" for --jobs"},
        {{"apply", "a.png", "b.png", "--max-pixels", "4294967297"}, "bad value"},
        {{"apply", "a.png", "b.png", "--fast"}, "unknown option --fast"},
        // The test host's switches are not bfrun's.
        {{"apply", "a.png", "b.png", "--pad-rows", "5"}, "unknown option --pad-rows"},
        {{"apply", "a.png", "b.png", "--draw-progress"}, "unknown option --draw-progress"},
        {{"apply", "a.png", "b.png", "--show-message-box"}, "unknown option --show-message-box"},
        {{"apply", "scan.tif", "scan.JPG"},
         "scan.JPG names a JPEG file, and bfrun writes PNG only: give OUT a .png name"},
        {{"apply", "a.png", "out/b.tiff"}, "out/b.tiff names a TIFF file"},
        {{"apply", "a.png", "b.png", "--paper", "0"}, "--paper takes auto or a level 1..255"},
        {{"apply", "a.png", "b.png", "--paper", "256"}, "--paper takes auto or a level 1..255"},
        {{"apply", "a.png", "b.png", "--paper", "abc"}, "--paper takes auto or a level 1..255"},
        {{"apply", "a.png", "b.png", "--ink", "pink"},
         "--ink takes keep, #rrggbb or a colour name (black, white, grey, gray, red, maroon, "
         "brown, orange, green, teal, blue, navy, purple), not \"pink\""},
        {{"apply", "a.png", "b.png", "--ink", "#12345"}, "--ink takes keep, #rrggbb"},
        {{"apply", "a.png", "b.png", "--ink", "#gghhii"}, "--ink takes keep, #rrggbb"},
        {{"apply", "a.png", "b.png", "--ink"}, "--ink needs a value"},
    };
    for (const auto& [args, why] : cases) {
        EXPECT_FALSE(parse(args, o, error)) << why;
        EXPECT_EQ(error.substr(0, why.size()), why);
    }
}

// test_host apply: bfrun's command line and the switches that test the host protocol, which go
// to a batch's workers with bfrun's own options.
TEST(Options, TheTestHostsSwitchesForTheProtocol) {
    ProtocolApply run;
    std::string error;
    ASSERT_TRUE(parse_protocol_apply({"apply", "in.png", "--mode", "4", "--pad-rows", "5",
                                      "--no-big-document", "--no-basic-suite", "--abort-after", "1",
                                      "--advance-error", "3,-128", "--show-message-box",
                                      "--draw-progress", "--depth", "32", "out.png"},
                                     run, error))
        << error;
    const Options& o = run.options;
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.run.depth, 32);
    EXPECT_EQ(o.run.filter_case, 4);
    EXPECT_EQ(o.run.mode, 4);
    EXPECT_EQ(o.run.pad_rows, 5);
    EXPECT_FALSE(o.run.big_document);
    EXPECT_FALSE(o.run.basic_suite);
    EXPECT_EQ(o.run.abort_after, 1);
    EXPECT_EQ(o.run.advance_error_at, 3);
    EXPECT_EQ(o.run.advance_error, -128);
    EXPECT_TRUE(run.show_message_box);
    EXPECT_TRUE(o.draw_progress);
    ASSERT_TRUE(parse_protocol_apply({"apply", "a.png", "-d", "out", "b.png", "--pad-rows", "3",
                                      "--filter-case", "6", "--rect", "0,0,1,1"},
                                     run, error))
        << error;
    EXPECT_EQ(run.options.run.filter_case, 6); // given explicitly, it wins over the rectangle's 5
    EXPECT_FALSE(run.show_message_box);
    EXPECT_EQ(run.options.option_args,
              (std::vector<std::string>{"-d", "out", "--pad-rows", "3", "--filter-case", "6",
                                        "--rect", "0,0,1,1"}));
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"apply", "a.png", "b.png", "--filter-case", "8"}, "bad value \"8\" for --filter-case"},
        {{"apply", "a.png", "b.png", "--pad-rows", "-1"}, "bad value \"-1\" for --pad-rows"},
        {{"apply", "a.png", "b.png", "--advance-error", "0,-1"}, "--advance-error takes N,E"},
        {{"apply", "a.png", "b.png", "--advance-error", "1,0"}, "--advance-error takes N,E"},
        {{"apply", "a.png", "b.png", "--advance-error", "1,40000"}, "--advance-error takes N,E"},
        {{"apply", "a.png", "b.png", "-d", "out", "--show-message-box"},
         "--show-message-box takes one file"},
        {{"apply", "a.png", "b.png", "--fast"}, "unknown option --fast"},
        {{"info"}, "test_host apply runs files only"},
    };
    for (const auto& [args, why] : bad) {
        EXPECT_FALSE(parse_protocol_apply(args, run, error)) << why;
        EXPECT_EQ(error.substr(0, why.size()), why);
    }
}

// --help, the guides and docs/bfrun.md show the exit statuses from their one table; on a
// difference the test prints the text to paste.
TEST(Options, TheHelpAndTheDocumentsShowTheOneTableOfExitStatuses) {
    const std::string& help = usage_text();
    for (size_t i = 0; i < kExitStatusCount; ++i)
        EXPECT_NE(help.find(std::to_string(i) + " "), std::string::npos) << i;
    for (const char* guide : {"guide/README.txt", "guide/README-ja.txt"})
        EXPECT_NE(source_file(guide).find("\n" + help + "\n"), std::string::npos)
            << guide << " should show bfrun --help as it is:\n"
            << help;
    std::string table = "| exit status | meaning |\n|---|---|\n";
    for (size_t i = 0; i < kExitStatusCount; ++i)
        table += "| " + std::to_string(kExitStatusMeanings[i].status) + " | " +
                 kExitStatusMeanings[i].meaning + " |\n";
    EXPECT_NE(source_file("docs/bfrun.md").find(table), std::string::npos)
        << "docs/bfrun.md should hold the exit statuses as:\n"
        << table;
}

// The Japanese guide's own list of exit statuses: the table's numbers in order, each meaning
// with the words a translation keeps, the names and numbers (PNG, --max-pixels, -128, OUT.png).
TEST(Options, TheJapaneseGuideListsTheStatusesOfTheTable) {
    const std::string guide = source_file("guide/README-ja.txt");
    std::istringstream lines(guide.substr(std::min(guide.find("\n終了コード"), guide.size())));
    std::vector<std::string> meanings;
    const std::regex first("  ([0-9]+) +(.*)"), more("      (.*)");
    const std::regex word("[^ (),;:]+"), kept("-.*|.*[A-Z0-9].*");
    std::smatch part;
    for (std::string line; std::getline(lines, line) && (meanings.empty() || !line.empty());) {
        if (std::regex_match(line, part, first)) {
            EXPECT_EQ(std::stoul(part[1]), meanings.size());
            meanings.push_back(part[2]);
        } else if (!meanings.empty() && std::regex_match(line, part, more)) {
            meanings.back() += part[1];
        }
    }
    ASSERT_EQ(meanings.size(), kExitStatusCount);
    for (size_t i = 0; i < kExitStatusCount; ++i) {
        const std::string meaning = kExitStatusMeanings[i].meaning;
        for (std::sregex_iterator at(meaning.begin(), meaning.end(), word), end; at != end; ++at) {
            if (!std::regex_match(at->str(), kept)) continue;
            EXPECT_NE(meanings[i].find(at->str()), std::string::npos)
                << "guide/README-ja.txt, status " << i << ", should say " << at->str();
        }
    }
}
