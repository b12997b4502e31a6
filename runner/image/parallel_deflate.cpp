#include "runner/image/parallel_deflate.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "runner/image/big_endian.h"

namespace {

// zlib's window: each piece is primed with this much of the input before it.
constexpr size_t kWindow = size_t{1} << 15;
// Room for the empty stored block that Z_SYNC_FLUSH adds after what deflateBound() counts.
constexpr size_t kFlushRoom = 64;

} // namespace

ParallelDeflate::ParallelDeflate(int level, int threads, size_t piece_size, Emit emit)
    : level_(level), piece_size_(std::max<size_t>(piece_size, 1)), emit_(std::move(emit)),
      adler_(adler32(0, Z_NULL, 0)) {
    threads = std::clamp(threads, 1, kMaxThreads);
    streams_.resize(static_cast<size_t>(threads));
    for (z_stream& stream : streams_) {
        const int status = deflateInit2(&stream, level_, Z_DEFLATED, -15, 8, Z_FILTERED);
        if (status != Z_OK) {
            out_of_memory_ = status == Z_MEM_ERROR;
            fail("zlib could not start compressing");
            return;
        }
    }
    const size_t output_size =
        2 + deflateBound(&streams_[0], static_cast<uLong>(piece_size_)) + kFlushRoom + 4;
    pieces_.resize(std::max<size_t>(2, 2 * streams_.size()));
    for (Piece& piece : pieces_) {
        piece.input.resize(kWindow + piece_size_);
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
    for (z_stream& stream : streams_)
        deflateEnd(&stream); // harmless on a stream that never started
}

void ParallelDeflate::start_threads(int threads) {
    try {
        for (int i = 0; i < threads; ++i) {
            z_stream& stream = streams_[static_cast<size_t>(i)];
            threads_.emplace_back([this, &stream] { run(stream); });
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

void ParallelDeflate::run(z_stream& stream) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || (taken_ < submitted_ && !failed_); });
        if (stopping_) return;
        Piece& next = piece(taken_++);
        lock.unlock();
        const bool compressed = compress(stream, next);
        lock.lock();
        next.done = true;
        if (!compressed) {
            failed_ = true;
            if (error_.empty()) error_ = "zlib could not compress the image data";
        }
        changed_.notify_all();
    }
}

bool ParallelDeflate::compress(z_stream& stream, Piece& piece) {
    const uint8_t* data = piece.input.data() + piece.primer;
    piece.adler = adler32(adler32(0, Z_NULL, 0), data, static_cast<uInt>(piece.size));
    int status = deflateReset(&stream);
    if (status == Z_OK && piece.primer > 0)
        status = deflateSetDictionary(&stream, piece.input.data(), static_cast<uInt>(piece.primer));
    // zlib takes its input as a mutable pointer but only reads it.
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(piece.size);
    const size_t room = piece.output.size() - 6;
    stream.next_out = piece.output.data() + 2;
    stream.avail_out = static_cast<uInt>(room);
    if (status == Z_OK) status = deflate(&stream, piece.last ? Z_FINISH : Z_SYNC_FLUSH);
    piece.deflated = room - stream.avail_out;
    // A flush is complete only with output room left over.
    if (piece.last) return status == Z_STREAM_END;
    return status == Z_OK && stream.avail_in == 0 && stream.avail_out > 0;
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
        std::memcpy(filling.input.data() + filling.primer + filling.size, bytes, count);
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
    if (last) return true;
    Piece& next = piece(submitted_);
    const size_t held = full.primer + full.size;
    next.primer = std::min(kWindow, held);
    std::memcpy(next.input.data(), full.input.data() + held - next.primer, next.primer);
    next.size = 0;
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
        // The zlib header zlib itself would write: a 32 KiB window, no dictionary, the level's
        // two flag bits, and the check bits that make the pair a multiple of 31.
        const unsigned level_flags = level_ < 2 ? 0 : level_ < 6 ? 1 : level_ == 6 ? 2 : 3;
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
