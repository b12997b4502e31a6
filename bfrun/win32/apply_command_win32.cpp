// bfrun apply through Win32: the files planned, the module's property list read, the files
// run (batch_win32.cpp).
#include "bfrun/win32/apply_command.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bfrun/cli/batch.h"
#include "bfrun/cli/file_arguments.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/win32/apply_file.h"
#include "bfrun/win32/batch_win32.h"
#include "bfrun/win32/console_win32.h"
#include "bfrun/win32/file_streams.h"
#include "bfrun/win32/process_info.h"
#include "bfrun/win32/windows_files.h"

namespace {

// A file's pages; a file that cannot be opened here counts 1, and its run says why.
Failure count_file_pages(const std::string& path, uint32_t& pages) {
    FileSource source;
    ImageError failure;
    pages = 1;
    if (!source.open(path) || count_image_pages(source, pages, failure)) return Failure{};
    pages = 1;
    return failure_from(failure);
}

// The files to filter and where each goes, or a failure before anything is read. A file of
// several pages (a TIFF's) is an item a page, each named as page_path names it.
bool plan_files(Options& options, std::vector<BatchItem>& items, bool& summary, Failure& failure) {
    if (options.worker) {
        for (size_t i = 0; i < options.inputs.size(); ++i)
            items.push_back({options.inputs[i], options.outputs[i], {}, options.worker_pages[i]});
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
    if (options.directory.empty() && options.command != Command::drop && inputs.size() != 1)
        return set_failure(failure, kExitUsage,
                           options.inputs[0] + " stands for " + std::to_string(inputs.size()) +
                               " files: give -d DIR to filter several");
    items = split_pages(inputs, count_file_pages);
    summary = expands || items.size() > 1;
    if (options.command == Command::drop) {
        std::vector<std::string> planned;
        auto taken = [&planned](const std::string& name) {
            return path_exists(name) ||
                   std::any_of(planned.begin(), planned.end(),
                               [&name](const std::string& p) { return same_file(p, name); });
        };
        for (BatchItem& item : items) {
            planned.push_back(dropped_output(item.input, item.page, taken));
            item.output = planned.back();
        }
        summary = true;
        return true;
    }
    if (options.directory.empty()) {
        // IN OUT: a file of several pages gives OUT's name to each, as page_path names them.
        for (BatchItem& item : items)
            item.output = page_path(options.output, item.page);
        return true;
    }
    std::string error;
    if (!create_folders(options.directory, error))
        return set_failure(failure, kExitWriteFailed, error);
    items = plan_batch(items, options.directory, same_file);
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
