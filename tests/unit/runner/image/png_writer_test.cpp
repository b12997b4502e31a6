// The PNG writer: rows read back as written at every layout and level, the threads change no
// byte, and a sink that fails gives its own error wherever it fails.
#include <gtest/gtest.h>

#include "runner/image/png_writer.h"
#include "tests/unit/runner/test_png.h"

TEST(PngWriter, RowsRoundTripAtEveryLayoutAndTheLevelIsApplied) {
    for (int channels : {2, 4})
        for (int bits : {8, 16}) {
            const TestPng image = random_test_png(17, 9, channels, bits, 3);
            const size_t row_bytes = size_t{17} * channels * bits / 8;
            std::vector<size_t> sizes;
            for (int level : {0, 9}) {
                MemorySink sink;
                PngWriter writer(sink);
                ImageError failure;
                ASSERT_TRUE(writer.start(17, 9, channels, bits, level, 2, failure));
                for (size_t y = 0; y < 9; ++y)
                    ASSERT_TRUE(writer.write_row(image.samples.data() + y * row_bytes, failure));
                EXPECT_TRUE(writer.complete());
                std::vector<uint8_t> samples;
                EXPECT_EQ(read_test_png(sink.bytes, &samples).kind, ImageErrorKind::none);
                EXPECT_EQ(samples, image.samples) << channels << " channels, " << bits;
                sizes.push_back(sink.bytes.size());
            }
            EXPECT_GT(sizes[0], sizes[1]); // level 0 stores, level 9 compresses
        }
}

namespace {

// Fails the write that would take it past `limit` bytes.
struct FullDisk : ByteSink {
    explicit FullDisk(size_t limit) : limit(limit) {}
    bool write(const uint8_t* from, size_t size) override {
        if (bytes.size() + size > limit) {
            error = "disk full";
            return false;
        }
        bytes.insert(bytes.end(), from, from + size);
        return true;
    }
    bool restart() override { return false; }
    size_t limit;
    std::vector<uint8_t> bytes;
};

ImageError write_png(ByteSink& sink, const TestPng& image, int channels, int threads) {
    const size_t row_bytes = size_t{image.width} * channels * image.bit_depth / 8;
    PngWriter writer(sink);
    ImageError failure;
    if (!writer.start(image.width, image.height, channels, image.bit_depth, 6, threads, failure))
        return failure;
    for (size_t y = 0; y < image.height; ++y)
        if (!writer.write_row(image.samples.data() + y * row_bytes, failure)) return failure;
    if (!writer.complete()) return ImageError{ImageErrorKind::write_failed, "incomplete"};
    return failure;
}

} // namespace

TEST(PngWriter, ImagesOfSeveralPiecesReadBackAndTheThreadsChangeNoByte) {
    for (int channels : {2, 4})
        for (int bits : {8, 16}) {
            // Just over 512 KiB of filtered rows: a whole piece and a short one.
            const TestPng image =
                random_test_png(600, 900 / (channels * bits / 8), channels, bits, 5);
            MemorySink one, three;
            ASSERT_EQ(write_png(one, image, channels, 1).kind, ImageErrorKind::none);
            ASSERT_EQ(write_png(three, image, channels, 3).kind, ImageErrorKind::none);
            EXPECT_EQ(one.bytes, three.bytes) << channels << " channels, " << bits;
            EXPECT_NE(chunk_at(three.bytes, "IDAT", 1), 0u);
            std::vector<uint8_t> samples;
            EXPECT_EQ(read_test_png(three.bytes, &samples).kind, ImageErrorKind::none);
            EXPECT_EQ(samples, image.samples) << channels << " channels, " << bits;
        }
}

TEST(PngWriter, AFailingSinkGivesTheWriteImageErrorWhereverItFails) {
    const TestPng image = random_test_png(600, 450, 4, 8, 6);
    MemorySink sound;
    ASSERT_EQ(write_png(sound, image, 4, 2).kind, ImageErrorKind::none);
    // In the header, in the image data, in IEND.
    for (size_t limit : {size_t{20}, sound.bytes.size() / 2, sound.bytes.size() - 1}) {
        FullDisk sink(limit);
        const ImageError failure = write_png(sink, image, 4, 2);
        EXPECT_EQ(failure.kind, ImageErrorKind::write_failed) << limit;
        EXPECT_EQ(failure.message, "disk full") << limit;
    }
}
