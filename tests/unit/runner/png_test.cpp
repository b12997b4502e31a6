// The PNG reader and writer: sound files of every kind decode to their samples; damaged files
// are refused with status 2 (or 3 for a size beyond the limits) and a line naming what is wrong.
#include <gtest/gtest.h>

#include <cstring>

#include <zlib.h>

#include "runner/png_reader.h"
#include "runner/png_writer.h"
#include "tests/unit/runner/test_png.h"

namespace {

// Reads the whole file, rows one by one (or at once when interlaced), then the end.
Failure read_all(const std::vector<uint8_t>& file, std::vector<uint8_t>* samples = nullptr,
                 PngLayout* layout = nullptr, const ReadLimits& limits = {}) {
    MemorySource source(file);
    PngReader reader(source);
    Failure failure;
    if (!reader.open(limits, failure)) return failure;
    const PngLayout& l = reader.layout();
    std::vector<uint8_t> image(l.row_bytes * l.height);
    bool ok = true;
    if (l.interlaced)
        ok = reader.read_image(image.data(), failure);
    else
        for (uint32_t y = 0; ok && y < l.height; ++y)
            ok = reader.read_row(image.data() + y * l.row_bytes, failure);
    if (ok) ok = reader.finish(failure);
    if (samples != nullptr) *samples = image;
    if (layout != nullptr) *layout = l;
    return failure;
}

TestPng small(uint8_t colour_type, uint8_t bit_depth, std::vector<uint8_t> samples,
              uint32_t width = 2) {
    TestPng image;
    image.width = width;
    image.height = 1;
    image.colour_type = colour_type;
    image.bit_depth = bit_depth;
    image.samples = std::move(samples);
    return image;
}

std::vector<uint8_t> u16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> bytes(values.size() * 2);
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}

} // namespace

TEST(PngReader, EveryKindOfFileGivesGreyAlphaOrRgbaSamples) {
    struct Case {
        const char* what;
        TestPng image;
        int channels, bits;
        std::vector<uint8_t> want;
    };
    TestPng grey_trns = small(0, 8, {7, 9});
    grey_trns.trns = {0, 9};
    TestPng palette = small(3, 8, {1, 0});
    palette.palette = {10, 20, 30, 40, 50, 60};
    palette.trns = {128};
    TestPng rgb_trns = small(2, 8, {1, 2, 3, 4, 5, 6});
    rgb_trns.trns = {0, 4, 0, 5, 0, 6};
    const Case cases[] = {
        // 1-bit grey 0b10 in one byte: white then black, scaled to 8 bits.
        {"1-bit grey", small(0, 1, {0x80}), 2, 8, {255, 255, 0, 255}},
        {"grey, tRNS", grey_trns, 2, 8, {7, 255, 9, 0}},
        {"grey + alpha 16", small(4, 16, u16({1000, 2000, 3000, 4000})), 2, 16,
         u16({1000, 2000, 3000, 4000})},
        {"RGB, tRNS", rgb_trns, 4, 8, {1, 2, 3, 255, 4, 5, 6, 0}},
        {"RGB 16", small(2, 16, u16({1, 2, 3, 65535, 0, 300})), 4, 16,
         u16({1, 2, 3, 65535, 65535, 0, 300, 65535})},
        {"palette, tRNS", palette, 4, 8, {40, 50, 60, 255, 10, 20, 30, 128}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> samples;
        PngLayout layout;
        const Failure failure = read_all(encode_test_png(c.image), &samples, &layout);
        EXPECT_EQ(failure.status, kExitDone) << c.what << ": " << failure.message;
        EXPECT_EQ(layout.channels, c.channels) << c.what;
        EXPECT_EQ(layout.bits, c.bits) << c.what;
        EXPECT_EQ(samples, c.want) << c.what;
    }
}

TEST(PngReader, InterlacedFilesGiveTheSameSamples) {
    TestPng image = random_test_png(13, 11, 4, 16, 5);
    std::vector<uint8_t> plain, interlaced;
    read_all(encode_test_png(image), &plain);
    image.interlaced = true;
    PngLayout layout;
    EXPECT_EQ(read_all(encode_test_png(image), &interlaced, &layout).status, kExitDone);
    EXPECT_TRUE(layout.interlaced);
    EXPECT_EQ(interlaced, plain);
    EXPECT_EQ(plain, image.samples);
}

TEST(PngReader, PaletteIndicesPastThePaletteAreOpaqueBlack) {
    // Three entries; indices 254 and 255 point past them.
    TestPng image = small(3, 8, {2, 254, 255}, 3);
    image.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<uint8_t> samples;
    EXPECT_EQ(read_all(encode_test_png(image), &samples).status, kExitDone);
    EXPECT_EQ(samples, (std::vector<uint8_t>{7, 8, 9, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

TEST(PngReader, DamagedFilesAreRefusedSayingWhatAndWhere) {
    const std::vector<uint8_t> good = encode_test_png(random_test_png(40, 30, 4, 8, 1));
    ASSERT_EQ(read_all(good).status, kExitDone);
    const size_t ihdr = chunk_at(good, "IHDR"), idat = chunk_at(good, "IDAT"),
                 iend = chunk_at(good, "IEND");
    const size_t idat_end = idat + 8 + chunk_length(good, idat);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        ExitStatus status;
        std::string message;
    };
    std::vector<Case> cases;
    auto edited = [&](const char* what, size_t at, uint8_t value, std::string message,
                      ExitStatus status = kExitBadInput, size_t fix = 0) {
        std::vector<uint8_t> file = good;
        file[at] = value;
        if (fix != 0) fix_crc(file, fix);
        cases.push_back({what, file, status, std::move(message)});
    };
    edited("not a PNG", 1, 'Q', "not a PNG file");
    // Damaged image data is found by zlib or by the CRC, whichever reads it first.
    edited("IDAT data", idat + 8 + 40, good[idat + 48] ^ 0x10,
           "IDAT chunk at byte " + std::to_string(idat));
    edited("IHDR CRC", ihdr + 8 + 13, good[ihdr + 21] ^ 1, "the CRC of the IHDR chunk at byte 8");
    edited("IDAT CRC", idat_end, good[idat_end] ^ 1, "the CRC of the IDAT chunk");
    edited("IEND CRC", iend + 8, good[iend + 8] ^ 1,
           "the CRC of the IEND chunk at byte " + std::to_string(iend));
    // The Adler-32 ends the zlib stream: the last 4 bytes of the IDAT data.
    edited("Adler-32", idat_end - 1, good[idat_end - 1] ^ 1, "zlib: incorrect data check",
           kExitBadInput, idat);
    edited("bit depth 0", ihdr + 8 + 8, 0, "the header declares bit depth 0", kExitBadInput, ihdr);
    // Width 0x00FFFFFF: a size the limits refuse before any decoding.
    edited("huge size", ihdr + 8 + 1, 0xFF, "is larger than bfrun accepts", kExitTooLarge, ihdr);
    for (size_t cut : {size_t{0}, size_t{5}, size_t{20}, idat + 30, idat_end, idat_end + 2,
                       iend + 4, good.size() - 1})
        cases.push_back({"cut", std::vector<uint8_t>(good.begin(), good.begin() + cut),
                         kExitBadInput, cut == 0 ? "the file is empty" : "the file ends early"});
    for (const Case& c : cases) {
        ReadLimits limits;
        limits.max_width = 1 << 20;
        const Failure failure = read_all(c.file, nullptr, nullptr, limits);
        EXPECT_EQ(failure.status, c.status) << c.what << ": " << failure.message;
        EXPECT_NE(failure.message.find(c.message), std::string::npos)
            << c.what << ": " << failure.message << " (want " << c.message << ")";
    }
}

TEST(PngReader, PalettesLongerThanTheBitDepthAllowsAreRefused) {
    TestPng image = small(3, 1, {0x40}, 2);
    image.palette = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> file = encode_test_png(image);
    // Make PLTE claim 3 entries for a 1-bit image, which has room for 2.
    const size_t plte = chunk_at(file, "PLTE");
    file.insert(file.begin() + plte + 8 + 6, {7, 8, 9});
    file[plte + 3] = 9;
    fix_crc(file, plte);
    const Failure failure = read_all(file);
    EXPECT_EQ(failure.status, kExitBadInput);
    EXPECT_NE(failure.message.find("PLTE chunk at byte 33"), std::string::npos) << failure.message;
}

TEST(PngReader, ImageDataInflatingPastTheHeaderIsRefusedAsItComes) {
    // A 1 x 1 grey image (2 bytes of scanline) whose IDAT inflates to 64 MiB of zeros.
    std::vector<uint8_t> zeros(size_t{64} << 20, 0);
    std::vector<uint8_t> packed(compressBound(zeros.size()));
    uLongf packed_size = packed.size();
    ASSERT_EQ(compress2(packed.data(), &packed_size, zeros.data(), zeros.size(), 9), Z_OK);
    packed.resize(packed_size);
    std::vector<uint8_t> file = encode_test_png(small(0, 8, {0}, 1));
    const size_t idat = chunk_at(file, "IDAT");
    const uint32_t old_length = chunk_length(file, idat);
    file.erase(file.begin() + idat + 8, file.begin() + idat + 8 + old_length);
    file.insert(file.begin() + idat + 8, packed.begin(), packed.end());
    for (int i = 0; i < 4; ++i)
        file[idat + i] = static_cast<uint8_t>(packed.size() >> (24 - 8 * i));
    fix_crc(file, idat);
    const Failure failure = read_all(file);
    EXPECT_EQ(failure.status, kExitBadInput);
    EXPECT_NE(failure.message.find("inflates past the 2 bytes its header implies"),
              std::string::npos)
        << failure.message;
}

TEST(PngWriter, RowsRoundTripAtEveryLayoutAndTheLevelIsApplied) {
    for (int channels : {2, 4})
        for (int bits : {8, 16}) {
            const TestPng image = random_test_png(17, 9, channels, bits, 3);
            const size_t row_bytes = size_t{17} * channels * bits / 8;
            std::vector<size_t> sizes;
            for (int level : {0, 9}) {
                MemorySink sink;
                PngWriter writer(sink);
                Failure failure;
                ASSERT_TRUE(writer.start(17, 9, channels, bits, level, 2, failure));
                for (size_t y = 0; y < 9; ++y)
                    ASSERT_TRUE(writer.write_row(image.samples.data() + y * row_bytes, failure));
                EXPECT_TRUE(writer.complete());
                std::vector<uint8_t> samples;
                EXPECT_EQ(read_all(sink.bytes, &samples).status, kExitDone);
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

Failure write_png(ByteSink& sink, const TestPng& image, int channels, int threads) {
    const size_t row_bytes = size_t{image.width} * channels * image.bit_depth / 8;
    PngWriter writer(sink);
    Failure failure;
    if (!writer.start(image.width, image.height, channels, image.bit_depth, 6, threads, failure))
        return failure;
    for (size_t y = 0; y < image.height; ++y)
        if (!writer.write_row(image.samples.data() + y * row_bytes, failure)) return failure;
    if (!writer.complete()) return Failure{kExitWriteFailed, "incomplete"};
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
            ASSERT_EQ(write_png(one, image, channels, 1).status, kExitDone);
            ASSERT_EQ(write_png(three, image, channels, 3).status, kExitDone);
            EXPECT_EQ(one.bytes, three.bytes) << channels << " channels, " << bits;
            EXPECT_NE(chunk_at(three.bytes, "IDAT", 1), 0u);
            std::vector<uint8_t> samples;
            EXPECT_EQ(read_all(three.bytes, &samples).status, kExitDone);
            EXPECT_EQ(samples, image.samples) << channels << " channels, " << bits;
        }
}

TEST(PngWriter, AFailingSinkGivesTheWriteFailureWhereverItFails) {
    const TestPng image = random_test_png(600, 450, 4, 8, 6);
    MemorySink sound;
    ASSERT_EQ(write_png(sound, image, 4, 2).status, kExitDone);
    // In the header, in the image data, in IEND.
    for (size_t limit : {size_t{20}, sound.bytes.size() / 2, sound.bytes.size() - 1}) {
        FullDisk sink(limit);
        const Failure failure = write_png(sink, image, 4, 2);
        EXPECT_EQ(failure.status, kExitWriteFailed) << limit;
        EXPECT_EQ(failure.message, "disk full") << limit;
    }
}
