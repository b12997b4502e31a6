// The image data compressed in pieces by libdeflate on several threads: zlib inflates the stream
// back to its input with a matching Adler-32 at every length around the piece boundaries,
// whatever way each piece's final block ends (compressed blocks ending at any bit, stored
// blocks), and the bytes do not depend on the number of threads.
#include <gtest/gtest.h>

#include <random>

#include <libdeflate.h>
#include <zlib.h>

#include "bfrun/image/parallel_deflate.h"

namespace {

struct Compressed {
    std::vector<uint8_t> bytes;
    size_t calls = 0;
    bool ok = false;
};

// `step` bytes a write() call.
Compressed compress(const std::vector<uint8_t>& input, int level, int threads, size_t piece_size,
                    size_t step) {
    Compressed out;
    ParallelDeflate deflate(level, threads, piece_size, [&out](const uint8_t* bytes, size_t size) {
        out.bytes.insert(out.bytes.end(), bytes, bytes + size);
        ++out.calls;
        return true;
    });
    out.ok = true;
    for (size_t at = 0; at < input.size() && out.ok; at += step)
        out.ok = deflate.write(input.data() + at, std::min(step, input.size() - at));
    out.ok = out.ok && deflate.finish();
    return out;
}

// zlib's inflate, which checks the Adler-32; the stream must end at its last byte.
bool inflates_to(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& want) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    std::vector<uint8_t> got(want.size() + 1);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = got.data();
    z.avail_out = static_cast<uInt>(got.size());
    const int status = inflate(&z, Z_FINISH);
    const bool ended =
        status == Z_STREAM_END && z.avail_in == 0 &&
        z.adler == adler32(adler32(0, Z_NULL, 0), want.data(), static_cast<uInt>(want.size()));
    got.resize(got.size() - z.avail_out);
    inflateEnd(&z);
    return ended && got == want;
}

// Bytes from a small alphabet: they compress, but not to nothing.
std::vector<uint8_t> text_like(size_t size, uint32_t random_start) {
    std::mt19937 random(random_start);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>('a' + random() % 12);
    return bytes;
}

} // namespace

TEST(ParallelDeflate, EveryLengthAroundThePiecesInflatesBackWithItsAdler32) {
    for (size_t piece : {size_t{1000}, size_t{70000}}) {
        const std::vector<uint8_t> data = text_like(5 * piece + 123, 5);
        for (size_t size : {size_t{0}, size_t{1}, piece - 1, piece, piece + 1, 5 * piece + 123}) {
            const std::vector<uint8_t> input(data.begin(), data.begin() + size);
            const Compressed out = compress(input, 6, 2, piece, 4096);
            ASSERT_TRUE(out.ok);
            EXPECT_TRUE(inflates_to(out.bytes, input)) << size << " bytes in pieces of " << piece;
            // One call a piece, and an empty input still makes one stream.
            EXPECT_EQ(out.calls, std::max<size_t>(1, (size + piece - 1) / piece)) << size;
        }
    }
}

TEST(ParallelDeflate, PiecesJoinWhateverTheirLastBlock) {
    // Random bytes end a piece in a stored block; text ends it in a compressed block, at a bit
    // that changes with the length; a long piece of text is several blocks, the last of them
    // the one to continue after. Short pieces at every level, as each parses its own way.
    std::mt19937 random(11);
    for (int level = 1; level <= 12; ++level) {
        for (size_t piece : {size_t{5000}, size_t{4099}, size_t{350000}}) {
            if (piece > 5000 && level % 3 != 0) continue; // levels 3, 6, 9 and 12 are enough
            std::vector<uint8_t> input = text_like(3 * piece + 17, static_cast<uint32_t>(level));
            for (size_t at = piece; at < 2 * piece; ++at) // the second piece incompressible
                input[at] = static_cast<uint8_t>(random());
            const Compressed out = compress(input, level, 2, piece, piece / 3 + 1);
            ASSERT_TRUE(out.ok);
            EXPECT_TRUE(inflates_to(out.bytes, input)) << "level " << level << ", " << piece;
        }
    }
    for (size_t size = 1; size <= 64; ++size) { // the final block ending at every bit
        const std::vector<uint8_t> input = text_like(3 * size, static_cast<uint32_t>(size));
        const Compressed out = compress(input, 6, 1, size, 1);
        ASSERT_TRUE(out.ok);
        EXPECT_TRUE(inflates_to(out.bytes, input)) << size;
    }
}

TEST(ParallelDeflate, EachPieceCostsOnlyAFewHundredBytes) {
    // 20 KiB of random bytes ten times over: one piece refers back to the copies before it,
    // pieces of 64 KiB cannot look into the piece before, so each holds its first copy whole.
    std::mt19937 random(3);
    std::vector<uint8_t> block(20 << 10), input;
    for (uint8_t& b : block)
        b = static_cast<uint8_t>(random());
    for (int i = 0; i < 10; ++i)
        input.insert(input.end(), block.begin(), block.end());
    const Compressed whole = compress(input, 6, 1, input.size(), input.size());
    ASSERT_TRUE(whole.ok);
    EXPECT_TRUE(inflates_to(whole.bytes, input));
    EXPECT_LT(whole.bytes.size(), block.size() + 2048);
    const Compressed pieces = compress(input, 6, 3, 64 << 10, input.size());
    ASSERT_TRUE(pieces.ok);
    EXPECT_TRUE(inflates_to(pieces.bytes, input));
    EXPECT_LT(pieces.bytes.size(), 4 * (block.size() + 2048));
}

TEST(ParallelDeflate, TheBytesDependOnTheInputAndLevelNotOnThreadsOrWrites) {
    const std::vector<uint8_t> input = text_like(300000, 9);
    for (int level : {1, 4, 6, 7, 9, 12}) {
        const Compressed one = compress(input, level, 1, 65536, input.size());
        ASSERT_TRUE(one.ok);
        for (int threads : {2, 3}) {
            const Compressed many = compress(input, level, threads, 65536, 777);
            EXPECT_EQ(many.bytes, one.bytes) << "level " << level << ", " << threads << " threads";
        }
        // The header libdeflate itself writes at this level.
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
        ASSERT_NE(compressor, nullptr);
        std::vector<uint8_t> reference(libdeflate_zlib_compress_bound(compressor, 10));
        const size_t size = libdeflate_zlib_compress(compressor, input.data(), 10, reference.data(),
                                                     reference.size());
        libdeflate_free_compressor(compressor);
        ASSERT_GT(size, 2u);
        EXPECT_EQ(one.bytes[0], reference[0]);
        EXPECT_EQ(one.bytes[1], reference[1]) << "level " << level;
    }
}

TEST(ParallelDeflate, AFailedEmitStopsTheStream) {
    const std::vector<uint8_t> input = text_like(10000, 2);
    size_t calls = 0;
    ParallelDeflate deflate(6, 2, 1000, [&calls](const uint8_t*, size_t) { return ++calls < 3; });
    bool ok = deflate.write(input.data(), input.size());
    ok = ok && deflate.finish();
    EXPECT_FALSE(ok);
    EXPECT_EQ(calls, 3u);
    EXPECT_FALSE(deflate.error().empty());
    EXPECT_FALSE(deflate.write(input.data(), 1));
}
