// bfrun apply on Windows (batch_win32.cpp), IN.png OUT.png or IN.png... -d DIR: the files one after
// another in this process, or shared among worker processes, each a bfrun of its own with the
// module loaded once: the module's state is process-wide, so one process filters one file at a
// time.
#pragma once

#include "runner/win32/apply_file.h"
#include "runner/cli/options.h"

// Runs the batch; returns the highest exit status of its files.
int run_batch(const Options& options, LoadedModule& module);
// bfrun apply IN.png OUT.png: a batch of one whose output is named, which may be IN.png itself.
int apply_one(const Options& options, LoadedModule& module);
