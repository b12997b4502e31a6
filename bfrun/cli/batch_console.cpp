#include "bfrun/cli/batch_console.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "bfrun/cli/printable_line.h"

namespace {

constexpr size_t kColumns = 79;

std::string percent_of(int32_t done, int32_t total) {
    const int64_t shown_total = std::max<int64_t>(total, 1);
    return std::to_string(std::clamp<int64_t>(done, 0, shown_total) * 100 / shown_total) + "%";
}

} // namespace

std::string progress_bar(int32_t done, int32_t total, int width) {
    const int64_t shown_total = std::max<int64_t>(total, 1);
    const int64_t shown_done = std::clamp<int64_t>(done, 0, shown_total);
    const int64_t filled = shown_done * width / shown_total;
    std::string bar = "[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    bar += "] ";
    const std::string percent = percent_of(done, total);
    bar.append(4 - std::min<size_t>(4, percent.size()), ' ');
    return bar + percent + " (" + std::to_string(done) + "/" + std::to_string(total) + ")";
}

BatchConsole::BatchConsole(size_t files, bool live, std::function<void(const std::string&)> write)
    : files_(files), live_(live), write_(std::move(write)) {}

std::string BatchConsole::status() const {
    std::string text;
    if (files_ == 1) {
        if (!in_hand_.empty()) text = progress_bar(in_hand_[0].done, in_hand_[0].total, 30);
    } else {
        text = std::to_string(done_ + failed_ + not_started_) + "/" + std::to_string(files_) +
               " files";
        for (const InHand& file : in_hand_)
            text += " | " + file.name + " " + percent_of(file.done, file.total);
    }
    if (text.size() > kColumns) text.replace(kColumns - 3, std::string::npos, "...");
    return text;
}

void BatchConsole::clear() {
    if (shown_ == 0) return;
    write_("\r" + std::string(shown_, ' ') + "\r");
    shown_ = 0;
}

void BatchConsole::redraw(int64_t now_ms) {
    if (!live_ || (drawn_ms_ != INT64_MIN && now_ms - drawn_ms_ < 100)) return;
    drawn_ms_ = now_ms;
    const std::string text = printable_line(status());
    if (text.empty() && shown_ == 0) return;
    // Spaces over what is left of a longer line before it.
    write_("\r" + text + std::string(shown_ > text.size() ? shown_ - text.size() : 0, ' ') + "\r");
    shown_ = std::max(shown_, text.size());
}

void BatchConsole::started(size_t file, const std::string& name, int64_t now_ms) {
    const size_t slash = name.find_last_of("/\\");
    in_hand_.push_back({file, slash == std::string::npos ? name : name.substr(slash + 1)});
    redraw(now_ms);
}

void BatchConsole::progress(size_t file, int32_t done, int32_t total, int64_t now_ms) {
    for (InHand& in_hand : in_hand_)
        if (in_hand.file == file) {
            in_hand.done = done;
            in_hand.total = total;
        }
    redraw(now_ms);
}

void BatchConsole::line(const std::string& text, int64_t now_ms) {
    clear();
    write_("bfrun: " + printable_line(text) + "\n");
    drawn_ms_ = INT64_MIN; // the progress line comes back at once
    redraw(now_ms);
}

void BatchConsole::finished(size_t file, bool succeeded, bool ran, int64_t now_ms) {
    in_hand_.erase(std::remove_if(in_hand_.begin(), in_hand_.end(),
                                  [file](const InHand& f) { return f.file == file; }),
                   in_hand_.end());
    ++(succeeded ? done_ : ran ? failed_ : not_started_);
    redraw(now_ms);
}

void BatchConsole::close() {
    clear();
}

std::string BatchConsole::summary() const {
    const size_t files = done_ + failed_ + not_started_;
    std::string text = std::to_string(files) + (files == 1 ? " file: " : " files: ");
    if (input_files_ != 0 && input_files_ != files)
        text = std::to_string(files) + " images from " + std::to_string(input_files_) +
               (input_files_ == 1 ? " file: " : " files: ");
    text += std::to_string(done_) + " done, " + std::to_string(failed_) + " failed";
    if (not_started_ > 0) text += ", " + std::to_string(not_started_) + " not started";
    return text;
}

std::string worker_event_line(const WorkerEvent& event) {
    const std::string k = std::to_string(event.file);
    switch (event.kind) {
    case WorkerEvent::start:
        return "start " + k;
    case WorkerEvent::rows:
        return "rows " + k + " " + std::to_string(event.a) + " " + std::to_string(event.b);
    case WorkerEvent::end:
        return "end " + k + " " + std::to_string(event.a) + " " + std::to_string(event.b);
    case WorkerEvent::line:
        break;
    }
    return "line " + printable_line(event.text);
}

bool parse_worker_event(const std::string& line, WorkerEvent& event) {
    event = WorkerEvent{};
    if (line.compare(0, 5, "line ") == 0) {
        event.text = line.substr(5);
        return true;
    }
    const char* names[] = {"start ", "rows ", "end "};
    const WorkerEvent::Kind kinds[] = {WorkerEvent::start, WorkerEvent::rows, WorkerEvent::end};
    const int numbers[] = {1, 3, 3};
    for (int i = 0; i < 3; ++i) {
        const std::string name = names[i];
        if (line.compare(0, name.size(), name) != 0) continue;
        event.kind = kinds[i];
        long long values[3] = {};
        const char* at = line.c_str() + name.size();
        for (int n = 0; n < numbers[i]; ++n) {
            char* end = nullptr;
            errno = 0;
            values[n] = std::strtoll(at, &end, 10);
            if (end == at || errno != 0 || values[n] < INT32_MIN || values[n] > INT32_MAX ||
                (n == 0 && values[n] < 0))
                return false;
            at = end;
        }
        if (*at != '\0') return false;
        event.file = static_cast<size_t>(values[0]);
        event.a = static_cast<int32_t>(values[1]);
        event.b = static_cast<int32_t>(values[2]);
        return true;
    }
    return false;
}
