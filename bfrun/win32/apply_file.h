// bfrun apply on Windows, one file at a time (apply_file_win32.cpp): the module loaded once,
// each file read from disk and its result put in place only when complete, its progress and
// lines handed to where the run's events go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "bfrun/cli/batch.h"
#include "bfrun/job/filter_image.h"
#include "bfrun/drive/run_filter.h"
#include "bfrun/cli/options.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/drive/pipl.h"

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

// Where the events of a run of files go: the console, which only the parent process of a
// batch writes to, or the parent, from a worker. Called from the filtering thread only.
struct RunEvents {
    virtual ~RunEvents() = default;
    virtual void started(size_t file, const std::string& name) = 0;
    virtual void progress(size_t file, int32_t done, int32_t total) = 0;
    virtual void line(const std::string& text) = 0;
    virtual void finished(size_t file, ExitStatus status, bool ran) = 0;
};

// Filters the item's input (its page) into its output, file number `file` of the run: the
// output is replaced only when the result is complete and on disk.
Failure apply_file(const LoadedModule& module, const Options& options, const BatchItem& item,
                   RunEvents& events, size_t file, FilterSummary& summary);

// "bfrun: TEXT" on stderr, as one printable line, outside a run of files.
void report_line(const std::string& text);
// The line for a file done.
std::string done_line(const std::string& input, const std::string& output,
                      const FilterSummary& summary, double seconds);
