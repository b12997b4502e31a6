// bfrun: a host for Brightfade.8bf. "info" prints the module's property list; "apply" filters
// PNG files through the module as Photoshop would and writes the results.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "runner/apply_file.h"
#include "runner/batch_win32.h"
#include "runner/console_win32.h"
#include "runner/options.h"
#include "runner/outcome.h"
#include "runner/windows_files.h"

namespace {

int info(const Options& options) {
    LoadedModule module;
    Failure failure;
    if (!read_module_list(options, module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    std::printf("module: %s\n%s", module.path.c_str(), describe_pipl(module.pipl).c_str());
    return kExitDone;
}

int apply(const Options& options) {
    catch_interrupts();
    LoadedModule module;
    Failure failure;
    if (!read_module_list(options, module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    if (!options.directory.empty()) return run_batch(options, module);

    const std::string& input = options.inputs[0];
    if (!load_module_code(module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    FilterSummary summary;
    const auto started = std::chrono::steady_clock::now();
    failure = apply_file(module, options, input, options.output, summary);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    unload_module_code(module);
    if (failure.status != kExitDone) {
        report_line(input + ": " + failure.message);
        return failure.status;
    }
    report_done(options, input, options.output, summary, seconds);
    return kExitDone;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(narrow_utf8(argv[i]));
    Options options;
    std::string error;
    if (!parse_options(args, options, error)) {
        std::fprintf(stderr, "bfrun: %s\n\n%s", printable_line(error).c_str(), kUsage);
        return kExitUsage;
    }
    // A batch's workers are told their share; anything else compresses on every processor.
    if (options.threads == 0) options.threads = processor_count();
    if (options.command == Command::help) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    const int status = options.command == Command::info ? info(options) : apply(options);
    if (options.stats) {
        char line[128];
        (void)std::snprintf(
            line, sizeof line, "peak memory %.1f MiB (peak working set), %.2f s",
            static_cast<double>(peak_memory_bytes()) / (1 << 20),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        report_line(line);
    }
    return status;
}
