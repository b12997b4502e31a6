#include "bfrun/win32/batch_win32.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "bfrun/cli/batch_console.h"
#include "bfrun/win32/console_win32.h"
#include "bfrun/win32/process_info.h"
#include "bfrun/win32/utf8.h"

namespace {

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The console, drawn by this process; the workers' reading threads share it.
struct ConsoleEvents : RunEvents {
    ConsoleEvents(size_t files, bool live)
        : console(files, live, [](const std::string& text) {
              std::fputs(text.c_str(), stderr);
              std::fflush(stderr);
          }) {}
    void started(size_t file, const std::string& name) override {
        std::lock_guard<std::mutex> hold(lock);
        console.started(file, name, now_ms());
    }
    void progress(size_t file, int32_t done, int32_t total) override {
        std::lock_guard<std::mutex> hold(lock);
        console.progress(file, done, total, now_ms());
    }
    void line(const std::string& text) override {
        std::lock_guard<std::mutex> hold(lock);
        console.line(text, now_ms());
    }
    void finished(size_t file, ExitStatus status, bool ran) override {
        std::lock_guard<std::mutex> hold(lock);
        statuses.resize(std::max(statuses.size(), file + 1), kExitProtocolFault);
        statuses[file] = status;
        console.finished(file, status == kExitDone, ran, now_ms());
    }
    std::mutex lock;
    BatchConsole console;
    std::vector<int> statuses;
};

// A worker's events, a line each on its stdout for the parent; progress at most ten times a
// second, and always a file's last step.
struct PipeEvents : RunEvents {
    void send(const WorkerEvent& event) {
        std::fputs((worker_event_line(event) + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    void started(size_t file, const std::string&) override {
        send({WorkerEvent::start, file, 0, 0, ""});
    }
    void progress(size_t file, int32_t done, int32_t total) override {
        const int64_t now = now_ms();
        if (done < total && sent_ms != INT64_MIN && now - sent_ms < 100) return;
        sent_ms = now;
        send({WorkerEvent::rows, file, done, total, ""});
    }
    void line(const std::string& text) override { send({WorkerEvent::line, 0, 0, 0, text}); }
    void finished(size_t file, ExitStatus status, bool ran) override {
        send({WorkerEvent::end, file, status, ran ? 1 : 0, ""});
    }
    int64_t sent_ms = INT64_MIN;
};

// Each file in turn with the module loaded, or each failing as the loading did.
void run_here(const Options& options, const LoadedModule& module,
              const std::vector<BatchItem>& items, const Failure& load_failure, RunEvents& events) {
    for (size_t k = 0; k < items.size(); ++k) {
        const BatchItem& item = items[k];
        if (user_interrupted()) {
            events.finished(k, kExitCanceled, false);
            continue;
        }
        Failure result = load_failure.status != kExitDone ? load_failure : item.refused;
        FilterSummary summary;
        const auto started = std::chrono::steady_clock::now();
        const std::string name = item_name(item);
        events.started(k, name);
        if (result.status == kExitDone)
            result = apply_file(module, options, item, events, k, summary);
        for (const std::string& warning : summary.warnings)
            events.line(name + ": " + warning);
        // The level --paper auto chose, for a batch of the same paper to give as a number.
        if (summary.paper_auto && !options.quiet)
            events.line(name + ": " + paper_line(summary.paper));
        if (result.status != kExitDone)
            events.line(name + ": " + result.message);
        else if (!options.quiet)
            events.line(done_line(
                name, item.output, summary,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()));
        events.finished(k, result.status, true);
    }
}

std::wstring own_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

struct Worker {
    std::vector<size_t> share; // the batch's file numbers, in the worker's order
    HANDLE process = nullptr;
    HANDLE output = nullptr; // its stdout: its events, a line each
    std::vector<bool> reported;
};

bool start_worker(const Options& options, const std::vector<BatchItem>& items, int threads,
                  Worker& worker) {
    std::vector<BatchItem> share;
    for (size_t index : worker.share)
        share.push_back(items[index]);
    std::wstring command = L"\"" + own_path() + L"\"";
    for (const std::string& arg : worker_arguments(options.option_args, share, threads))
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

// A worker's events passed on to the console as they come, with its file numbers made the
// batch's; a file it never reported (it died) failed with status 10 and a line saying so.
void follow(Worker& worker, const std::vector<BatchItem>& items, ConsoleEvents& console) {
    worker.reported.assign(worker.share.size(), false);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (worker.output != nullptr &&
           ReadFile(worker.output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;
             pending.erase(0, end + 1)) {
            std::string text = pending.substr(0, end);
            if (!text.empty() && text.back() == '\r') text.pop_back();
            WorkerEvent event;
            const bool valid =
                parse_worker_event(text, event) &&
                (event.kind == WorkerEvent::line || event.file < worker.share.size());
            if (!valid) continue;
            const size_t file = event.kind == WorkerEvent::line ? 0 : worker.share[event.file];
            switch (event.kind) {
            case WorkerEvent::start:
                console.started(file, item_name(items[file]));
                break;
            case WorkerEvent::rows:
                console.progress(file, event.a, event.b);
                break;
            case WorkerEvent::line:
                console.line(event.text);
                break;
            case WorkerEvent::end:
                worker.reported[event.file] = true;
                console.finished(file, static_cast<ExitStatus>(std::clamp(event.a, 0, 255)),
                                 event.b != 0);
                break;
            }
        }
    }
    if (worker.output != nullptr) CloseHandle(worker.output);
    DWORD code = 1;
    if (worker.process != nullptr) {
        WaitForSingleObject(worker.process, INFINITE);
        GetExitCodeProcess(worker.process, &code);
        CloseHandle(worker.process);
    }
    for (size_t k = 0; k < worker.share.size(); ++k) {
        if (worker.reported[k]) continue;
        char why[96];
        (void)std::snprintf(why, sizeof why,
                            ": its worker ended without a result (exit code 0x%lX)",
                            static_cast<unsigned long>(code));
        console.line(item_name(items[worker.share[k]]) + why);
        console.finished(worker.share[k], kExitProtocolFault, true);
    }
}

} // namespace

int run_batch(const Options& options, LoadedModule& module, const std::vector<BatchItem>& items,
              bool summary) {
    if (options.worker) {
        PipeEvents parent;
        Failure failure;
        load_module_code(module, failure);
        run_here(options, module, items, failure, parent);
        unload_module_code(module);
        return kExitDone;
    }
    ConsoleEvents console(items.size(),
                          !options.quiet && (options.draw_progress || stderr_is_console()));
    console.console.set_input_files(static_cast<size_t>(std::count_if(
        items.begin(), items.end(), [](const BatchItem& item) { return item.page.page == 0; })));
    const int jobs = options.jobs > 0 ? options.jobs : processor_count();
    if (jobs == 1 || items.size() == 1) {
        Failure failure;
        load_module_code(module, failure);
        run_here(options, module, items, failure, console);
        unload_module_code(module);
    } else {
        // Refused files are reported here; the others are dealt out.
        std::vector<size_t> runnable;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].refused.status == kExitDone) {
                runnable.push_back(i);
                continue;
            }
            console.line(item_name(items[i]) + ": " + items[i].refused.message);
            console.finished(i, items[i].refused.status, true);
        }
        std::vector<Worker> workers;
        const std::vector<std::vector<size_t>> shares = share_out(runnable.size(), jobs);
        const int threads = worker_threads(options.run.threads, shares.size());
        for (const std::vector<size_t>& share : shares) {
            Worker worker;
            for (size_t k : share)
                worker.share.push_back(runnable[k]);
            if (!start_worker(options, items, threads, worker))
                console.line("cannot start a worker process (error " +
                             std::to_string(GetLastError()) + ")");
            workers.push_back(worker);
        }
        std::vector<std::thread> followers;
        followers.reserve(workers.size());
        for (Worker& worker : workers)
            followers.emplace_back(follow, std::ref(worker), std::cref(items), std::ref(console));
        for (std::thread& follower : followers)
            follower.join();
    }
    console.console.close();
    if (summary) report_line(console.console.summary());
    const std::vector<int>& statuses = console.statuses;
    return statuses.empty() ? kExitDone : *std::max_element(statuses.begin(), statuses.end());
}
