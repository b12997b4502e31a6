// bfrun apply IN.png... -d DIR on Windows (batch_win32.cpp): the files one after another in
// this process, or shared among worker processes, each a bfrun of its own with the module
// loaded once: the module's state is process-wide, so one process filters one file at a time.
#pragma once

#include "runner/apply_file.h"
#include "runner/options.h"

// Runs the batch; returns the highest exit status of its files.
int run_batch(const Options& options, LoadedModule& module);
