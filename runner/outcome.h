// Exit statuses of bfrun and the one-line explanations that go with them.
#pragma once

#include <cstdint>
#include <string>

#include "runner/host_run.h"

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

// A result code by name where it has one ("filterBadParameters (-30100)"), else by number.
std::string result_code_name(int16_t code);

// The exit status for a finished run, and its explanation (empty when done).
ExitStatus run_exit_status(const RunReport& report, std::string& explanation);

// The text as one printable line: control characters and bytes that are not UTF-8 become '?'.
std::string printable_line(const std::string& text);
