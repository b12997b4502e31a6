// While a file's run is on, a message box the module shows is closed as soon as it is seen, as
// if OK were pressed, and what it said is kept: a run under bfrun never waits for a click, and
// the box's text becomes the file's line. A thread looks for the box among the process's
// windows every 20 ms: a CBT hook on the running thread closed it at once under x86-64 Wine, but
// under arm64 Wine (Xvfb, no window manager) the run still waited for a click.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct CaughtMessageBox {
    bool caught = false;
    std::string caption, text; // UTF-8
    intptr_t owner = 0;        // the window that owns it
};

class MessageBoxCatch {
  public:
    // Starts looking; finish() stops and gives what was caught.
    MessageBoxCatch();
    ~MessageBoxCatch();
    MessageBoxCatch(const MessageBoxCatch&) = delete;
    MessageBoxCatch& operator=(const MessageBoxCatch&) = delete;

    const CaughtMessageBox& finish();

  private:
    void watch();

    CaughtMessageBox box_; // the watcher's until finish() has joined it
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};

// For the test host, which prints what it caught: each caught box is handed to `report` with
// the window bfrun gave the module to own its boxes. Unset in bfrun.
using MessageBoxReport = void (*)(const CaughtMessageBox& box, intptr_t owner_window);
void set_message_box_report(MessageBoxReport report);
void report_message_box(const CaughtMessageBox& box, intptr_t owner_window);
