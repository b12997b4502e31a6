// The filtering run's refusals as the user sees them: the real MessageBoxW, under Wine with a
// display. A thread timer finds each live message box while its modal loop runs, records its
// caption, text and owner, and closes it with OK.
//
//   message_box_live <module>
#include "tests/wine/about_test_support.h"

#include <vector>

#include "host/host_codes.h"
#include "host/host_records.h"
#include "tests/common/fake_filter_host.h"

namespace {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner;
};

std::vector<SeenBox> seen;

std::wstring wide_text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// The message text is the box's one static control with text (an icon's static has none).
std::wstring message_text(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiA(class_name(child).c_str(), "Static") == 0 && !wide_text(child).empty())
            return wide_text(child);
    }
    return L"";
}

void CALLBACK on_tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = find_open_dialog();
    if (box == nullptr) return;
    seen.push_back({wide_text(box), message_text(box), GetWindow(box, GW_OWNER)});
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

std::string utf8(const std::wstring& text) {
    char out[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}

const std::wstring kCaption = L"\u30A8\u30E9\u30FC"; // エラー
const std::wstring kColourMode =
    L"\u30AB\u30E9\u30FC\u30E2\u30FC\u30C9\u3092\u30B0\u30EC\u30FC\u30B9\u30B1\u30FC\u30EB"
    L"\u304BRGB\u306B\u3057\u3066\u304B\u3089\u3001\u518D\u5EA6\u30D5\u30A3\u30EB\u30BF\u3092"
    L"\u5B9F\u884C\u3057\u3066\u304F\u3060\u3055\u3044\u3002\n";
const std::wstring kBackground =
    L"\"\u80CC\u666F\"\u3092\u30EC\u30A4\u30E4\u306B\u5909\u3048\u3066\u304B\u3089\u3001"
    L"\u30D5\u30A3\u30EB\u30BF\u3092\u5B9F\u884C\u3057\u3066\u304F\u3060\u3055\u3044\u3002";

// One start call on a fresh record; returns what the live boxes showed during it.
std::vector<SeenBox> start(PluginEntry plugin_main, HWND owner, int16_t mode, int16_t filter_case) {
    FakeFilterHost host(plugin_main, 4, 4);
    host.platform.hwnd = reinterpret_cast<intptr_t>(owner);
    host.record.imageMode = mode;
    host.record.filterCase = filter_case;
    const Fixed input_rate = host.record.inputRate;

    seen.clear();
    host.call(filterSelectorStart);

    CHECK_EQ(host.result, kFakeHostResult); // a refusal leaves the result word as the host set it
    CHECK(host.requested.empty());          // and asks for nothing
    CHECK_EQ(host.record.inputRate, input_rate);
    return seen;
}

void check_box(const std::vector<SeenBox>& boxes, const std::wstring& text, HWND owner) {
    CHECK_EQ(boxes.size(), 1u);
    if (boxes.empty()) return;
    std::printf("  caption \"%s\", text \"%s\", owner %s\n", utf8(boxes[0].caption).c_str(),
                utf8(boxes[0].text).c_str(), boxes[0].owner == owner ? "the host window" : "OTHER");
    CHECK(boxes[0].caption == kCaption);
    CHECK(boxes[0].text == text);
    CHECK(boxes[0].owner == owner);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: message_box_live <module>\n");
        return 2;
    }
    HMODULE module = nullptr;
    const PluginEntry plugin_main = load_plugin_main(argv[1], module);
    if (plugin_main == nullptr) return 1;

    HWND owner = create_host_window("Host", 60, 40, 800, 600);
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, on_tick);

    std::printf("CMYK layer:\n");
    check_box(start(plugin_main, owner, 4, 4), kColourMode, owner);
    std::printf("RGB flat image:\n");
    check_box(start(plugin_main, owner, 3, 1), kBackground, owner);
    std::printf("CMYK flat image (the colour mode is checked first):\n");
    check_box(start(plugin_main, owner, 4, 1), kColourMode, owner);

    KillTimer(nullptr, timer);
    DestroyWindow(owner);
    FreeLibrary(module);
    std::printf("%s\n", check_failures == 0 ? "passed" : "FAILED");
    return check_failures == 0 ? 0 : 1;
}
