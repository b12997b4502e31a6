// bfrun's exit statuses, what each one means (the one table that --help, docs/bfrun.md and the
// guides show), why a file was not done, and the PNG code's failures mapped onto them.
#pragma once

#include <cstddef>
#include <string>

#include "bfrun/image/image_error.h"

enum ExitStatus : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitBadInput = 2,
    kExitTooLarge = 3,
    kExitWriteFailed = 4,
    kExitBadModule = 5,
    kExitRefused = 6,
    kExitBadParameters = 7,
    kExitCanceled = 8,
    kExitOtherResult = 9,
    kExitProtocolFault = 10,
    kExitOutOfMemory = 11,
};

struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning;
};

// Every status, in order, with its meaning for the user.
extern const ExitStatusMeaning kExitStatusMeanings[];
extern const size_t kExitStatusCount;

// Why a file was not done: its exit status and one line for the user.
struct Failure {
    ExitStatus status = kExitDone;
    std::string message;
};

inline bool set_failure(Failure& failure, ExitStatus status, const std::string& message) {
    failure.status = status;
    failure.message = message;
    return false;
}

// The exit status for a failure of the PNG code.
Failure failure_from(const ImageError& error);
