// bfrun: a host for Brightfade.8bf. "info" prints the module's plug-in property list; "apply"
// filters image files through the module as Photoshop would and writes PNG files; files given
// with no verb (dropped on bfrun.exe in Explorer) are filtered into new files beside them.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/version.h"
#include "runner/cli/batch.h"
#include "runner/cli/file_arguments.h"
#include "runner/cli/options.h"
#include "runner/cli/printable_line.h"
#include "runner/job/exit_status.h"
#include "runner/win32/apply_file.h"
#include "runner/win32/batch_win32.h"
#include "runner/win32/console_win32.h"
#include "runner/win32/module_library.h"
#include "runner/drive/module_file.h"
#include "runner/win32/process_info.h"
#include "runner/win32/utf8.h"
#include "runner/win32/windows_files.h"

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

// The files to filter and where each goes, or a failure before anything is read.
bool plan_files(Options& options, std::vector<BatchItem>& items, bool& summary, Failure& failure) {
    if (options.worker) {
        for (size_t i = 0; i < options.inputs.size(); ++i)
            items.push_back({options.inputs[i], options.outputs[i], {}});
        return true;
    }
    const bool expands =
        std::any_of(options.inputs.begin(), options.inputs.end(), [](const std::string& in) {
            return has_wildcards(in) || windows_file_system().is_folder(in);
        });
    std::vector<std::string> inputs;
    if (!expand_file_arguments(options.inputs, windows_file_system(), inputs, failure))
        return false;
    summary = expands || inputs.size() > 1;
    if (options.command == Command::drop) {
        std::vector<std::string> planned;
        auto taken = [&planned](const std::string& name) {
            return path_exists(name) ||
                   std::any_of(planned.begin(), planned.end(),
                               [&name](const std::string& p) { return same_file(p, name); });
        };
        for (const std::string& input : inputs) {
            planned.push_back(dropped_output(input, taken));
            items.push_back({input, planned.back(), {}});
        }
        summary = true;
        return true;
    }
    if (options.directory.empty()) {
        if (inputs.size() != 1)
            return set_failure(failure, kExitUsage,
                               options.inputs[0] + " stands for " + std::to_string(inputs.size()) +
                                   " files: give -d DIR to filter several");
        items.push_back({inputs[0], options.output, {}});
        return true;
    }
    std::string error;
    if (!create_folders(options.directory, error))
        return set_failure(failure, kExitWriteFailed, error);
    items = plan_batch(inputs, options.directory, same_file);
    summary = true;
    return true;
}

int apply(Options& options) {
    catch_interrupts();
    // Files with no verb: the first must be there, or it was a mistyped command.
    if (options.command == Command::drop && !has_wildcards(options.inputs[0]) &&
        !path_exists(options.inputs[0]))
        return usage_error("unknown command \"" + options.inputs[0] + "\"");
    LoadedModule module;
    Failure failure;
    std::vector<BatchItem> items;
    bool summary = false;
    if (!plan_files(options, items, summary, failure) ||
        !read_module_list(options, module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    return run_batch(options, module, items, summary);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(narrow_utf8(argv[i]));
    Options options;
    std::string error;
    if (!parse_options(args, options, error)) return usage_error(error);
    // A batch's workers are told their share; anything else compresses on every processor.
    if (options.run.threads == 0) options.run.threads = processor_count();
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
