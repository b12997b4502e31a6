// bfrun apply on Windows (batch_win32.cpp): a run of files, one after another in this process
// or shared among worker processes, each a bfrun of its own with the module loaded once (the
// module's state is process-wide, so one process filters one file at a time). Only this
// process writes to the console: the workers send it their events on a pipe.
#pragma once

#include <vector>

#include "bfrun/cli/batch.h"
#include "bfrun/cli/options.h"
#include "bfrun/win32/apply_file.h"

// Runs the files; returns the highest exit status among them. The summary line ends a run of
// several files (and one from a folder or a drag and drop: `summary`).
int run_batch(const Options& options, LoadedModule& module, const std::vector<BatchItem>& items,
              bool summary);
