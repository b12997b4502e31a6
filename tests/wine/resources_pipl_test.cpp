// Reads the plug-in property list back from the built module through the Windows resource
// API, as a host does before loading the module, and checks it field by field with a parser
// of its own. Usage: resources_pipl_test <path of Brightfade.8bf>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/maker.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}

// A four-character code as the host reads it: the first character in the top byte.
uint32_t code(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

struct Bytes {
    const uint8_t* data;
    size_t size;
};

uint32_t int32_at(Bytes bytes, size_t at) {
    return uint32_t(bytes.data[at]) | uint32_t(bytes.data[at + 1]) << 8 |
           uint32_t(bytes.data[at + 2]) << 16 | uint32_t(bytes.data[at + 3]) << 24;
}

uint16_t int16_at(Bytes bytes, size_t at) {
    return uint16_t(bytes.data[at] | bytes.data[at + 1] << 8);
}

bool zero_from(Bytes bytes, size_t at) {
    for (size_t i = at; i < bytes.size; ++i)
        if (bytes.data[i] != 0) return false;
    return true;
}

// The padding rule of every string in the list, for any length: a string of `size` bytes
// (length byte or NUL included) takes 1 to 4 zero bytes, up to the next multiple of 4
// strictly above its size.
size_t padded_size(size_t size) {
    return size / 4 * 4 + 4;
}

// A length-prefixed string filling the whole data of a property; empty if malformed.
std::string length_prefixed_string(Bytes data, const char* property) {
    std::string what = std::string(property) + ": length-prefixed string and its padding";
    if (data.size == 0) {
        check(false, what.c_str());
        return {};
    }
    size_t size = size_t(data.data[0]) + 1;
    bool ok = size <= data.size && data.size == padded_size(size) && zero_from(data, size);
    check(ok, what.c_str());
    return ok ? std::string(reinterpret_cast<const char*>(data.data + 1), size - 1) : std::string();
}

// A NUL-terminated string filling the whole data of a property; empty if malformed.
std::string nul_terminated_string(Bytes data, const char* property) {
    std::string what = std::string(property) + ": NUL-terminated string and its padding";
    const void* nul = std::memchr(data.data, 0, data.size);
    size_t size = nul ? size_t(static_cast<const uint8_t*>(nul) - data.data) + 1 : 0;
    bool ok = nul && data.size == padded_size(size) && zero_from(data, size);
    check(ok, what.c_str());
    return ok ? std::string(reinterpret_cast<const char*>(data.data), size - 1) : std::string();
}

bool bytes_are(Bytes data, std::vector<uint8_t> expected) {
    return data.size == expected.size() &&
           std::memcmp(data.data, expected.data(), expected.size()) == 0;
}

const char enable_expression[] =
    "in (PSHOP_ImageMode, RGBMode, GrayScaleMode,CMYKMode, HSLMode, HSBMode, "
    "MultichannelMode,DuotoneMode, LabMode, RGB48Mode, Gray16Mode) ||PSHOP_ImageDepth == 16 "
    "||PSHOP_ImageDepth == 32";
static_assert(sizeof enable_expression == 183 + 1, "the enable expression has 183 characters");

// The entry point's key names the machine this test, like the module, is built for.
#if defined(__aarch64__)
constexpr char kEntryPointKey[] = "wa64";
#else
constexpr char kEntryPointKey[] = "8664";
#endif

void check_properties(const std::vector<Bytes>& data) {
    check(data[0].size == 4 && int32_at(data[0], 0) == code("8BFM"), "'kind' is '8BFM'");

    check(data[1].size == 16, "'name' has length 16");
    check(length_prefixed_string(data[1], "'name'") == "Brightfade...", "'name' text");

    check(length_prefixed_string(data[2], "'catg'") == BRIGHTFADE_MAKER_DOMAIN,
          "'catg' is the maker's domain");

    check(data[3].size == 4 && int32_at(data[3], 0) == 0x00040000, "'vers' is 4.0");

    check(data[4].size == 12, "the entry point has length 12");
    check(nul_terminated_string(data[4], "the entry point") == "PluginMain", "the entry point");

    check(bytes_are(data[5], {0x5F, 0xC0, 0x00, 0x00}), "'mode' bytes 5F C0 00 00");
    if (data[5].size == 4) {
        uint8_t modes = data[5].data[0];
        check((modes & 0x80) == 0 && (modes & 0x20) == 0, "'mode' leaves bitmap and indexed out");
        check((modes & 0x40) && (modes & 0x10), "'mode' enables greyscale and RGB");
        check(modes & 0x08, "'mode' enables the menu entry for CMYK");
    }

    Bytes record = data[6];
    check(record.size == 56, "'hstm' has length 56");
    if (record.size == 56) {
        check(int32_at(record, 0) == 0, "'hstm' version 0");
        check(int32_at(record, 4) == code("brfd") && int32_at(record, 8) == code("brfd"),
              "'hstm' class and event 'brfd'");
        check(int16_at(record, 12) == 16000, "'hstm' terminology id 16000");
        std::string id(reinterpret_cast<const char*>(record.data + 14), 36);
        check(id == BRIGHTFADE_UNIQUE_ID, "'hstm' unique identifier");
        check(zero_from(record, 50), "'hstm' NUL at 50, zero to 55");
    }

    check(data[7].size == 188, "'enbl' has length 188");
    check(nul_terminated_string(data[7], "'enbl'") == enable_expression, "'enbl' text");

    check(data[8].size == 8 && int32_at(data[8], 0) == 2000000 && int32_at(data[8], 4) == 2000000,
          "'ms32' 2000000 by 2000000");

    check(bytes_are(data[9], {0x80, 0x00, 0x00, 0x00}), "'flly' bytes 80 00 00 00");

    // Cases 1 to 7: white matting in and out; cases with a selection (2, 3, 5, 7) write
    // outside it.
    check(bytes_are(data[10], {4,    4, 0x06, 0, 4,    4, 0x0E, 0, 4,    4, 0x0E, 0, 4,    4,
                               0x06, 0, 4,    4, 0x0E, 0, 4,    4, 0x06, 0, 4,    4, 0x0E, 0}),
          "'fici' filter case table");
}

void check_property_list(Bytes pipl) {
    const char* keys[] = {"kind", "name", "catg", "vers", kEntryPointKey, "mode",
                          "hstm", "enbl", "ms32", "flly", "fici"};
    const size_t key_count = sizeof keys / sizeof keys[0];

    if (pipl.size < 10) {
        check(false, "header fits");
        return;
    }
    check(int16_at(pipl, 0) == 1, "header reserved word 1");
    check(int32_at(pipl, 2) == 0, "header list version 0");
    check(int32_at(pipl, 6) == key_count, "header property count 11");
    check(std::memcmp(pipl.data + 10, "MIB8", 4) == 0, "'8BIM' stored as bytes \"MIB8\"");

    std::vector<Bytes> data;
    size_t at = 10;
    for (size_t i = 0; i < key_count; ++i) {
        std::string name = std::string("property '") + keys[i] + "'";
        if (pipl.size - at < 16) {
            check(false, (name + " header fits").c_str());
            return;
        }
        check(int32_at(pipl, at) == code("8BIM"), (name + " vendor '8BIM'").c_str());
        check(int32_at(pipl, at + 4) == code(keys[i]), (name + " key, in order").c_str());
        check(int32_at(pipl, at + 8) == 0, (name + " id 0").c_str());
        uint32_t length = int32_at(pipl, at + 12);
        if (length > pipl.size - at - 16) {
            check(false, (name + " data fits").c_str());
            return;
        }
        check(length % 4 == 0, (name + " length a multiple of 4").c_str());
        data.push_back(Bytes{pipl.data + at + 16, length});
        at += 16 + length;
    }
    check(at == pipl.size, "the properties reach exactly the end of the resource");
    check_properties(data);
}

// Types under which the module holds a resource with id 16000: only the property list and
// the about dialog, so no terminology resource.
BOOL CALLBACK note_type(HMODULE module, LPWSTR type, LONG_PTR types) {
    if (FindResourceW(module, MAKEINTRESOURCEW(16000), type))
        reinterpret_cast<std::vector<std::wstring>*>(types)->push_back(
            IS_INTRESOURCE(type) ? L"#" + std::to_wstring(uintptr_t(type)) : type);
    return TRUE;
}

void check_no_terminology(HMODULE module) {
    std::vector<std::wstring> types;
    EnumResourceTypesW(module, note_type, reinterpret_cast<LONG_PTR>(&types));
    bool pipl = false, other = false;
    for (const std::wstring& type : types) {
        if (type == L"PIPL")
            pipl = true;
        else if (type != L"#5") // RT_DIALOG
            other = true;
    }
    check(pipl, "id 16000 found among the module's resource types");
    check(!other, "no resource with id 16000 but the property list and the dialog");
}

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text)
        wide += wchar_t(uint8_t(*text));
    return wide;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: resources_pipl_test <module>\n");
        return 2;
    }
    HMODULE module = LoadLibraryExW(widen(argv[1]).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        std::printf("FAIL: cannot load %s as a resource file\n", argv[1]);
        return 1;
    }
    HRSRC found = FindResourceExW(module, L"PIPL", MAKEINTRESOURCEW(16000),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        std::printf("FAIL: no PIPL 16000 in language 1033\n");
        return 1;
    }
    Bytes pipl{static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
    std::printf("PIPL 16000: %zu bytes\n", pipl.size);
    check_property_list(pipl);
    check_no_terminology(module);
    FreeLibrary(module);
    std::printf(failures ? "%d checks failed\n" : "all checks passed\n", failures);
    return failures ? 1 : 0;
}
