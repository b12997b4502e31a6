#include <gtest/gtest.h>

#include <cstring>

#include "bfrun/drive/pipl.h"

namespace {

// Property lists built here the way the module's resource lays them out.
struct PiplBuilder {
    std::vector<uint8_t> bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    int32_t count = 0;

    void int32(uint32_t value, std::vector<uint8_t>& to) {
        for (int i = 0; i < 4; ++i)
            to.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    static uint32_t code(const char* c) {
        return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
               uint32_t(uint8_t(c[2])) << 8 | uint8_t(c[3]);
    }
    PiplBuilder& add(const char* key, const std::vector<uint8_t>& data) {
        int32(code("8BIM"), bytes);
        int32(code(key), bytes);
        int32(0, bytes);
        int32(static_cast<uint32_t>(data.size()), bytes);
        bytes.insert(bytes.end(), data.begin(), data.end());
        ++count;
        std::memcpy(bytes.data() + 6, &count, 4);
        return *this;
    }
    static std::vector<uint8_t> pascal(const std::string& s) {
        std::vector<uint8_t> data{static_cast<uint8_t>(s.size())};
        data.insert(data.end(), s.begin(), s.end());
        do
            data.push_back(0);
        while (data.size() % 4 != 0);
        return data;
    }
    static std::vector<uint8_t> c_string(const std::string& s) {
        std::vector<uint8_t> data(s.begin(), s.end());
        do
            data.push_back(0);
        while (data.size() % 4 != 0);
        return data;
    }
};

std::vector<uint8_t> code_bytes(const char* c) {
    return {uint8_t(c[3]), uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0])};
}

PiplBuilder brightfade_like() {
    std::vector<uint8_t> fici;
    for (int c = 1; c <= 7; ++c) {
        const bool selection = c == 2 || c == 3 || c == 5 || c == 7;
        fici.insert(fici.end(), {4, 4, uint8_t(selection ? 0x0E : 0x06), 0});
    }
    PiplBuilder b;
    b.add("kind", code_bytes("8BFM"))
        .add("name", PiplBuilder::pascal("Brightfade..."))
        .add("catg", PiplBuilder::pascal("brightfade.example"))
        .add("vers", {0, 0, 4, 0})
        .add("8664", PiplBuilder::c_string("PluginMain"))
        .add("mode", {0x5F, 0xC0, 0, 0})
        .add("hstm", std::vector<uint8_t>(56, 0))
        .add("enbl", PiplBuilder::c_string("in (PSHOP_ImageMode, RGBMode)"))
        .add("ms32", {0x80, 0x84, 0x1E, 0, 0x80, 0x84, 0x1E, 0})
        .add("flly", {0x80, 0, 0, 0})
        .add("fici", fici);
    return b;
}

bool parse(const std::vector<uint8_t>& bytes, Pipl& pipl, std::string& error) {
    return parse_pipl(bytes.data(), bytes.size(), pipl, error);
}

} // namespace

TEST(Pipl, ReadsEveryPropertyTheHostUses) {
    const PiplBuilder b = brightfade_like();
    EXPECT_EQ(b.bytes.size(), 10u + 11 * 16 + 4 + 16 + 20 + 4 + 12 + 4 + 56 + 32 + 8 + 4 + 28);
    Pipl pipl;
    std::string error;
    ASSERT_TRUE(parse(b.bytes, pipl, error)) << error;
    EXPECT_EQ(pipl.properties.size(), 11u);
    EXPECT_EQ(pipl.kind, "8BFM");
    EXPECT_EQ(pipl.menu_name, "Brightfade...");
    EXPECT_EQ(pipl.category, "brightfade.example");
    EXPECT_EQ(pipl.version, 0x40000u);
    EXPECT_EQ(pipl.entry_point_x86_64, "PluginMain");
    EXPECT_EQ(entry_point_for_this_machine(pipl), "PluginMain");
    EXPECT_EQ(pipl.entry_point_arm64, "");
    EXPECT_EQ(pipl.enable, "in (PSHOP_ImageMode, RGBMode)");
    EXPECT_EQ(pipl.max_height, 2000000);
    EXPECT_EQ(pipl.max_width, 2000000);
    EXPECT_TRUE(pipl.filter_layer);
    ASSERT_EQ(pipl.filter_cases.size(), 7u);
    EXPECT_EQ(pipl.filter_cases[3].input, 4);
    EXPECT_EQ(pipl.filter_cases[3].output, 4);
    EXPECT_EQ(pipl.filter_cases[3].flags, 0x06);
    EXPECT_EQ(pipl.filter_cases[4].flags, 0x0E);
}

TEST(Pipl, Description) {
    Pipl pipl;
    std::string error;
    ASSERT_TRUE(parse(brightfade_like().bytes, pipl, error));
    const std::string text = describe_pipl(pipl);
    for (const char* line :
         {"kind: 8BFM (filter)\n", "menu name: Brightfade...\n", "interface version: 4.0\n",
          "entry point (x64): PluginMain\n",
          "modes: Grayscale, RGB, CMYK, HSL, HSB, Multichannel, Duotone, Lab\n",
          "largest image: 2000000 rows x 2000000 columns\n",
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one line, split for its length
          "  4 editable transparency, no selection: input white matting (4), output white "
          "matting (4), flags 0x06: source copied to output, works with blank data, filters "
          "layer masks\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    EXPECT_EQ(describe_modes({0x80, 0x20}), "Bitmap, mode bit 10");
    EXPECT_EQ(describe_modes({0, 0}), "none");
}

TEST(Pipl, TheArm64ListNamesItsEntryPointUnderItsOwnKey) {
    const PiplBuilder b = PiplBuilder()
                              .add("kind", code_bytes("8BFM"))
                              .add("wa64", PiplBuilder::c_string("PluginMain"));
    Pipl pipl;
    std::string error;
    ASSERT_TRUE(parse(b.bytes, pipl, error)) << error;
    EXPECT_EQ(pipl.entry_point_arm64, "PluginMain");
    EXPECT_EQ(pipl.entry_point_x86_64, "");
    EXPECT_EQ(entry_point_for_this_machine(pipl), ""); // these tests run on x86-64
    const std::string text = describe_pipl(pipl);
    EXPECT_NE(text.find("entry point (x64): (none)\nentry point (ARM64): PluginMain\n"),
              std::string::npos)
        << text;
}

TEST(Pipl, MalformedListsAreRefused) {
    Pipl pipl;
    std::string error;
    const std::vector<uint8_t> good = brightfade_like().bytes;

    auto refused = [&](const std::vector<uint8_t>& bytes, const std::string& why) {
        EXPECT_FALSE(parse(bytes, pipl, error)) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    };
    refused({1, 0, 0}, "shorter than its 10-byte header");
    std::vector<uint8_t> bytes = good;
    bytes[0] = 2;
    refused(bytes, "the first 16-bit value is not 1");
    bytes = good;
    bytes[6] = 12; // one property more than there is
    refused(bytes, "property 12 of 12 runs past the end");
    bytes = good;
    bytes.resize(bytes.size() - 1);
    refused(bytes, "'fici' claims 28 bytes, past the end");
    bytes = good;
    bytes.insert(bytes.end(), {0, 0, 0, 0});
    refused(bytes, "4 bytes after the last property");
    bytes = good;
    bytes.push_back(7);
    refused(bytes, "1 bytes after the last property");
    // Up to 3 zero bytes of rounding are accepted.
    bytes = good;
    bytes.insert(bytes.end(), {0, 0});
    EXPECT_TRUE(parse(bytes, pipl, error)) << error;

    refused(PiplBuilder().add("kind", code_bytes("8BFM")).add("8664", {'P', 'l', 'u', 'g'}).bytes,
            "'8664' string has no terminating NUL");
    refused(PiplBuilder().add("kind", code_bytes("8BFM")).add("name", {20, 'B', 0, 0}).bytes,
            "'name' string runs past its property");
    refused(PiplBuilder().add("kind", code_bytes("8BFM")).add("fici", {4, 4, 6, 0}).bytes,
            "'fici' needs 4 bytes for each of the 7 filter cases");
    refused(PiplBuilder().add("kind", code_bytes("8BFM")).add("ms32", {1, 0, 0, 0}).bytes,
            "'ms32' has 4 bytes, not 8");
    refused(PiplBuilder().add("name", PiplBuilder::pascal("x")).bytes, "no 'kind' property");
}
