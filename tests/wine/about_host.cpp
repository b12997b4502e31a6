// Drives the real module's about box under Wine with a display. A host window owns the box; a
// fake basic suite hands out a fake file-list suite whose BrowseUrl records the address, and
// the module's ShellExecuteW, which opens the address when there is no such suite, records it
// too; a thread timer reads and works the live dialog while its modal loop runs, one step per
// tick.
// One run per process, so that what the module does at unload (FreeLibrary) is its own.
//
//   about_host <module> <run> [screenshot.png]
//
// runs: link, escape, enter, ok, cancel, escape_key, enter_key, no_click, refused,
//       no_basic_suite, nothing_handed_out, no_owner
#include "tests/wine/about_test_support.h"
#include "tests/wine/import_patch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/host_records.h"
#include "resources/maker.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace {

// --- The fake host's suites --------------------------------------------------------------

constexpr char kFileListSuiteName[] = "Photoshop GetFileList Suite for Plug-ins";

struct HostLog {
    SPErr refusal = 0;             // what AcquireSuite answers; 0 hands out the suite
    bool hand_out_nothing = false; // answer 0 but leave the suite pointer alone
    int acquisitions = 0;
    std::vector<std::string> released; // "name/version"
    std::vector<std::string> browsed;
    std::vector<std::string> shell_opened; // "verb address", from ShellExecuteW
} host_log;

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

HINSTANCE WINAPI record_shell_execute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    host_log.shell_opened.push_back(narrow(verb) + " " + narrow(file));
    return reinterpret_cast<HINSTANCE>(42); // above 32: success
}

SPErr browse_url(const char* url) {
    host_log.browsed.push_back(url);
    return 0;
}

PSGetFileListSuite4 file_list_suite = [] {
    PSGetFileListSuite4 suite{};
    suite.BrowseUrl = browse_url;
    return suite;
}();

SPErr acquire_suite(const char* name, int32_t version, const void** suite) {
    ++host_log.acquisitions;
    CHECK_STR(name, kFileListSuiteName);
    CHECK_EQ(version, 4);
    if (host_log.refusal != 0) return host_log.refusal;
    if (host_log.hand_out_nothing) return 0;
    *suite = &file_list_suite;
    return 0;
}

SPErr release_suite(const char* name, int32_t version) {
    host_log.released.push_back(std::string(name) + "/" + std::to_string(version));
    return 0;
}

SPBasicSuite basic_suite = [] {
    SPBasicSuite suite{};
    suite.AcquireSuite = acquire_suite;
    suite.ReleaseSuite = release_suite;
    return suite;
}();

// --- Reading the live dialog ---------------------------------------------------------------

HWND owner_window = nullptr;
const char* screenshot_path = nullptr;

// The dialog manager converts a template's position and size each on its own, so a control's
// right edge is the converted x plus the converted width.
RECT dialog_units(HWND dialog, int x, int y, int width, int height) {
    RECT r{x, y, width, height};
    MapDialogRect(dialog, &r);
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

RECT control_rect_in_dialog(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void check_rect(const char* what, const RECT& actual, const RECT& expected) {
    std::printf("  %s at (%ld, %ld) size %ld x %ld\n", what, actual.left, actual.top,
                actual.right - actual.left, actual.bottom - actual.top);
    CHECK_EQ(actual.left, expected.left);
    CHECK_EQ(actual.top, expected.top);
    CHECK_EQ(actual.right, expected.right);
    CHECK_EQ(actual.bottom, expected.bottom);
}

struct TemplateControl {
    int id;
    const char* class_name;
    std::string text;
    LONG style;
    int x, y, width, height;
};

void check_controls(HWND dialog) {
    const TemplateControl expected[] = {
        {1, "Button", "OK", 0x48010001, 171, 7, 11, 14},
        {2, "Button", "Cancel", 0x48010000, 172, 24, 10, 14},
        {3, "Static", std::string("Brightfade Plug-In\n\n") + BRIGHTFADE_MAKER_NOTICE, 0x50020000,
         16, 7, 148, 40},
        {4, "Button", BRIGHTFADE_MAKER_DOMAIN, 0x50010000, 13, 60, 80, 13},
    };
    HWND control = GetWindow(dialog, GW_CHILD);
    for (const TemplateControl& want : expected) {
        CHECK(control != nullptr);
        if (control == nullptr) return;
        const std::string text = window_text(control);
        std::printf("  control %d: class %s, text \"%s\", style 0x%08lX\n", GetDlgCtrlID(control),
                    class_name(control).c_str(), text.c_str(), GetWindowLongA(control, GWL_STYLE));
        CHECK_EQ(GetDlgCtrlID(control), want.id);
        CHECK(lstrcmpiA(class_name(control).c_str(), want.class_name) == 0);
        CHECK_STR(text, want.text);
        // The style bits the template sets; the system may add its own (focus, default look).
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        const LONG template_bits = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_GROUP | WS_TABSTOP;
        CHECK_EQ(style & template_bits, want.style & template_bits);
        check_rect("   ", control_rect_in_dialog(dialog, control),
                   dialog_units(dialog, want.x, want.y, want.width, want.height));
        control = GetWindow(control, GW_HWNDNEXT);
    }
    CHECK(control == nullptr);
}

// Where the box must be: centred over the owner's client area (the desktop without one),
// nudged left by two thirds of a title-bar button, a third of the free height above, kept on
// the screen; computed here from the live sizes and metrics.
void check_position(HWND dialog) {
    HWND parent = owner_window != nullptr ? owner_window : GetDesktopWindow();
    RECT client;
    GetClientRect(parent, &client);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT window;
    GetWindowRect(dialog, &window);
    const long w = window.right - window.left, h = window.bottom - window.top;
    const long button = GetSystemMetrics(SM_CXSIZE);
    const long screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);

    long x = std::max(client.right - client.left - w, 0L) / 2 + client.left - (button - button / 3);
    if (x + w > screen_w) x = std::max(screen_w - w, 0L);
    long y = std::max(client.bottom - client.top - h, 0L) / 3 + client.top;
    if (y + h > screen_h) y = std::max(screen_h - h, 0L);

    std::printf("  parent client (%ld, %ld)-(%ld, %ld); SM_CXSIZE %ld; screen %ld x %ld\n",
                client.left, client.top, client.right, client.bottom, button, screen_w, screen_h);
    std::printf("  dialog window at (%ld, %ld) size %ld x %ld; expected (%ld, %ld)\n", window.left,
                window.top, w, h, x, y);
    CHECK_EQ(window.left, x);
    CHECK_EQ(window.top, y);
}

void save_screenshot(HWND dialog) {
    RECT area;
    GetWindowRect(dialog, &area);
    if (owner_window != nullptr) {
        RECT owner;
        GetWindowRect(owner_window, &owner);
        UnionRect(&area, &area, &owner);
    }
    const int width = area.right - area.left, height = area.bottom - area.top;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    const auto* bgra = static_cast<const unsigned char*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = bgra[4 * i + 2];
        rgb[3 * i + 1] = bgra[4 * i + 1];
        rgb[3 * i + 2] = bgra[4 * i];
    }
    const std::string path = windows_path(screenshot_path);
    CHECK(stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0);
    std::printf("  screenshot %d x %d saved to %s\n", width, height, screenshot_path);

    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

void inspect(HWND dialog) {
    std::printf("live about box:\n");
    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    std::printf("  style 0x%08lX, caption \"%s\"\n", style, window_text(dialog).c_str());
    CHECK_EQ(style & 0x80C000C0, 0x80C000C0);
    const LONG system_menu = WS_SYSMENU; // not inside CHECK_EQ: see create_host_window
    CHECK_EQ(style & system_menu, 0);
    CHECK_STR(window_text(dialog), "");
    CHECK(GetWindow(dialog, GW_OWNER) == owner_window);

    RECT client;
    GetClientRect(dialog, &client);
    check_rect("client area", client, dialog_units(dialog, 0, 0, 189, 90));
    check_controls(dialog);
    check_position(dialog);
    if (screenshot_path != nullptr) save_screenshot(dialog);
}

// --- Working the dialog ----------------------------------------------------------------------

void click_link(HWND dialog) {
    SendMessageA(GetDlgItem(dialog, 4), BM_CLICK, 0, 0);
}

// A left click on the box's own surface, away from its controls.
void click_surface(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    const LPARAM at = MAKELPARAM(client.right - 4, client.bottom - 4);
    CHECK(ChildWindowFromPoint(dialog, POINT{client.right - 4, client.bottom - 4}) == dialog);
    SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(dialog, WM_LBUTTONUP, 0, at);
}

// A key pressed and released through the input queue, as a user types it, with the focus on
// the link button (the box's only enabled control), so that the dialog manager sees it first.
void press_key(HWND dialog, WORD key) {
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, 4));
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// The dialog manager turns Escape into IDCANCEL.
void press_escape_key(HWND dialog) {
    press_key(dialog, VK_ESCAPE);
}

// Enter would be the default button's command, but that button (IDOK) is disabled.
void press_enter_key(HWND dialog) {
    press_key(dialog, VK_RETURN);
}

void wait_a_tick(HWND) {}

bool is_open(HWND dialog) {
    return IsWindow(dialog) && IsWindowVisible(dialog);
}

using Step = void (*)(HWND dialog);

std::vector<Step> steps;
size_t next_step = 0;
HWND seen_dialog = nullptr;
int ticks_after_last_step = 0;

// One step per tick. Every step but the last must leave the box open; the last must close it,
// at once or, for a key that goes through the input queue, within a few ticks.
void CALLBACK on_tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = find_open_dialog();
    if (dialog == nullptr) return;
    seen_dialog = dialog;
    if (next_step < steps.size()) {
        steps[next_step++](dialog);
        if (next_step < steps.size()) CHECK(is_open(dialog));
        return;
    }
    if (++ticks_after_last_step > 10) {
        std::printf("FAILED: the box is still open after its last step\n");
        ++check_failures;
        EndDialog(dialog, 0); // never leave the modal loop running
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: about_host <module> <run> [screenshot.png]\n");
        return 2;
    }
    const std::string run = argv[2];
    if (argc > 3) screenshot_path = argv[3];

    const std::string module_path = windows_path(argv[1]);
    HMODULE module = LoadLibraryA(module_path.c_str());
    CHECK(module != nullptr);
    if (module == nullptr) return 1;
    auto plugin_main = find_plugin_main(module);
    CHECK(plugin_main != nullptr);
    if (plugin_main == nullptr) return 1;
    void* shell_execute =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "ShellExecuteW"));
    CHECK_EQ(patch_imports(module, shell_execute, reinterpret_cast<void*>(record_shell_execute)),
             1);

    if (run != "no_owner") owner_window = create_host_window("Host", 60, 40, 900, 700);
    PlatformData platform{reinterpret_cast<intptr_t>(owner_window)};
    AboutRecord about{};
    about.platformData = run == "no_owner" ? nullptr : &platform;
    about.sSPBasic = run == "no_basic_suite" ? nullptr : &basic_suite;
    if (run == "refused") host_log.refusal = 0x4E6F7065; // 'Nope'
    host_log.hand_out_nothing = run == "nothing_handed_out";

    size_t expected_browses = 0;
    size_t expected_shell_opens = 0;
    int expected_acquisitions = 0;
    bool expect_release = false;
    steps.push_back(inspect);
    if (run == "link") {
        steps.push_back(click_link);
        steps.push_back([](HWND dialog) {
            CHECK_EQ(host_log.browsed.size(), 1u);
            CHECK_EQ(host_log.acquisitions, 1);
            click_link(dialog);
        });
        steps.push_back([](HWND dialog) { SendMessageA(dialog, WM_CHAR, 'a', 0); });
        steps.push_back(click_surface);
        expected_browses = 2;
        expected_acquisitions = 1;
        expect_release = true;
    } else if (run == "refused" || run == "no_basic_suite" || run == "nothing_handed_out") {
        // Without the host's suite Windows opens the address, at every click.
        steps.push_back(click_link);
        steps.push_back(click_link);
        steps.push_back(click_surface);
        expected_acquisitions = run == "no_basic_suite" ? 0 : 2;
        expected_shell_opens = 2;
    } else if (run == "escape") {
        steps.push_back([](HWND dialog) { SendMessageA(dialog, WM_CHAR, 27, 0); });
    } else if (run == "enter") {
        steps.push_back([](HWND dialog) { SendMessageA(dialog, WM_CHAR, 13, 0); });
    } else if (run == "ok") {
        steps.push_back(
            [](HWND dialog) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); });
    } else if (run == "cancel") {
        steps.push_back([](HWND dialog) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
    } else if (run == "escape_key") {
        steps.push_back(press_escape_key);
    } else if (run == "enter_key") {
        // The key neither closes the box nor opens the link; a click on the surface then does.
        steps.push_back(press_enter_key);
        for (int tick = 0; tick < 5; ++tick)
            steps.push_back(wait_a_tick);
        steps.push_back(click_surface);
    } else if (run == "no_click" || run == "no_owner") {
        steps.push_back(click_surface);
    } else {
        std::printf("unknown run %s\n", run.c_str());
        return 2;
    }

    const UINT_PTR timer = SetTimer(nullptr, 0, 100, on_tick);
    int16_t result = 0x1234;
    intptr_t data = 0;
    plugin_main(0, &about, &data, &result);
    KillTimer(nullptr, timer);

    CHECK(seen_dialog != nullptr);
    CHECK_EQ(next_step, steps.size());
    CHECK(!IsWindow(seen_dialog)); // the modal loop has ended and destroyed the box
    CHECK_EQ(result, 0x1234);
    CHECK_EQ(host_log.acquisitions, expected_acquisitions);
    CHECK_EQ(host_log.browsed.size(), expected_browses);
    for (const std::string& url : host_log.browsed)
        CHECK_STR(url, std::string("http://") + BRIGHTFADE_MAKER_DOMAIN);
    for (const std::string& url : host_log.browsed)
        std::printf("BrowseUrl(\"%s\")\n", url.c_str());
    CHECK_EQ(host_log.shell_opened.size(), expected_shell_opens);
    for (const std::string& opened : host_log.shell_opened) {
        CHECK_STR(opened, std::string("open http://") + BRIGHTFADE_MAKER_DOMAIN);
        std::printf("ShellExecuteW(%s)\n", opened.c_str());
    }

    // Unloading gives the suite back, once, only if a click acquired it.
    CHECK(host_log.released.empty());
    CHECK(FreeLibrary(module));
    if (expect_release) {
        CHECK_EQ(host_log.released.size(), 1u);
        if (!host_log.released.empty())
            CHECK_STR(host_log.released[0], std::string(kFileListSuiteName) + "/4");
    } else {
        CHECK(host_log.released.empty());
    }
    std::printf("ReleaseSuite calls at unload: %zu\n", host_log.released.size());

    if (owner_window != nullptr) DestroyWindow(owner_window);
    std::printf("%s: %s\n", run.c_str(), check_failures == 0 ? "passed" : "FAILED");
    return check_failures == 0 ? 0 : 1;
}
