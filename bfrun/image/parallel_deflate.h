// One zlib stream compressed on several threads: the input is cut into pieces of a fixed size,
// each deflated on its own by libdeflate, and the pieces are put out in order under a zlib
// header, followed by the Adler-32 of the whole, which zlib combines from the pieces' own. A
// piece starts with an empty window (no reference back into the piece before it: at a
// megabyte a piece that costs a few hundred bytes each). libdeflate ends every piece with a
// final block; in each piece but the last, zlib's inflate (stopping at every block boundary)
// finds that block's header, checking on the way that the piece inflates back to its input,
// and its final bit is cleared; an empty stored block then ends the piece on a byte boundary.
// The bytes depend only on the input, the level and the piece size, never on the number of
// threads or their timing. A few pieces are held at a time, whatever the size of the input.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

struct libdeflate_compressor;

class ParallelDeflate {
  public:
    // Receives the stream, in order, on the thread that calls write() and finish(): one call
    // a piece, the first with the zlib header in front, the last with the checksum after it.
    // Once it returns false nothing more is compressed.
    using Emit = std::function<bool(const uint8_t* bytes, size_t size)>;

    // libdeflate's level 1..12; `threads` is clamped to 1..kMaxThreads.
    ParallelDeflate(int level, int threads, size_t piece_size, Emit emit);
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // The next bytes of the input. False once anything failed.
    bool write(const uint8_t* bytes, size_t size);
    // After the last byte: compresses what is left and puts out the end of the stream.
    bool finish();

    // Why write() or finish() failed; out_of_memory() when libdeflate or zlib could not get
    // its state.
    const std::string& error() const { return error_; }
    bool out_of_memory() const { return out_of_memory_; }

    // Each thread holds about two pieces; more threads than this would only wait on the one
    // thread that feeds them.
    static constexpr int kMaxThreads = 16;

  private:
    struct Piece {
        std::vector<uint8_t> input;
        size_t size = 0;
        std::vector<uint8_t> output; // 2 bytes kept for the header, the deflated piece, 9 more
        size_t deflated = 0;
        uLong adler = 0;
        bool last = false, done = false;
    };
    // A thread's compressor, and the inflater that finds the final block of its pieces.
    struct Worker {
        libdeflate_compressor* compressor = nullptr;
        z_stream inflater{};
        bool inflater_ready = false;
        std::vector<uint8_t> scratch;
    };

    Piece& piece(uint64_t number) { return pieces_[number % pieces_.size()]; }
    void start_threads(int threads);
    void run(Worker& worker);
    bool compress(Worker& worker, Piece& piece);
    bool submit(bool last);
    bool emit_finished(uint64_t keep);
    bool emit(Piece& piece, uint64_t number);
    bool fail(const std::string& why);
    bool healthy();

    const int level_;
    const size_t piece_size_;
    Emit emit_;
    std::vector<Piece> pieces_; // a ring: the piece being filled and those not yet put out
    std::vector<Worker> workers_;
    std::vector<std::thread> threads_;
    uLong adler_;
    bool finished_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t submitted_ = 0, taken_ = 0, emitted_ = 0; // counts of pieces, under the mutex
    bool stopping_ = false, failed_ = false;
    std::string error_;
    bool out_of_memory_ = false;
};
