// The PNG reader: sound files of every kind decode to their samples; damaged files are refused
// as bad input (too large for a size beyond the limits) with a line naming what is wrong.
#include <gtest/gtest.h>

#include <cstring>

#include <zlib.h>

#include "bfrun/image/png_reader.h"
#include "tests/bfrun/test_png.h"

namespace {

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
        ImageLayout layout;
        const ImageError failure = read_test_png(encode_test_png(c.image), &samples, &layout);
        EXPECT_EQ(failure.kind, ImageErrorKind::none) << c.what << ": " << failure.message;
        EXPECT_EQ(layout.channels, c.channels) << c.what;
        EXPECT_EQ(layout.bits, c.bits) << c.what;
        EXPECT_EQ(samples, c.want) << c.what;
    }
}

TEST(PngReader, InterlacedFilesGiveTheSameSamples) {
    TestPng image = random_test_png(13, 11, 4, 16, 5);
    std::vector<uint8_t> plain, interlaced;
    read_test_png(encode_test_png(image), &plain);
    image.interlaced = true;
    ImageLayout layout;
    EXPECT_EQ(read_test_png(encode_test_png(image), &interlaced, &layout).kind,
              ImageErrorKind::none);
    EXPECT_TRUE(layout.interlaced);
    EXPECT_EQ(interlaced, plain);
    EXPECT_EQ(plain, image.samples);
}

TEST(PngReader, PaletteIndicesPastThePaletteAreOpaqueBlack) {
    // Three entries; indices 254 and 255 point past them.
    TestPng image = small(3, 8, {2, 254, 255}, 3);
    image.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<uint8_t> samples;
    EXPECT_EQ(read_test_png(encode_test_png(image), &samples).kind, ImageErrorKind::none);
    EXPECT_EQ(samples, (std::vector<uint8_t>{7, 8, 9, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

TEST(PngReader, DamagedFilesAreRefusedSayingWhatAndWhere) {
    const std::vector<uint8_t> good = encode_test_png(random_test_png(40, 30, 4, 8, 1));
    ASSERT_EQ(read_test_png(good).kind, ImageErrorKind::none);
    const size_t ihdr = chunk_at(good, "IHDR"), idat = chunk_at(good, "IDAT"),
                 iend = chunk_at(good, "IEND");
    const size_t idat_end = idat + 8 + chunk_length(good, idat);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        ImageErrorKind kind;
        std::string message;
    };
    std::vector<Case> cases;
    auto edited = [&](const char* what, size_t at, uint8_t value, std::string message,
                      ImageErrorKind kind = ImageErrorKind::bad_input, size_t fix = 0) {
        std::vector<uint8_t> file = good;
        file[at] = value;
        if (fix != 0) fix_crc(file, fix);
        cases.push_back({what, file, kind, std::move(message)});
    };
    // An empty chunk of a kind libspng keeps, after IHDR: damaged data, not too much of it.
    std::vector<uint8_t> empty_exif = good;
    const uint8_t exif[12] = {0, 0, 0, 0, 'e', 'X', 'I', 'f'};
    empty_exif.insert(empty_exif.begin() + 33, exif, exif + 12);
    fix_crc(empty_exif, 33);
    cases.push_back({"empty eXIf", empty_exif, ImageErrorKind::bad_input,
                     "the eXIf chunk at byte 33 is empty"});
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
           ImageErrorKind::bad_input, idat);
    edited("bit depth 0", ihdr + 8 + 8, 0, "the header declares bit depth 0",
           ImageErrorKind::bad_input, ihdr);
    // Width 0x00FFFFFF: a size the limits refuse before any decoding.
    edited("huge size", ihdr + 8 + 1, 0xFF, "is larger than bfrun accepts",
           ImageErrorKind::too_large, ihdr);
    for (size_t cut : {size_t{0}, size_t{5}, size_t{14}, size_t{20}, idat + 30, idat_end,
                       idat_end + 2, iend + 4, good.size() - 1})
        cases.push_back({"cut", std::vector<uint8_t>(good.begin(), good.begin() + cut),
                         ImageErrorKind::bad_input,
                         cut == 0                 ? "the file is empty"
                         : cut == 14 || cut == 20 ? "the file ends inside its header chunk (IHDR)"
                                                  : "the file ends early"});
    edited("no IHDR first", ihdr + 7, 'X', "does not begin with a header chunk (IHDR)",
           ImageErrorKind::bad_input, ihdr);
    for (const Case& c : cases) {
        ReadLimits limits;
        limits.max_width = 1 << 20;
        const ImageError failure = read_test_png(c.file, nullptr, nullptr, limits);
        EXPECT_EQ(failure.kind, c.kind) << c.what << ": " << failure.message;
        EXPECT_NE(failure.message.find(c.message), std::string::npos)
            << c.what << ": " << failure.message << " (want " << c.message << ")";
    }
}

TEST(PngReader, AnAncillaryChunkWithAWrongCrcIsLeftOutWithAWarning) {
    const TestPng image = random_test_png(6, 5, 4, 8, 2);
    std::vector<uint8_t> file = encode_test_png(image);
    insert_chunk(file, chunk_at(file, "IDAT"), "iCCP", {'p', 0, 0, 0x78, 0x9C});
    const size_t iccp = chunk_at(file, "iCCP");
    file[iccp + 8 + 5] ^= 1; // its CRC
    insert_chunk(file, chunk_at(file, "IEND"), "cLLI", {0, 0, 1, 0, 0, 0, 0, 200});
    const size_t clli = chunk_at(file, "cLLI");
    file[clli + 8] ^= 1; // its data
    insert_chunk(file, chunk_at(file, "IEND"), "tEXt", {'A', 0, 'b'});

    MemorySource source(file);
    PngReader reader(source);
    ImageError failure;
    std::vector<uint8_t> rows(image.samples.size());
    ASSERT_TRUE(reader.open({}, failure) && reader.read_image(rows.data(), failure) &&
                reader.finish(failure))
        << failure.message;
    EXPECT_EQ(rows, image.samples);
    EXPECT_EQ(reader.warnings(), (std::vector<std::string>{
                                     "the CRC of the iCCP chunk at byte " + std::to_string(iccp) +
                                         " does not match its contents: the chunk is left out",
                                     "the CRC of the cLLI chunk at byte " + std::to_string(clli) +
                                         " does not match its contents: the chunk is left out"}));
    ASSERT_EQ(reader.metadata().chunks.size(), 1u);
    EXPECT_EQ(reader.metadata().chunks[0].type, "tEXt");
    EXPECT_TRUE(reader.metadata().chunks[0].after_image_data);
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
    const ImageError failure = read_test_png(file);
    EXPECT_EQ(failure.kind, ImageErrorKind::bad_input);
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
    const ImageError failure = read_test_png(file);
    EXPECT_EQ(failure.kind, ImageErrorKind::bad_input);
    EXPECT_NE(failure.message.find("inflates past the 2 bytes its header implies"),
              std::string::npos)
        << failure.message;
}
