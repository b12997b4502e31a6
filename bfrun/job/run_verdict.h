// How a run of the module ended, decided once from what the host saw: the exit status and,
// unless done, one line saying why.
#pragma once

#include <cstdint>
#include <string>

#include "bfrun/drive/run_filter.h"
#include "bfrun/drive/exit_status.h"

// A result code by name where it has one ("filterBadParameters (-30100)"), else by number.
std::string result_code_name(int16_t code);

// The exit status for a finished run, and its explanation (empty when done).
ExitStatus run_exit_status(const RunReport& report, std::string& explanation);

// The line for a run the module refused with a message box: what the box said, its line
// breaks as spaces ("the module refused the image: ...").
std::string refusal_line(const std::string& box_text);
