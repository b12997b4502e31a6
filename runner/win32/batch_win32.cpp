#include "runner/win32/batch_win32.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "runner/cli/batch.h"
#include "runner/win32/console_win32.h"
#include "runner/win32/process_info.h"
#include "runner/win32/utf8.h"
#include "runner/win32/windows_files.h"

namespace {

// Each file in turn, with the module loaded, or each failing as the loading did; a worker also
// tells its parent each file's status, one line each on stdout.
std::vector<int> run_here(const Options& options, const LoadedModule& module,
                          const std::vector<BatchItem>& items, const Failure& load_failure) {
    std::vector<int> statuses;
    for (const BatchItem& item : items) {
        Failure result = item.refused;
        FilterSummary summary;
        const auto started = std::chrono::steady_clock::now();
        if (load_failure.status != kExitDone)
            result = load_failure;
        else if (user_interrupted())
            result = Failure{kExitCanceled, "not started: stopped by Ctrl+C"};
        else if (result.status == kExitDone)
            result = apply_file(module, options, item.input, item.output, summary);
        if (result.status == kExitDone)
            report_done(
                options, item.input, item.output, summary,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        else
            report_line(item.input + ": " + result.message);
        statuses.push_back(result.status);
        if (options.worker) {
            std::printf("%d\n", result.status);
            std::fflush(stdout);
        }
    }
    return statuses;
}

std::wstring own_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

struct Worker {
    std::vector<size_t> share;
    HANDLE process = nullptr;
    HANDLE output = nullptr; // its stdout: a status a line
};

bool start_worker(const Options& options, const std::vector<BatchItem>& items, int threads,
                  Worker& worker) {
    std::vector<std::string> inputs;
    for (size_t index : worker.share)
        inputs.push_back(items[index].input);
    std::wstring command = L"\"" + own_path() + L"\"";
    for (const std::string& arg : worker_arguments(options.option_args, inputs, threads))
        command += L" " + widen_utf8(quote_argument(arg));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 1 << 16)) return false;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return false;
    }
    CloseHandle(process.hThread);
    worker.process = process.hProcess;
    worker.output = read_end;
    return true;
}

// The statuses a worker reported, in the order of its share; a file it never reported (it
// did not start, or it died) failed with status 10 and a line that says so.
void collect(Worker& worker, const std::vector<BatchItem>& items, std::vector<int>& statuses) {
    std::string text;
    if (worker.output != nullptr) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(worker.output, buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        CloseHandle(worker.output);
    }
    DWORD code = 1;
    if (worker.process != nullptr) {
        WaitForSingleObject(worker.process, INFINITE);
        GetExitCodeProcess(worker.process, &code);
        CloseHandle(worker.process);
    }
    size_t at = 0;
    for (size_t index : worker.share) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            char why[96];
            (void)std::snprintf(why, sizeof why,
                                ": its worker ended without a result (exit code 0x%lX)",
                                static_cast<unsigned long>(code));
            report_line(items[index].input + why);
            statuses[index] = kExitProtocolFault;
            continue;
        }
        // A worker's line is its file's exit status (its stdout is in text mode, so the line
        // may end in CR); anything else is the worker's fault.
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        char* after = nullptr;
        const long status = std::strtol(line.c_str(), &after, 10);
        const bool valid = after != line.c_str() && *after == '\0' && status >= 0 && status <= 255;
        statuses[index] = valid ? static_cast<int>(status) : kExitProtocolFault;
        at = end + 1;
    }
}

} // namespace

int run_batch(const Options& options, LoadedModule& module) {
    std::vector<BatchItem> items = plan_batch(options.inputs, options.directory, same_file);
    std::vector<int> statuses(items.size(), kExitDone);
    const int jobs = options.jobs > 0 ? options.jobs : processor_count();
    if (options.worker || jobs == 1 || items.size() == 1) {
        Failure failure;
        load_module_code(module, failure);
        statuses = run_here(options, module, items, failure);
        unload_module_code(module);
    } else {
        // Refused files are reported here; the others are dealt out.
        std::vector<size_t> runnable;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].refused.status == kExitDone) {
                runnable.push_back(i);
                continue;
            }
            report_line(items[i].input + ": " + items[i].refused.message);
            statuses[i] = items[i].refused.status;
        }
        std::vector<Worker> workers;
        const std::vector<std::vector<size_t>> shares = share_out(runnable.size(), jobs);
        const int threads = worker_threads(options.run.threads, shares.size());
        for (const std::vector<size_t>& share : shares) {
            Worker worker;
            for (size_t k : share)
                worker.share.push_back(runnable[k]);
            if (!start_worker(options, items, threads, worker))
                report_line("cannot start a worker process (error " +
                            std::to_string(GetLastError()) + ")");
            workers.push_back(worker);
        }
        for (Worker& worker : workers)
            collect(worker, items, statuses);
    }
    const size_t done = static_cast<size_t>(std::count(statuses.begin(), statuses.end(), 0));
    if (!options.worker) report_line(batch_summary(done, statuses.size() - done));
    return statuses.empty() ? kExitDone : *std::max_element(statuses.begin(), statuses.end());
}

int apply_one(const Options& options, LoadedModule& module) {
    Failure failure;
    if (!load_module_code(module, failure)) {
        report_line(failure.message);
        return failure.status;
    }
    BatchItem item;
    item.input = options.inputs[0];
    item.output = options.output;
    const std::vector<int> statuses = run_here(options, module, {item}, Failure{});
    unload_module_code(module);
    return statuses[0];
}
