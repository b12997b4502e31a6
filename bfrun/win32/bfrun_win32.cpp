// bfrun: a host for Brightfade.8bf. "info" prints the module's plug-in property list; "apply"
// filters image files through the module as Photoshop would and writes PNG files; files given
// with no verb (dropped on bfrun.exe in Explorer) are filtered into new files beside them.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/version.h"
#include "bfrun/cli/file_arguments.h"
#include "bfrun/cli/options.h"
#include "bfrun/cli/printable_line.h"
#include "bfrun/drive/module_file.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/win32/apply_command.h"
#include "bfrun/win32/apply_file.h"
#include "bfrun/win32/console_win32.h"
#include "bfrun/win32/module_library.h"
#include "bfrun/win32/process_info.h"
#include "bfrun/win32/utf8.h"
#include "bfrun/win32/windows_files.h"

namespace {

int usage_error(const std::string& error) {
    std::fprintf(stderr, "bfrun: %s\nsee bfrun --help\n", printable_line(error).c_str());
    return kExitUsage;
}

// bfrun's version, and the module's version strings when it is there to be read.
int version(const Options& options) {
    std::printf("bfrun %s (%s)\n", BRIGHTFADE_VERSION, machine_name(this_machine()).c_str());
    const std::string path = options.module.empty() ? default_module_path() : options.module;
    const std::string lines = module_version_lines(path);
    std::printf("module: %s\n%s", path.c_str(),
                lines.empty() ? "  (no version strings)\n" : lines.c_str());
    return kExitDone;
}

int info(const Options& options) {
    LoadedModule module;
    Failure failure;
    if (!read_module_list(options, module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    std::printf("module: %s\n%s%s", module.path.c_str(), module_version_lines(module.path).c_str(),
                describe_pipl(module.pipl).c_str());
    return kExitDone;
}

// Files with no verb: the first must be there, or it was a mistyped command.
int apply(Options& options) {
    if (options.command == Command::drop && !has_wildcards(options.inputs[0]) &&
        !path_exists(options.inputs[0]))
        return usage_error("unknown command \"" + options.inputs[0] + "\"");
    return apply_command(options);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(narrow_utf8(argv[i]));
    if (args.empty()) {
        std::fputs(first_steps_text().c_str(), stderr);
        // Double-clicked in Explorer: the window would close before it could be read.
        if (console_is_ours_alone()) wait_for_a_key();
        return kExitUsage;
    }
    Options options;
    std::string error;
    if (!parse_options(args, options, error)) return usage_error(error);
    if (options.command == Command::help) {
        std::fputs(usage_text().c_str(), stdout);
        return kExitDone;
    }
    if (options.command == Command::version) return version(options);
    const int status = options.command == Command::info ? info(options) : apply(options);
    if (options.stats) {
        char line[128];
        (void)std::snprintf(
            line, sizeof line, "peak memory %.1f MiB (peak working set), %.2f s",
            static_cast<double>(peak_memory_bytes()) / (1 << 20),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        report_line(line);
    }
    // Started from Explorer (files dropped on bfrun.exe): the window would close at once.
    if (options.command == Command::drop && console_is_ours_alone()) wait_for_a_key();
    return status;
}
