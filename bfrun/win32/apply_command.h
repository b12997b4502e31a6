// bfrun apply on Windows, from parsed options to the exit status (apply_command_win32.cpp):
// bfrun's main runs it, and so does the test host, to run files as bfrun does.
#pragma once

#include "bfrun/cli/options.h"

// Plans the files (patterns, folders, -d DIR, dropped files), reads the module's property list
// and runs the files, one after another or shared among workers, which are this program
// started again with --batch-worker. Returns the highest exit status of the files.
int apply_command(Options& options);
