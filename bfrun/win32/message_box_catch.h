// While a file's run is on, a message box the module shows on the running thread is closed as
// soon as it opens, as if OK were pressed, and what it said is kept: a run under bfrun never
// waits for a click, and the box's text becomes the file's line (a thread-local CBT hook).
#pragma once

#include <cstdint>
#include <string>

struct CaughtMessageBox {
    bool caught = false;
    std::string caption, text; // UTF-8
    intptr_t owner = 0;        // the window that owns it
};

class MessageBoxCatch {
  public:
    // Hooks the calling thread until destroyed; the first box shown meanwhile is kept.
    MessageBoxCatch();
    ~MessageBoxCatch();
    MessageBoxCatch(const MessageBoxCatch&) = delete;
    MessageBoxCatch& operator=(const MessageBoxCatch&) = delete;

    const CaughtMessageBox& box() const { return box_; }

  private:
    CaughtMessageBox box_;
    CaughtMessageBox* outer_ = nullptr; // the catch this one is inside, if any
    void* hook_ = nullptr;
};

// For the test host, which prints what it caught: each caught box is handed to `report` with
// the window bfrun gave the module to own its boxes. Unset in bfrun.
using MessageBoxReport = void (*)(const CaughtMessageBox& box, intptr_t owner_window);
void set_message_box_report(MessageBoxReport report);
void report_message_box(const CaughtMessageBox& box, intptr_t owner_window);
