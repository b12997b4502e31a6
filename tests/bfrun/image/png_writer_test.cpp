// The PNG writer: rows read back as written at every layout and level, the threads change no
// byte, and a sink that fails gives its own error wherever it fails.
#include <gtest/gtest.h>

#include "bfrun/image/png_writer.h"
#include "tests/bfrun/test_png.h"

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
                ASSERT_TRUE(writer.start(17, 9, channels, bits, level, 2, {}, failure));
                for (size_t y = 0; y < 9; ++y)
                    ASSERT_TRUE(writer.write_row(image.samples.data() + y * row_bytes, failure));
                EXPECT_FALSE(writer.complete()); // until IEND
                ASSERT_TRUE(writer.finish({}, failure));
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

ImageError write_png(ByteSink& sink, const TestPng& image, int channels, int threads,
                     const ImageMetadata& metadata = {}) {
    const size_t row_bytes = size_t{image.width} * channels * image.bit_depth / 8;
    PngWriter writer(sink);
    ImageError failure;
    if (!writer.start(image.width, image.height, channels, image.bit_depth, 6, threads, metadata,
                      failure))
        return failure;
    for (size_t y = 0; y < image.height; ++y)
        if (!writer.write_row(image.samples.data() + y * row_bytes, failure)) return failure;
    writer.finish(metadata, failure);
    return failure;
}

} // namespace

TEST(PngWriter, ImagesOfSeveralPiecesReadBackAndTheThreadsChangeNoByte) {
    for (int channels : {2, 4})
        for (int bits : {8, 16}) {
            // Just over 1 MiB of filtered rows: a whole piece and a short one.
            const TestPng image =
                random_test_png(600, 1800 / (channels * bits / 8), channels, bits, 5);
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

TEST(PngWriter, TheResolutionAndCarriedChunksGoWhereTheInputHadThem) {
    const TestPng image = random_test_png(5, 4, 2, 8, 7);
    ImageMetadata metadata;
    metadata.has_resolution = true;
    metadata.pixels_per_unit_x = 23622; // 600 dpi
    metadata.pixels_per_unit_y = 11811;
    metadata.unit = 1;
    metadata.chunks = {{"tEXt", {'T', 'i', 't', 'l', 'e', 0, 'S', 'c', 'a', 'n'}, false},
                       {"tIME", {0x07, 0xEA, 12, 9, 3, 44, 5}, true}};
    MemorySink sink;
    ASSERT_EQ(write_png(sink, image, 2, 1, metadata).kind, ImageErrorKind::none);
    const std::vector<uint8_t>& file = sink.bytes;
    const size_t phys = chunk_at(file, "pHYs"), text = chunk_at(file, "tEXt"),
                 idat = chunk_at(file, "IDAT"), time = chunk_at(file, "tIME");
    ASSERT_TRUE(phys != 0 && text != 0 && time != 0);
    EXPECT_LT(phys, idat);
    EXPECT_LT(text, idat);
    EXPECT_GT(time, idat);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + phys + 8, file.begin() + phys + 17),
              (std::vector<uint8_t>{0, 0, 0x5C, 0x46, 0, 0, 0x2E, 0x23, 1}));

    // Read back: the same metadata, nothing left out.
    MemorySource source(file);
    PngReader reader(source);
    ImageError failure;
    std::vector<uint8_t> rows(image.samples.size());
    ASSERT_TRUE(reader.open({}, failure)) << failure.message;
    ASSERT_TRUE(reader.read_image(rows.data(), failure) && reader.finish(failure))
        << failure.message;
    EXPECT_EQ(rows, image.samples);
    const ImageMetadata& read = reader.metadata();
    EXPECT_TRUE(read.has_resolution);
    EXPECT_EQ(read.pixels_per_unit_x, 23622u);
    EXPECT_EQ(read.pixels_per_unit_y, 11811u);
    ASSERT_EQ(read.chunks.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read.chunks[i].type, metadata.chunks[i].type);
        EXPECT_EQ(read.chunks[i].data, metadata.chunks[i].data);
        EXPECT_EQ(read.chunks[i].after_image_data, metadata.chunks[i].after_image_data);
    }
    EXPECT_TRUE(reader.warnings().empty());
}
