// The about box on Windows: the modal dialog from template 16000 and its dialog procedure.
// The decisions (which message does what, where the box goes, what the link opens) are made
// by the portable code in this folder; this file only talks to USER32.
#include "about/about_box.h"

#include <windows.h>

#include "about/about_messages.h"
#include "about/centre_over_parent.h"

static_assert(kMessageInitDialog == WM_INITDIALOG);
static_assert(kMessageChar == WM_CHAR);
static_assert(kMessageCommand == WM_COMMAND);
static_assert(kMessageLeftButtonDown == WM_LBUTTONDOWN);

namespace {

// Where the link button's address goes; set for the one modal box that is open.
AddressOpener link_opener = nullptr;

constexpr int kAboutDialogTemplate = 16000;

ScreenRect screen_rect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

void centre_dialog(HWND dialog) {
    HWND parent = GetParent(dialog);
    if (parent == nullptr) parent = GetDesktopWindow();

    RECT client;
    GetClientRect(parent, &client);
    POINT top_left{client.left, client.top};
    POINT bottom_right{client.right, client.bottom};
    ClientToScreen(parent, &top_left);
    ClientToScreen(parent, &bottom_right);

    RECT window;
    GetWindowRect(dialog, &window);

    CentreInputs in;
    in.parent_client = {top_left.x, top_left.y, bottom_right.x, bottom_right.y};
    in.dialog = screen_rect(window);
    in.title_button_width = GetSystemMetrics(SM_CXSIZE);
    in.has_system_menu = (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
    in.screen_width = GetSystemMetrics(SM_CXSCREEN);
    in.screen_height = GetSystemMetrics(SM_CYSCREEN);

    const WindowPlacement at = centre_over_parent(in);
    SetWindowPos(dialog, nullptr, at.x, at.y, at.width, at.height, SWP_NOZORDER);
}

void open_link_button(HWND dialog, int control_id) {
    char text[kLinkBufferSize] = {};
    GetDlgItemTextA(dialog, control_id, text, sizeof text);
    open_link(text, link_opener);
}

INT_PTR CALLBACK about_dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                        LPARAM /*lparam*/) {
    switch (about_action(message, wparam)) {
    case AboutAction::not_handled:
        return FALSE;
    case AboutAction::centre:
        centre_dialog(dialog);
        return TRUE;
    case AboutAction::swallow:
        return TRUE;
    case AboutAction::close:
        EndDialog(dialog, 0);
        return TRUE;
    case AboutAction::open_link:
        open_link_button(dialog, command_control_id(wparam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

void show_about_box(intptr_t owner, void* module_instance, AddressOpener open_address) {
    link_opener = open_address;
    // Its result does not matter: the box has nothing to report, and if it cannot be shown
    // the about command simply ends.
    DialogBoxParamA(static_cast<HINSTANCE>(module_instance), MAKEINTRESOURCEA(kAboutDialogTemplate),
                    reinterpret_cast<HWND>(owner), about_dialog_procedure, 0);
}
