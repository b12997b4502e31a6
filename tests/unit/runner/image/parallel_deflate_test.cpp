// The image data compressed in pieces on several threads: zlib inflates the stream back to its
// input with a matching Adler-32 at every length around the piece boundaries, each piece is
// primed with the input before it, and the bytes do not depend on the number of threads.
#include <gtest/gtest.h>

#include <random>

#include <zlib.h>

#include "runner/image/parallel_deflate.h"

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

TEST(ParallelDeflate, EachPieceIsPrimedWithTheInputBeforeIt) {
    // 20 KiB of random bytes ten times over, in pieces of 64 KiB: only the primed window lets
    // a piece refer back to the copy before it.
    std::mt19937 random(3);
    std::vector<uint8_t> block(20 << 10), input;
    for (uint8_t& b : block)
        b = static_cast<uint8_t>(random());
    for (int i = 0; i < 10; ++i)
        input.insert(input.end(), block.begin(), block.end());
    const Compressed out = compress(input, 6, 3, 64 << 10, input.size());
    ASSERT_TRUE(out.ok);
    EXPECT_TRUE(inflates_to(out.bytes, input));
    EXPECT_LT(out.bytes.size(), block.size() + 2048);
}

TEST(ParallelDeflate, TheBytesDependOnTheInputAndLevelNotOnThreadsOrWrites) {
    const std::vector<uint8_t> input = text_like(300000, 9);
    for (int level : {1, 4, 6, 9}) {
        const Compressed one = compress(input, level, 1, 65536, input.size());
        ASSERT_TRUE(one.ok);
        for (int threads : {2, 3}) {
            const Compressed many = compress(input, level, threads, 65536, 777);
            EXPECT_EQ(many.bytes, one.bytes) << "level " << level << ", " << threads << " threads";
        }
        // The header zlib itself writes at this level.
        std::vector<uint8_t> reference(compressBound(10));
        uLongf size = reference.size();
        ASSERT_EQ(compress2(reference.data(), &size, input.data(), 10, level), Z_OK);
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
