// bfrun: a host for Brightfade.8bf. "info" prints the module's property list; "apply" filters
// PNG files through the module as Photoshop would and writes the results.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "runner/win32/apply_file.h"
#include "runner/win32/batch_win32.h"
#include "runner/win32/console_win32.h"
#include "runner/cli/options.h"
#include "runner/cli/printable_line.h"
#include "runner/job/exit_status.h"
#include "runner/win32/process_info.h"
#include "runner/win32/utf8.h"

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
    return apply_one(options, module);
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
        std::fprintf(stderr, "bfrun: %s\n\n%s", printable_line(error).c_str(),
                     usage_text().c_str());
        return kExitUsage;
    }
    // A batch's workers are told their share; anything else compresses on every processor.
    if (options.run.threads == 0) options.run.threads = processor_count();
    if (options.command == Command::help) {
        std::fputs(usage_text().c_str(), stdout);
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
