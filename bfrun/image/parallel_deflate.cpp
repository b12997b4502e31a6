#include "bfrun/image/parallel_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "bfrun/image/big_endian.h"

namespace {

// After a piece's own deflate stream: at most 5 bytes of empty stored block, or the 4 of the
// Adler-32.
constexpr size_t kTailRoom = 5;

// Ends a piece that libdeflate ended with a final block as a piece that goes on: the final
// bit of its last block cleared, then an empty stored block (3 bits of header, padding to the
// byte, a length of 0 and its complement). `z` inflates the piece (a raw inflater, reset
// here) to find that block; false unless the piece is `size` bytes once inflated.
bool continue_after(z_stream& z, std::vector<uint8_t>& scratch, uint8_t* deflated, size_t& length,
                    size_t size) {
    if (inflateReset(&z) != Z_OK) return false;
    z.next_in = deflated;
    z.avail_in = static_cast<uInt>(length);
    // Where the header of the block being inflated is: its byte, and the bit in it.
    size_t header = 0;
    int bit = 0;
    int unused = -1; // the bits after the final block in its last byte, once it has ended
    while (unused < 0) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        if (inflate(&z, Z_BLOCK) != Z_OK) return false;
        // 128: stopped at the end of a block; 64: that was the final block; the low 3 bits:
        // the bits of the last byte taken that are not yet read.
        if ((z.data_type & 128) == 0) continue;
        const int left = z.data_type & 7;
        if ((z.data_type & 64) != 0) {
            unused = left;
            break;
        }
        const size_t taken = static_cast<size_t>(z.next_in - deflated);
        header = left != 0 ? taken - 1 : taken;
        bit = left != 0 ? 8 - left : 0;
    }
    if (z.next_in != deflated + length || z.total_out != size) return false;
    deflated[header] = static_cast<uint8_t>(deflated[header] & ~(1u << bit));
    if (unused < 3) deflated[length++] = 0;
    const uint8_t stored[4] = {0, 0, 0xFF, 0xFF};
    std::memcpy(deflated + length, stored, sizeof stored);
    length += sizeof stored;
    return true;
}

} // namespace

ParallelDeflate::ParallelDeflate(int level, int threads, size_t piece_size, Emit emit)
    : level_(std::clamp(level, 1, 12)), piece_size_(std::max<size_t>(piece_size, 1)),
      emit_(std::move(emit)), adler_(adler32(0, Z_NULL, 0)) {
    threads = std::clamp(threads, 1, kMaxThreads);
    workers_.resize(static_cast<size_t>(threads));
    for (Worker& worker : workers_) {
        worker.compressor = libdeflate_alloc_compressor(level_);
        const int status = inflateInit2(&worker.inflater, -15);
        worker.inflater_ready = status == Z_OK;
        if (worker.compressor == nullptr || !worker.inflater_ready) {
            out_of_memory_ = worker.compressor == nullptr || status == Z_MEM_ERROR;
            fail("could not start compressing");
            return;
        }
        worker.scratch.resize(size_t{1} << 16);
    }
    const size_t output_size =
        2 + libdeflate_deflate_compress_bound(workers_[0].compressor, piece_size_) + kTailRoom;
    pieces_.resize(std::max<size_t>(2, 2 * workers_.size()));
    for (Piece& piece : pieces_) {
        piece.input.resize(piece_size_);
        piece.output.resize(output_size);
    }
    start_threads(threads);
}

ParallelDeflate::~ParallelDeflate() {
    {
        // Pieces still waiting are dropped: after finish() there are none.
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    for (Worker& worker : workers_) {
        libdeflate_free_compressor(worker.compressor); // harmless on nullptr
        if (worker.inflater_ready) inflateEnd(&worker.inflater);
    }
}

void ParallelDeflate::start_threads(int threads) {
    try {
        for (int i = 0; i < threads; ++i) {
            Worker& worker = workers_[static_cast<size_t>(i)];
            threads_.emplace_back([this, &worker] { run(worker); });
        }
    } catch (const std::system_error&) {
        // Fewer threads do the same work; none cannot.
        if (threads_.empty()) fail("cannot start a thread to compress on");
    }
}

bool ParallelDeflate::fail(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    if (error_.empty()) error_ = why;
    changed_.notify_all();
    return false;
}

void ParallelDeflate::run(Worker& worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || (taken_ < submitted_ && !failed_); });
        if (stopping_) return;
        Piece& next = piece(taken_++);
        lock.unlock();
        const bool compressed = compress(worker, next);
        lock.lock();
        next.done = true;
        if (!compressed) {
            failed_ = true;
            if (error_.empty()) error_ = "libdeflate could not compress the image data";
        }
        changed_.notify_all();
    }
}

bool ParallelDeflate::compress(Worker& worker, Piece& piece) {
    piece.adler = adler32(adler32(0, Z_NULL, 0), piece.input.data(), static_cast<uInt>(piece.size));
    uint8_t* out = piece.output.data() + 2;
    piece.deflated = libdeflate_deflate_compress(worker.compressor, piece.input.data(), piece.size,
                                                 out, piece.output.size() - 2 - kTailRoom);
    if (piece.deflated == 0) return false;
    return piece.last ||
           continue_after(worker.inflater, worker.scratch, out, piece.deflated, piece.size);
}

bool ParallelDeflate::healthy() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !failed_;
}

bool ParallelDeflate::write(const uint8_t* bytes, size_t size) {
    if (finished_) return fail("more data after the end of the stream");
    if (!healthy()) return false;
    while (size > 0) {
        // A full piece waits for more input before it goes: the last one is ended differently.
        if (piece(submitted_).size == piece_size_ && !submit(false)) return false;
        Piece& filling = piece(submitted_);
        const size_t count = std::min(size, piece_size_ - filling.size);
        std::memcpy(filling.input.data() + filling.size, bytes, count);
        filling.size += count;
        bytes += count;
        size -= count;
    }
    return true;
}

bool ParallelDeflate::finish() {
    if (finished_) return fail("the stream was already ended");
    finished_ = true;
    return healthy() && submit(true);
}

bool ParallelDeflate::submit(bool last) {
    Piece& full = piece(submitted_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        full.last = last;
        full.done = false;
        ++submitted_;
    }
    changed_.notify_all();
    // The next piece needs a free place in the ring; the last one waits for everything.
    if (!emit_finished(last ? 0 : pieces_.size() - 1)) return false;
    if (!last) piece(submitted_).size = 0;
    return true;
}

bool ParallelDeflate::emit_finished(uint64_t keep) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (!failed_ && emitted_ < submitted_ && piece(emitted_).done) {
            const uint64_t number = emitted_;
            lock.unlock();
            const bool written = emit(piece(number), number);
            lock.lock();
            if (!written) {
                failed_ = true;
                if (error_.empty()) error_ = "the compressed data could not be written";
                changed_.notify_all();
            }
            ++emitted_;
        }
        if (failed_) return false;
        if (submitted_ - emitted_ <= keep) return true;
        changed_.wait(lock);
    }
}

bool ParallelDeflate::emit(Piece& piece, uint64_t number) {
    uint8_t* start = piece.output.data() + 2;
    size_t size = piece.deflated;
    if (number == 0) {
        // The zlib header libdeflate itself writes: a 32 KiB window, no dictionary, the two
        // flag bits of the level, and the check bits that make the pair a multiple of 31.
        const unsigned level_flags = level_ < 2 ? 0 : level_ < 6 ? 1 : level_ < 8 ? 2 : 3;
        unsigned header = (0x78u << 8) | (level_flags << 6);
        header += 31 - header % 31;
        start -= 2;
        start[0] = static_cast<uint8_t>(header >> 8);
        start[1] = static_cast<uint8_t>(header);
        size += 2;
    }
    adler_ = adler32_combine(adler_, piece.adler, static_cast<z_off_t>(piece.size));
    if (piece.last) {
        put_big_endian32(start + size, static_cast<uint32_t>(adler_));
        size += 4;
    }
    return emit_(start, size);
}
