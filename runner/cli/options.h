// bfrun's command line: what it asks for, parsed from the arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runner/job/run_request.h"

// drop: files with no verb, as Explorer passes the files dropped on bfrun.exe.
enum class Command { help, version, info, apply, drop };

struct Options {
    Command command = Command::help;
    std::string module; // empty: Brightfade.8bf beside bfrun.exe
    // apply IN OUT, or apply IN... -d DIR, or FILE... (drop); a worker's files come in pairs
    // of IN and OUT, into inputs and outputs.
    std::vector<std::string> inputs, outputs;
    std::string output;
    std::string directory;
    int32_t jobs = 0; // 0: one per processor
    bool quiet = false;
    bool stats = false;         // print the peak memory and time at the end
    bool draw_progress = false; // the progress line on stderr whatever it is (for the tests)
    bool worker = false;        // a share of a batch, run by another bfrun (--batch-worker THREADS)
    RunRequest run;             // what each file's run is asked to do
    bool show_message_box_text = false; // report the module's message box on stdout, then close it
    // The arguments that were options, as given, for the worker processes of a batch.
    std::vector<std::string> option_args;
};

// args excludes the program name. False with a one-line reason on a bad command line.
bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error);

// What bfrun --help prints.
const std::string& usage_text();
