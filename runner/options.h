// bfrun's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"

enum class Command { help, info, apply };

// 2^30 pixels: 32768 x 32768.
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 30;

struct Options {
    Command command = Command::help;
    std::string module; // empty: Brightfade.8bf beside bfrun.exe
    // apply IN OUT, or apply IN... -d DIR
    std::vector<std::string> inputs;
    std::string output;
    std::string directory;
    int32_t jobs = 0; // 0: one per processor
    int32_t compression = 6;
    // Threads compressing OUT.png: 0 until bfrun sets the processor count (a batch's workers
    // are given their share with --batch-worker N); the portable code takes 0 as 1.
    int32_t threads = 0;
    uint64_t max_pixels = kDefaultMaxPixels;
    bool quiet = false;
    bool stats = false;  // print the peak memory and time at the end
    bool worker = false; // a share of a batch, run by another bfrun (--batch-worker THREADS)
    int32_t depth = 0;   // 0: the file's own depth; 32: run as float
    bool has_rect = false;
    VRect rect{0, 0, 0, 0};
    int16_t filter_case = 0; // 0: 4, or 5 with a rectangle
    int16_t mode = -1;       // -1: from the image
    int32_t pad_rows = 0;
    bool big_document = true;
    bool basic_suite = true;
    int32_t abort_after = -1;
    int32_t advance_error_at = 0;
    int16_t advance_error = 0;
    bool show_message_box_text = false; // report the module's message box on stdout, then close it
    // The arguments that were options, as given, for the worker processes of a batch.
    std::vector<std::string> option_args;
};

// args excludes the program name. False with a one-line reason on a bad command line.
bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char* const kUsage;
