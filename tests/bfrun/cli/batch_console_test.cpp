// The console of a run: the progress line redrawn in place at most ten times a second, result
// lines above it once each with nothing of a bar left, the summary, and the workers' events.
#include <gtest/gtest.h>

#include "bfrun/cli/batch_console.h"

TEST(BatchConsole, OneFileShowsABarThatLeavesNothingBehind) {
    EXPECT_EQ(progress_bar(1, 2, 10), "[#####.....]  50% (1/2)");
    EXPECT_EQ(progress_bar(0, 375, 4), "[....]   0% (0/375)");
    EXPECT_EQ(progress_bar(5, 0, 4), "[####] 100% (5/0)"); // a bad total shows as complete
    std::string out;
    BatchConsole console(1, true, [&](const std::string& s) { out += s; });
    console.started(0, "in\\a.png", 1000);
    console.progress(0, 1, 4, 1050); // within 100 ms of the last redraw: not drawn
    console.progress(0, 2, 4, 1100);
    console.finished(0, true, true, 1160); // within 100 ms again: the bar stays as it was
    console.line("in\\a.png -> b.png: 10 x 10", 1170);
    console.close();
    const std::string half = "[###############...............]  50% (2/4)";
    const std::string none = "[..............................]   0% (0/0)";
    const std::string blank(none.size(), ' ');
    EXPECT_EQ(out, "\r" + none + "\r" + "\r" + half + "\r" + "\r" + blank + "\r" +
                       "bfrun: in\\a.png -> b.png: 10 x 10\n");
}

TEST(BatchConsole, ABatchCountsFilesAndShowsTheFilesInHand) {
    std::string out;
    BatchConsole console(3, true, [&](const std::string& s) { out += s; });
    console.started(0, "s\\a.png", 0);
    console.started(1, "s\\b.png", 200);
    console.progress(1, 5, 10, 300);
    const std::string shown = "0/3 files | a.png 0% | b.png 50%";
    EXPECT_EQ(out.substr(out.rfind('\r', out.size() - 2)), "\r" + shown + "\r");
    out.clear();
    console.line("s\\a.png: not a PNG, JPEG or TIFF file", 310);
    console.finished(0, false, true, 320);
    console.finished(2, false, false, 330); // stopped before it began
    console.close();
    EXPECT_EQ(out, "\r" + std::string(shown.size(), ' ') + "\r" +
                       "bfrun: s\\a.png: not a PNG, JPEG or TIFF file\n" +
                       "\r0/3 files | a.png 0% | b.png 50%\r" + "\r" +
                       std::string(shown.size(), ' ') + "\r");
    EXPECT_EQ(console.summary(), "2 files: 0 done, 1 failed, 1 not started");

    // Not a console: the lines alone.
    out.clear();
    BatchConsole plain(2, false, [&](const std::string& s) { out += s; });
    plain.started(0, "a.png", 0);
    plain.progress(0, 1, 2, 500);
    plain.line("a.png -> o\\a.png", 600);
    plain.finished(0, true, true, 600);
    plain.close();
    EXPECT_EQ(out, "bfrun: a.png -> o\\a.png\n");
    EXPECT_EQ(plain.summary(), "1 file: 1 done, 0 failed");
    // The pages of a TIFF, each an image of its own.
    plain.set_input_files(1);
    plain.finished(1, false, true, 700);
    EXPECT_EQ(plain.summary(), "2 images from 1 file: 1 done, 1 failed");
}

TEST(BatchConsole, WorkerEventsRoundTripAndMalformedLinesAreRefused) {
    for (const WorkerEvent& event : {WorkerEvent{WorkerEvent::start, 3, 0, 0, ""},
                                     WorkerEvent{WorkerEvent::rows, 1, 40, 375, ""},
                                     WorkerEvent{WorkerEvent::end, 0, 9, 0, ""},
                                     WorkerEvent{WorkerEvent::line, 0, 0, 0, "a: b\nc"}}) {
        WorkerEvent back;
        ASSERT_TRUE(parse_worker_event(worker_event_line(event), back)) << worker_event_line(event);
        EXPECT_EQ(back.kind, event.kind);
        EXPECT_EQ(back.file, event.file);
        EXPECT_EQ(back.a, event.a);
        EXPECT_EQ(back.b, event.b);
    }
    WorkerEvent event;
    EXPECT_TRUE(parse_worker_event("line a: b?c", event));
    EXPECT_EQ(event.text, "a: b?c");
    for (const char* bad :
         {"", "start", "start -1", "rows 1 2", "end 1 2 3 4", "stop 1", "rows 1 x 2"})
        EXPECT_FALSE(parse_worker_event(bad, event)) << bad;
}
