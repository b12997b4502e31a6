// The walk through a PNG stream: the same chunks, starts and sections wherever the stream is cut,
// an empty chunk going straight from its header to its CRC, and chunk types named as text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bfrun/image/chunk_walker.h"
#include "tests/bfrun/test_png.h"

namespace {

// Each chunk as "TYPE@START+LENGTH", and the bytes of each section, from a walk in pieces of
// `step` bytes at most.
struct Walk {
    std::vector<std::string> chunks;
    size_t section_bytes[4] = {};
    bool ended_between_chunks = false;
};

Walk walk(const std::vector<uint8_t>& file, size_t step) {
    Walk seen;
    ChunkWalker walker;
    for (size_t at = 0; at < file.size(); at += step) {
        const size_t size = std::min(step, file.size() - at);
        const uint8_t* bytes = file.data() + at;
        size_t left = size;
        while (left > 0) {
            const uint64_t start = walker.chunk_start();
            const ChunkPiece piece = walker.next(bytes, left);
            EXPECT_GT(piece.size, 0u);
            bytes += piece.size;
            left -= piece.size;
            seen.section_bytes[static_cast<int>(piece.section)] += piece.size;
            if (piece.section == ChunkSection::header && piece.section_ends)
                seen.chunks.push_back(chunk_type_name(walker.type()) + "@" + std::to_string(start) +
                                      "+" + std::to_string(walker.length()));
        }
    }
    seen.ended_between_chunks = walker.between_chunks();
    return seen;
}

} // namespace

TEST(ChunkWalker, TheSameChunksWhereverTheStreamIsCut) {
    TestPng image = random_test_png(3, 2, 4, 8, 1);
    const std::vector<uint8_t> file = encode_test_png(image);
    const size_t idat = chunk_at(file, "IDAT"), iend = chunk_at(file, "IEND");
    const uint32_t idat_length = chunk_length(file, idat);
    const std::vector<std::string> chunks = {
        "IHDR@8+13", "IDAT@" + std::to_string(idat) + "+" + std::to_string(idat_length),
        "IEND@" + std::to_string(iend) + "+0"};
    for (size_t step : {size_t{1}, size_t{3}, size_t{8}, size_t{13}, file.size()}) {
        const Walk seen = walk(file, step);
        EXPECT_EQ(seen.chunks, chunks) << step;
        EXPECT_EQ(seen.section_bytes[static_cast<int>(ChunkSection::signature)], 8u) << step;
        EXPECT_EQ(seen.section_bytes[static_cast<int>(ChunkSection::header)], 3 * 8u) << step;
        EXPECT_EQ(seen.section_bytes[static_cast<int>(ChunkSection::data)], 13u + idat_length)
            << step;
        EXPECT_EQ(seen.section_bytes[static_cast<int>(ChunkSection::crc)], 3 * 4u) << step;
        EXPECT_TRUE(seen.ended_between_chunks) << step;
    }
    // Cut inside IEND's CRC: not between chunks.
    const std::vector<uint8_t> cut(file.begin(), file.end() - 1);
    EXPECT_FALSE(walk(cut, 5).ended_between_chunks);
}

TEST(ChunkWalker, ChunkTypesAreNamedAsLettersOrInHex) {
    EXPECT_EQ(chunk_type_name("eXIf"), "eXIf");
    EXPECT_EQ(chunk_type_name("IDA\x01"), "0x49444101");
    EXPECT_EQ(chunk_type_name("ab1d"), "0x61623164");
}
