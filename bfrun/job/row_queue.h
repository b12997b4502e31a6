// Finished rows handed to a thread of their own, which writes them (libspng filters each row;
// the compressing threads behind the writer take it from there) while the module works on the
// next bands. The queue holds a bounded number of rows, so memory stays bounded by the band.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class RowQueue {
  public:
    // `write` runs on the queue's thread, one row at a time, top to bottom; once it returns
    // false no more rows are written.
    RowQueue(size_t row_bytes, size_t capacity, std::function<bool(const uint8_t*)> write);
    ~RowQueue();
    RowQueue(const RowQueue&) = delete;
    RowQueue& operator=(const RowQueue&) = delete;

    // Copies the row in; false once a write failed.
    bool push(const uint8_t* row);
    // Waits until every row pushed is written; false if a write failed.
    bool finish();

  private:
    void run();

    size_t row_bytes_;
    std::function<bool(const uint8_t*)> write_;
    std::vector<std::vector<uint8_t>> slots_;
    size_t head_ = 0, count_ = 0; // the oldest row waiting, and how many wait
    bool closing_ = false, failed_ = false, busy_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};
