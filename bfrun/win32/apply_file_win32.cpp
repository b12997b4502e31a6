// One file through the module with Win32 files and console, for batch_win32.cpp.
#include "bfrun/win32/apply_file.h"

#include <windows.h>

#include <cstdio>

#include "bfrun/cli/printable_line.h"
#include "bfrun/drive/module_file.h"
#include "bfrun/win32/console_win32.h"
#include "bfrun/job/run_verdict.h"
#include "bfrun/win32/file_streams.h"
#include "bfrun/win32/message_box_catch.h"
#include "bfrun/win32/module_library.h"

namespace {

// One file's run as the run of files sees it: its progress under its number, and Ctrl+C or
// the console closed as the console's handler saw it.
struct FileObserver : RunObserver {
    FileObserver(RunEvents& events, size_t file) : events(events), file(file) {}
    void progress(int32_t done, int32_t total) override { events.progress(file, done, total); }
    bool interrupted() override { return user_interrupted(); }
    RunEvents& events;
    size_t file;
};

} // namespace

void report_line(const std::string& text) {
    std::fprintf(stderr, "bfrun: %s\n", printable_line(text).c_str());
    std::fflush(stderr);
}

std::string done_line(const std::string& input, const std::string& output,
                      const FilterSummary& summary, double seconds) {
    char line[160];
    (void)std::snprintf(line, sizeof line, ": %u x %u, %d band requests, %s, %.2f s", summary.width,
                        summary.height, summary.requests,
                        summary.output_channels == 2 ? "grey+alpha" : "RGBA", seconds);
    return input + " -> " + output + line;
}

bool read_module_list(const Options& options, LoadedModule& module, Failure& failure) {
    module.path = options.module.empty() ? default_module_path() : options.module;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_module_start(module.path, bytes, error)) {
        if (error != "no such file")
            return set_failure(failure, kExitBadModule,
                               "cannot read " + module.path + ": " + error);
        return set_failure(failure, kExitBadModule,
                           "no module at " + module.path +
                               (options.module.empty()
                                    ? ": put Brightfade.8bf beside bfrun.exe, or name it with "
                                      "--module PATH"
                                    : ": check the path given to --module"));
    }
    error = module_file_problem(module.path, bytes.data(), bytes.size());
    if (!error.empty()) return set_failure(failure, kExitBadModule, error);
    if (!read_property_list(module.path, bytes, error) ||
        !parse_pipl(bytes.data(), bytes.size(), module.pipl, error))
        return set_failure(failure, kExitBadModule, error);
    if (entry_point_for_this_machine(module.pipl).empty())
        return set_failure(failure, kExitBadModule,
                           module.path + " names no " + kThisMachine + " entry point ('" +
                               kThisMachineEntryKey + "')");
    return true;
}

bool load_module_code(LoadedModule& module, Failure& failure) {
    std::string error;
    module.library = load_module(module.path, error);
    if (module.library == nullptr) return set_failure(failure, kExitBadModule, error);
    const std::string& entry_point = entry_point_for_this_machine(module.pipl);
    module.entry = reinterpret_cast<PluginEntry>(find_entry(module.library, entry_point));
    if (module.entry == nullptr) {
        unload_module_code(module);
        return set_failure(failure, kExitBadModule, module.path + " exports no " + entry_point);
    }
    module.owner_window = create_owner_window();
    return true;
}

void unload_module_code(LoadedModule& module) {
    destroy_owner_window(module.owner_window);
    module.owner_window = 0;
    if (module.library != nullptr) unload_module(module.library);
    module.library = nullptr;
    module.entry = nullptr;
}

Failure apply_file(const LoadedModule& module, const Options& options, const BatchItem& item,
                   RunEvents& events, size_t file, FilterSummary& summary) {
    const std::string& output = item.output;
    FileSource source;
    if (!source.open(item.input)) return Failure{kExitBadInput, source.error};
    ReplacingSink sink;
    if (!sink.open(output)) return Failure{kExitWriteFailed, output + ": " + sink.error};

    RunRequest request = options.run;
    request.owner_window = module.owner_window;
    request.page = item.page.page;
    FileObserver observer(events, file);
    Failure failure;
    {
        MessageBoxCatch message_box;
        failure = filter_image(source, sink, module.entry, module.pipl, request, observer, summary);
        const CaughtMessageBox& box = message_box.finish();
        report_message_box(box, module.owner_window);
        if (failure.status == kExitRefused && box.caught) failure.message = refusal_line(box.text);
    }
    // OUT may be IN itself: the input is closed before the rename.
    source.close();
    if (failure.status == kExitDone && user_interrupted())
        failure = Failure{kExitCanceled, "stopped by Ctrl+C"};
    if (failure.status == kExitDone && !sink.commit())
        failure = Failure{kExitWriteFailed, output + ": " + sink.error};
    if (failure.status != kExitDone) sink.abandon();
    return failure;
}
