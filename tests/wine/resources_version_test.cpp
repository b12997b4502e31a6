// Reads the version block back from the built module through the Windows version API, then
// walks the raw block node by node to check the value lengths and the order of the strings.
// Usage: resources_version_test <path of Brightfade.8bf>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/maker.h"
#include "resources/version.h"

namespace {

int failures = 0;

void check(bool ok, const std::wstring& what) {
    if (!ok) {
        std::printf("FAIL: %ls\n", what.c_str());
        ++failures;
    }
}

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text)
        wide += wchar_t(uint8_t(*text));
    return wide;
}

struct VersionString {
    const wchar_t* key;
    std::wstring value;
};

// The strings in their stored order.
std::vector<VersionString> expected_strings() {
    return {
        {L"Comments", L""},
        {L"CompanyName", widen(BRIGHTFADE_MAKER_DOMAIN)},
        {L"FileDescription", L"Brightfade Plug-In"},
        {L"FileVersion", widen(BRIGHTFADE_VERSION)},
        {L"InternalName", L"Brightfade Plug-In"},
        {L"LegalCopyright", widen(BRIGHTFADE_MAKER_NOTICE)},
        {L"LegalTrademarks", L""},
        {L"OriginalFilename", L"Brightfade Plug-In"},
        {L"PrivateBuild", L""},
        {L"ProductName", widen(BRIGHTFADE_MAKER_DOMAIN) + L" Brightfade Plug-In"},
        {L"ProductVersion", widen(BRIGHTFADE_VERSION)},
        {L"SpecialBuild", L""},
    };
}

void check_through_version_api(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    check(size > 0, L"GetFileVersionInfoSizeW finds a version block");
    if (size == 0) return;
    std::vector<uint8_t> block(size);
    check(GetFileVersionInfoW(path.c_str(), 0, size, block.data()), L"GetFileVersionInfoW");

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) &&
        length == sizeof(VS_FIXEDFILEINFO)) {
        const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        check(fixed->dwSignature == 0xFEEF04BD, L"fixed part signature");
        check(fixed->dwFileVersionMS == 0x000C0000 && fixed->dwFileVersionLS == 0,
              L"file version 12.0.0.0");
        check(fixed->dwProductVersionMS == 0x000C0000 && fixed->dwProductVersionLS == 0,
              L"product version 12.0.0.0");
        check(fixed->dwFileFlagsMask == 0x3F && fixed->dwFileFlags == 0, L"flags mask 0x3F");
        check(fixed->dwFileOS == 0x40004, L"operating system 0x40004");
        check(fixed->dwFileType == VFT_DLL && fixed->dwFileSubtype == 0, L"file type 2");
        check(fixed->dwFileDateMS == 0 && fixed->dwFileDateLS == 0, L"file date 0");
    } else {
        check(false, L"VerQueryValueW \\ gives the fixed part");
    }

    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
        length == 4) {
        const WORD* translation = static_cast<const WORD*>(value);
        check(translation[0] == 0x0409 && translation[1] == 0x04B0, L"translation 0409 04B0");
    } else {
        check(false, L"VerQueryValueW gives one translation");
    }

    for (const VersionString& expected : expected_strings()) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + expected.key;
        value = nullptr;
        length = 0;
        bool found = VerQueryValueW(block.data(), query.c_str(), &value, &length);
        check(found, query + L" found");
        std::wstring text;
        if (found && length > 0) text = static_cast<const wchar_t*>(value);
        check(text == expected.value, query + L" value");
    }
}

// One node of the raw block: wLength, wValueLength, wType, key, padding to 4, value,
// children on 4-byte boundaries up to wLength.
struct Node {
    bool ok = false;
    uint16_t length = 0;
    uint16_t value_length = 0;
    uint16_t type = 0;
    std::wstring key;
    size_t value_at = 0; // offsets in the block
    size_t value_end = 0;
    size_t end = 0;
};

size_t aligned(size_t at) {
    return (at + 3) & ~size_t(3);
}

uint16_t word_at(const std::vector<uint8_t>& block, size_t at) {
    return uint16_t(block[at] | block[at + 1] << 8);
}

// Reads the node at `at`, whose value is binary (in bytes) or text (in UTF-16 units).
Node read_node(const std::vector<uint8_t>& block, size_t at, size_t limit) {
    Node node;
    if (at + 6 > limit) return node;
    node.length = word_at(block, at);
    node.value_length = word_at(block, at + 2);
    node.type = word_at(block, at + 4);
    node.end = at + node.length;
    if (node.length < 6 || node.end > limit) return node;
    size_t p = at + 6;
    for (; p + 2 <= node.end && word_at(block, p) != 0; p += 2)
        node.key += wchar_t(word_at(block, p));
    if (p + 2 > node.end) return node;
    node.value_at = aligned(p + 2);
    size_t value_bytes = node.type == 1 ? node.value_length * 2u : node.value_length;
    node.value_end = node.value_at + value_bytes;
    node.ok = node.value_end <= node.end;
    return node;
}

std::vector<Node> children(const std::vector<uint8_t>& block, const Node& parent) {
    std::vector<Node> nodes;
    for (size_t at = aligned(parent.value_end); at < parent.end;) {
        Node node = read_node(block, at, parent.end);
        check(node.ok, L"child node of " + parent.key + L" fits its parent");
        if (!node.ok) break;
        nodes.push_back(node);
        at = aligned(node.end);
    }
    return nodes;
}

void check_string(const std::vector<uint8_t>& block, const Node& node,
                  const VersionString& expected) {
    std::wstring name = std::wstring(L"string ") + expected.key;
    check(node.key == expected.key, name + L" in its place (found " + node.key + L")");
    check(node.type == 1, name + L" is text");
    if (expected.value.empty()) {
        check(node.value_length == 0 && node.value_at == node.end,
              name + L": empty, length 0, no NUL");
        return;
    }
    check(node.value_length == expected.value.size() + 1 && node.value_end == node.end,
          name + L": length counts the NUL");
    std::wstring value;
    for (size_t p = node.value_at; p + 2 < node.value_end; p += 2)
        value += wchar_t(word_at(block, p));
    check(value == expected.value, name + L" value");
    check(word_at(block, node.value_end - 2) == 0, name + L" ends in a NUL");
}

void check_raw_block(HMODULE module) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const uint8_t* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) {
        check(false, L"version resource 1 in language 1033");
        return;
    }
    std::vector<uint8_t> block(bytes, bytes + SizeofResource(module, found));

    Node root = read_node(block, 0, block.size());
    check(root.ok && root.key == L"VS_VERSION_INFO" && root.type == 0 &&
              root.value_length == sizeof(VS_FIXEDFILEINFO),
          L"root node VS_VERSION_INFO with the 52-byte fixed part");
    check(root.end <= block.size() && block.size() - root.end < 4, L"root node spans the resource");
    if (!root.ok) return;

    std::vector<Node> sections = children(block, root);
    check(sections.size() == 2, L"two children: StringFileInfo, VarFileInfo");
    if (sections.size() != 2) return;
    check(sections[0].key == L"StringFileInfo" && sections[1].key == L"VarFileInfo",
          L"StringFileInfo then VarFileInfo");

    std::vector<Node> tables = children(block, sections[0]);
    check(tables.size() == 1 && tables[0].key == L"040904b0", L"one string table 040904b0");
    if (tables.size() != 1) return;
    std::vector<Node> strings = children(block, tables[0]);
    std::vector<VersionString> expected = expected_strings();
    check(strings.size() == expected.size(), L"twelve strings");
    for (size_t i = 0; i < strings.size() && i < expected.size(); ++i)
        check_string(block, strings[i], expected[i]);

    std::vector<Node> vars = children(block, sections[1]);
    check(vars.size() == 1 && vars[0].key == L"Translation" && vars[0].value_length == 4,
          L"one Translation of 4 bytes");
    if (vars.size() == 1 && vars[0].value_length == 4)
        check(word_at(block, vars[0].value_at) == 0x0409 &&
                  word_at(block, vars[0].value_at + 2) == 0x04B0,
              L"raw translation 0409 04B0");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: resources_version_test <module>\n");
        return 2;
    }
    std::wstring path = widen(argv[1]);
    check_through_version_api(path);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        std::printf("FAIL: cannot load %s as a resource file\n", argv[1]);
        return 1;
    }
    check_raw_block(module);
    FreeLibrary(module);
    std::printf(failures ? "%d checks failed\n" : "all checks passed\n", failures);
    return failures ? 1 : 0;
}
