// The portable part of a batch: output names and refusals, shares, worker command lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "bfrun/cli/batch.h"
#include "bfrun/cli/options.h"

namespace {

bool same_path(const std::string& a, const std::string& b) {
    return a == b;
}

// Files of one page each.
std::vector<BatchItem> files(const std::vector<std::string>& inputs) {
    return split_pages(inputs, [](const std::string&, uint32_t&) { return Failure{}; });
}

} // namespace

TEST(Batch, OutputsGoIntoTheFolderUnderTheirOwnNamesAndClashesAreRefused) {
    const std::vector<BatchItem> items = plan_batch(
        files({"z\\c.png", "in/b.png", "x\\A.png", "y/a.png", "out\\d.png"}), "out", same_path);
    ASSERT_EQ(items.size(), 5u);
    // In order of the input paths.
    EXPECT_EQ(items[0].input, "in/b.png");
    EXPECT_EQ(items[0].output, "out\\b.png");
    EXPECT_EQ(items[0].refused.status, kExitDone);
    EXPECT_EQ(items[1].input, "out\\d.png");
    EXPECT_EQ(items[1].refused.status, kExitUsage); // it would replace itself
    EXPECT_NE(items[1].refused.message.find("would replace it"), std::string::npos);
    // x\A.png and y/a.png are one name to Windows: both refused.
    EXPECT_EQ(items[2].input, "x\\A.png");
    EXPECT_EQ(items[2].refused.status, kExitUsage);
    EXPECT_EQ(items[3].refused.message, "2 inputs would all be written to out\\a.png");
    EXPECT_EQ(items[4].output, "out\\c.png");
    EXPECT_EQ(plan_batch(files({"a.png"}), "dir/", same_path)[0].output, "dir/a.png");
    // Outputs are PNG files whatever the input: the extension is replaced, and an input
    // without one gets .png; scan.JPG and scan.png would both be scan.png.
    const std::vector<BatchItem> scans = plan_batch(
        files({"s\\scan.JPG", "t\\scan.png", "u.v\\page", "w\\x.y.tiff"}), "o", same_path);
    EXPECT_EQ(scans[0].refused.message, "2 inputs would all be written to o\\scan.png");
    EXPECT_EQ(scans[2].output, "o\\page.png");
    EXPECT_EQ(scans[3].output, "o\\x.y.png");
}

TEST(Batch, DroppedFilesGoBesideThemNeverOverAnotherFile) {
    const std::vector<std::string> existing = {"s\\scan-brightfade.png",
                                               "s\\scan-brightfade-2.png"};
    auto taken = [&](const std::string& name) {
        return std::find(existing.begin(), existing.end(), name) != existing.end();
    };
    EXPECT_EQ(dropped_output("s\\scan.JPG", {}, taken), "s\\scan-brightfade-3.png");
    EXPECT_EQ(dropped_output("t\\logo.png", {}, taken), "t\\logo-brightfade.png");
    Options drop;
    std::string error;
    ASSERT_TRUE(parse_options({"C:\\a b\\scan.jpg", "logo.png"}, drop, error));
    EXPECT_EQ(drop.command, Command::drop);
    EXPECT_EQ(drop.inputs.size(), 2u);
}

TEST(Batch, EachPageOfAFileIsAnImageOfItsOwnNamedForItsPage) {
    auto count = [](const std::string& input, uint32_t& pages) {
        pages = input == "s\\scan.tif" ? 3 : 1;
        return input == "bad.tif" ? Failure{kExitBadInput, "the TIFF is damaged"} : Failure{};
    };
    const std::vector<BatchItem> items =
        plan_batch(split_pages({"s\\scan.tif", "bad.tif", "a.png"}, count), "o", same_path);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].output, "o\\a.png");
    EXPECT_EQ(items[1].refused.message, "the TIFF is damaged");
    EXPECT_EQ(items[2].output, "o\\scan-page1.png");
    EXPECT_EQ(items[4].output, "o\\scan-page3.png");
    EXPECT_EQ(item_name(items[3]), "s\\scan.tif page 2 of 3");
    EXPECT_EQ(item_name(items[0]), "a.png");
    // As many digits as the count; a name with no extension gets the number at its end.
    EXPECT_EQ(page_path("d.x\\fax.TIF", {8, 12}), "d.x\\fax-page09.TIF");
    EXPECT_EQ(page_path("fax", {0, 2}), "fax-page1");
    // Dropped: the page's name, then the suffix, which a later drop of the folder leaves out.
    const std::string dropped =
        dropped_output("s\\scan.tif", {1, 3}, [](const std::string&) { return false; });
    EXPECT_EQ(dropped, "s\\scan-page2-brightfade.png");
    EXPECT_TRUE(is_dropped_output(base_name(dropped)));
}

TEST(Batch, SharesAndWorkerCommandLines) {
    EXPECT_EQ(share_out(5, 2), (std::vector<std::vector<size_t>>{{0, 2, 4}, {1, 3}}));
    EXPECT_EQ(share_out(2, 8).size(), 2u);
    EXPECT_TRUE(share_out(0, 2).empty());
    const std::vector<BatchItem> share = {{"a.jpg", "out\\a.png", {}, {}},
                                          {"b.tif", "out\\b-page2.png", {}, {1, 3}}};
    EXPECT_EQ(worker_arguments({"-d", "out", "--jobs", "2", "--quiet"}, share, 3),
              (std::vector<std::string>{"apply", "--batch-worker", "3", "--quiet", "a.jpg", "1/1",
                                        "out\\a.png", "b.tif", "2/3", "out\\b-page2.png"}));
    // The processors shared among the workers, one thread each at least.
    EXPECT_EQ(worker_threads(8, 3), 2);
    EXPECT_EQ(worker_threads(2, 2), 1);
    EXPECT_EQ(worker_threads(2, 5), 1);
    Options worker;
    std::string error;
    ASSERT_TRUE(parse_options(worker_arguments({"-d", "out"}, share, 4), worker, error));
    EXPECT_TRUE(worker.worker);
    EXPECT_EQ(worker.run.threads, 4);
    EXPECT_EQ(worker.inputs, (std::vector<std::string>{"a.jpg", "b.tif"}));
    EXPECT_EQ(worker.outputs, (std::vector<std::string>{"out\\a.png", "out\\b-page2.png"}));
    ASSERT_EQ(worker.worker_pages.size(), 2u);
    EXPECT_EQ(worker.worker_pages[1].page, 1u);
    EXPECT_EQ(worker.worker_pages[1].pages, 3u);
    for (const char* page : {"0/3", "4/3", "2", "a/b", "2/"})
        EXPECT_FALSE(
            parse_options({"apply", "--batch-worker", "1", "a.tif", page, "a.png"}, worker, error))
            << page;
    // As the C runtime splits a command line: quotes around spaces, backslashes doubled only
    // before a quote.
    EXPECT_EQ(quote_argument("plain"), "plain");
    EXPECT_EQ(quote_argument(""), "\"\"");
    EXPECT_EQ(quote_argument("C:\\My Files\\a.png"), "\"C:\\My Files\\a.png\"");
    EXPECT_EQ(quote_argument("say \"hi\""), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(quote_argument("dir with space\\"), "\"dir with space\\\\\"");
}
