// bfrun apply through Win32: the files planned, the module's property list read, the files
// run (batch_win32.cpp).
#include "bfrun/win32/apply_command.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bfrun/cli/batch.h"
#include "bfrun/cli/file_arguments.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/win32/apply_file.h"
#include "bfrun/win32/batch_win32.h"
#include "bfrun/win32/console_win32.h"
#include "bfrun/win32/process_info.h"
#include "bfrun/win32/windows_files.h"

namespace {

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
    size_t left_out = 0;
    if (!expand_file_arguments(options.inputs, windows_file_system(), inputs, left_out, failure))
        return false;
    if (left_out > 0)
        report_line("left out " + std::to_string(left_out) + (left_out == 1 ? " file" : " files") +
                    " that bfrun wrote before (NAME-brightfade.png)");
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

} // namespace

int apply_command(Options& options) {
    catch_interrupts();
    // A batch's workers are told their share; anything else compresses on every processor.
    if (options.run.threads == 0) options.run.threads = processor_count();
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
