// bfrun apply on Windows, one file at a time (apply_file_win32.cpp): the module loaded once,
// each file read from disk and its result put in place only when complete, the progress bar
// and the lines bfrun prints.
#pragma once

#include <string>

#include "runner/job/filter_png.h"
#include "runner/drive/run_filter.h"
#include "runner/cli/options.h"
#include "runner/job/exit_status.h"
#include "runner/drive/pipl.h"

struct LoadedModule {
    std::string path;
    Pipl pipl;
    void* library = nullptr;
    PluginEntry entry = nullptr;
    intptr_t owner_window = 0;
};

// Reads the module's property list (as a host does, without running its code).
bool read_module_list(const Options& options, LoadedModule& module, Failure& failure);
// Loads the module and finds its entry point; the property list must have been read.
bool load_module_code(LoadedModule& module, Failure& failure);
void unload_module_code(LoadedModule& module);

// Filters IN into OUT: OUT is replaced only when the result is complete and on disk.
Failure apply_file(const LoadedModule& module, const Options& options, const std::string& input,
                   const std::string& output, FilterSummary& summary);

// "bfrun: TEXT" on stderr, as one printable line, after ending any progress line.
void report_line(const std::string& text);
// The line for a file done, unless --quiet.
void report_done(const Options& options, const std::string& input, const std::string& output,
                 const FilterSummary& summary, double seconds);
