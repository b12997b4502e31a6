// What bfrun shows on the console while files are filtered. One line for the whole run, redrawn
// in place at most ten times a second: a bar for a single file, the count of files done and the
// files in hand for a batch; each file's result line is printed once, above it, and the line is
// cleared at the end. Only the parent process of a batch writes to the console: its workers
// send it their events as lines on a pipe (WorkerEvent). Portable: the text goes to a callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// "[#####.....]  50% (1/2)"
std::string progress_bar(int32_t done, int32_t total, int width);

class BatchConsole {
  public:
    // `live`: stderr is a console and progress is wanted; otherwise only the lines are written.
    BatchConsole(size_t files, bool live, std::function<void(const std::string&)> write);

    void started(size_t file, const std::string& name, int64_t now_ms);
    void progress(size_t file, int32_t done, int32_t total, int64_t now_ms);
    // A line above the progress line: "bfrun: " and the text as one printable line.
    void line(const std::string& text, int64_t now_ms);
    // `ran`: the file was started (a file never started counts apart).
    void finished(size_t file, bool succeeded, bool ran, int64_t now_ms);
    // Clears the progress line.
    void close();

    // "3 files: 2 done, 1 failed", and ", N not started" when some were not; "5 images from 3
    // files: ..." when `files` given are pages of fewer input files.
    std::string summary() const;
    void set_input_files(size_t input_files) { input_files_ = input_files; }

  private:
    struct InHand {
        size_t file;
        std::string name;
        int32_t done = 0, total = 0;
    };
    std::string status() const;
    void clear();
    void redraw(int64_t now_ms);

    size_t files_;
    size_t input_files_ = 0; // 0: one a file
    bool live_;
    std::function<void(const std::string&)> write_;
    std::vector<InHand> in_hand_;
    size_t done_ = 0, failed_ = 0, not_started_ = 0;
    size_t shown_ = 0; // columns of the progress line on the screen
    int64_t drawn_ms_ = INT64_MIN;
};

// One event of a worker, as a line on its stdout: "start K", "rows K DONE TOTAL", "line TEXT",
// "end K STATUS RAN"; K counts the files of the worker's own share.
struct WorkerEvent {
    enum Kind { start, rows, line, end } kind = line;
    size_t file = 0;
    int32_t a = 0, b = 0; // rows done and total, or the exit status and whether it ran
    std::string text;
};
std::string worker_event_line(const WorkerEvent& event);
bool parse_worker_event(const std::string& line, WorkerEvent& event);
