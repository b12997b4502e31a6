// bfrun's command line: what it asks for, parsed from the arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bfrun/job/run_request.h"

// A page of an input file: from 0, of `pages` (1 for a file of one page).
struct InputPage {
    uint32_t page = 0, pages = 1;
};

// drop: files with no verb, as Explorer passes the files dropped on bfrun.exe.
enum class Command { help, version, info, apply, drop };

struct Options {
    Command command = Command::help;
    std::string module; // empty: Brightfade.8bf beside bfrun.exe
    // apply IN OUT, or apply IN... -d DIR, or FILE... (drop); a worker's files come as IN,
    // PAGE ("2/3", from 1) and OUT, into inputs, worker_pages and outputs.
    std::vector<std::string> inputs, outputs;
    std::vector<InputPage> worker_pages;
    std::string output;
    std::string directory;
    int32_t jobs = 0; // 0: one per processor
    bool quiet = false;
    bool stats = false; // print the peak memory and time at the end
    // The progress line drawn on stderr whatever it is; bfrun draws it on a console only, the
    // test host sets this to see it drawn on a pipe.
    bool draw_progress = false;
    bool worker = false; // a share of a batch, run by another bfrun (--batch-worker THREADS)
    RunRequest run;      // what each file's run is asked to do
    // The arguments that were options, as given, for the worker processes of a batch.
    std::vector<std::string> option_args;
};

// An option that a program built on bfrun's code adds to bfrun's own (the test host's
// switches for the protocol tests), parsed as bfrun's are and never listed by --help: a switch
// (value nullptr), an integer in min..max, or a value of its own kind (take).
struct ExtraOption {
    const char* name;
    const char* value;
    void (*set_switch)(Options&);
    long long min, max;
    void (*set_integer)(Options&, long long);
    bool (*take)(Options&, const std::string&, std::string&);
};

// args excludes the program name. False with a one-line reason on a bad command line.
bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error,
                   const std::vector<ExtraOption>& extra = {});

// text as `count` integers in min..max between commas, as an option's value.
bool parse_integer_list(const std::string& text, size_t count, long long min, long long max,
                        std::vector<long long>& values);

// What bfrun says when started with nothing to do (a double-click in Explorer): a few lines
// on how to use it.
std::string first_steps_text();

// What bfrun --help prints.
const std::string& usage_text();
