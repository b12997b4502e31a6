#include "bfrun/job/row_queue.h"

#include <cstring>

RowQueue::RowQueue(size_t row_bytes, size_t capacity, std::function<bool(const uint8_t*)> write)
    : row_bytes_(row_bytes), write_(std::move(write)),
      slots_(capacity, std::vector<uint8_t>(row_bytes)) {
    thread_ = std::thread([this] { run(); });
}

RowQueue::~RowQueue() {
    {
        // Rows still waiting are dropped: after finish() there are none.
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        failed_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool RowQueue::push(const uint8_t* row) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || count_ < slots_.size(); });
    if (failed_) return false;
    std::memcpy(slots_[(head_ + count_) % slots_.size()].data(), row, row_bytes_);
    ++count_;
    changed_.notify_all();
    return true;
}

bool RowQueue::finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || (count_ == 0 && !busy_); });
    return !failed_;
}

void RowQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || (count_ > 0 && !failed_); });
        if (count_ == 0 || failed_) return; // closing
        busy_ = true;
        std::vector<uint8_t>& row = slots_[head_];
        lock.unlock();
        const bool written = write_(row.data());
        lock.lock();
        busy_ = false;
        head_ = (head_ + 1) % slots_.size();
        --count_;
        if (!written) failed_ = true;
        changed_.notify_all();
    }
}
