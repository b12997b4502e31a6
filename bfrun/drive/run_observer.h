// What a file's run tells the code that started it, and the one thing it asks of it: how far
// the module has got, whether the user wants to stop, and why the run cannot go on. The caller
// makes one for each file (bfrun's shell draws the progress and reads Ctrl+C; the tests script
// both) and hands it to filter_image, which hands it to the module's run and the rows' flow.
#pragma once

#include <cstdint>

#include "bfrun/drive/exit_status.h"

class RunObserver {
  public:
    virtual ~RunObserver() = default;

    // The module's own count: `done` of `total`.
    virtual void progress(int32_t /*done*/, int32_t /*total*/) {}
    // The user asked to stop (Ctrl+C, the console closed).
    virtual bool interrupted() { return false; }

    // Why the run cannot go on, said where it is found. The first reason stands: what fails
    // after it fails because of it. Returns false, for the caller to return in turn.
    bool fail(const Failure& why) {
        if (failure_.status == kExitDone) failure_ = why;
        return false;
    }
    bool failed() const { return failure_.status != kExitDone; }
    const Failure& failure() const { return failure_; }

  private:
    Failure failure_;
};
