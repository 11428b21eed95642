#include "app/wake_box.h"

#include <stdio.h>
#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"
#include "app/key_commands.h"
#include "app/layout.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "resources/resource_ids.h"
#include "transport/command_transaction.h"
#include "transport/wake.h"

namespace {

const DialogControl WAKE_BOX_CONTROLS[] = {
    {"Static", IDC_WAKE_HARDWARE_LABEL, "Hardware address:", {10, 13, 110, 18}, 0},
    {"Edit", IDC_WAKE_HARDWARE, "", {122, 10, 168, 22}, WS_GROUP | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
    {"Static", IDC_WAKE_STATUS, "", {10, 40, 280, 50}, 0},
    {"Button", IDOK, "Wake", {130, 96, 78, 24}, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {"Button", IDCANCEL, "Close", {212, 96, 78, 24}, WS_TABSTOP | BS_PUSHBUTTON},
};
// A client area of 300 x 130 and a font of 14 pixels, at 96 dpi.
const DialogLayout WAKE_BOX_LAYOUT = {WAKE_BOX_CONTROLS, sizeof(WAKE_BOX_CONTROLS) / sizeof(WAKE_BOX_CONTROLS[0]), 300, 130,
                                      {14, FW_NORMAL}};
const int STATUS_TEXT_MAX = 200;

// The dialog's state; lives on the stack of OpenWakeBox while the dialog runs.
struct WakeBox {
    HWND main_window;
    HFONT font;  // the dialog's; deleted when it closes or is replaced
};

WakeBox *StateOf(HWND dialog) { return (WakeBox *)GetWindowLongPtrA(dialog, DWLP_USER); }

void ShowStatus(HWND dialog, const char *text) { SetDlgItemTextA(dialog, IDC_WAKE_STATUS, text); }

// Checks both addresses, sends, keeps the pair and says what went where.
void Wake(HWND dialog, WakeBox *box)
{
    unsigned char address[4], hardware[6];
    if (!ReadBoxInUse(box->main_window, address) || Ipv4Value::Of(address).IsUnset()) {
        ShowStatus(dialog, "Type the box's address in the remote first. Nothing was sent.");
        return;
    }
    char typed[HARDWARE_TEXT_SIZE + 1] = {0};
    GetDlgItemTextA(dialog, IDC_WAKE_HARDWARE, typed, sizeof(typed));
    if (!ParseHardwareAddress(typed, hardware)) {
        ShowStatus(dialog, "Not a hardware address: type six pairs of hex digits with colons, "
                           "as 00:1a:2b:3c:4d:5e. Nothing was sent.");
        SetFocus(GetDlgItem(dialog, IDC_WAKE_HARDWARE));
        return;
    }
    WakeTarget target = PrepareWake(address, hardware);
    HCURSOR cursor = SetCursor(LoadCursor(NULL, IDC_WAIT));
    int sent = SendWake(target).Any();
    SetCursor(cursor);
    char destinations[WAKE_DESTINATIONS_TEXT_SIZE], shown[HARDWARE_TEXT_SIZE], text[STATUS_TEXT_MAX];
    DescribeWakeDestinations(target, destinations);
    HWAddrByteToStr(hardware, shown);
    if (!sent) {
        snprintf(text, sizeof(text), "The wake packet for %s could not be sent.", shown);
        ShowStatus(dialog, text);
        return;
    }
    snprintf(text, sizeof(text), "Sent the wake packet for %s to %s, UDP port %u, %d times.", shown, destinations,
             (unsigned)WAKE_PORT, WAKE_SENDS);
    ShowStatus(dialog, text);
    RemoteWindowState *state = WindowStateOf(box->main_window);
    if (state && AddWakeAddress(&state->wake_box.known, address, hardware)) SaveWakeAddresses(state->wake_box.known);
}

BOOL OnInitDialog(HWND dialog, WakeBox *box)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)box);
    BuildDialog(dialog, box->main_window, WAKE_BOX_LAYOUT, &box->font);
    SendDlgItemMessageA(dialog, IDC_WAKE_HARDWARE, EM_LIMITTEXT, HARDWARE_TEXT_SIZE - 1, 0);
    unsigned char address[4], hardware[6];
    RemoteWindowState *state = WindowStateOf(box->main_window);
    bool known = state && ReadBoxInUse(box->main_window, address) &&
                 FindWakeAddress(state->wake_box.known, address, hardware);
    if (known) {
        char shown[HARDWARE_TEXT_SIZE];
        HWAddrByteToStr(hardware, shown);
        SetDlgItemTextA(dialog, IDC_WAKE_HARDWARE, shown);
    }
    ShowStatus(dialog, known ? "The box's hardware address, learned while it was on. Wake sends the wake packet."
                             : "No hardware address is known for the box in use: type it, then Wake.");
    SetFocus(GetDlgItem(dialog, IDC_WAKE_HARDWARE));
    return FALSE;  // the focus is set
}

INT_PTR CALLBACK WakeBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    WakeBox *box = StateOf(dialog);
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, (WakeBox *)lParam);
    if (!box) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) Wake(dialog, box);
        else if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        else return FALSE;
        return TRUE;
    }
    return AnswerLayoutMessage(dialog, WAKE_BOX_LAYOUT, &box->font, message, wParam, lParam);
}

}  // namespace

void PrepareWakeBox(HWND window, WakeBoxUse *use)
{
    LoadWakeAddresses(&use->known);
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING, IDM_WAKE_BOX, "&Wake box...");
}

void LearnHardwareAddress(HWND window, WakeBoxUse *use, LPARAM lParam)
{
    Ipv4Value address = Ipv4Value::FromNotice((uintptr_t)lParam);
    if (address.IsUnset()) return;
    if (use->any_looked_up && memcmp(use->looked_up, address.bytes, 4) == 0) return;
    if (!StartHardwareAddressLookup(window, address.bytes)) return;
    address.CopyTo(use->looked_up);
    use->any_looked_up = true;
}

void KeepHardwareAddress(WakeBoxUse *use, LPARAM lParam)
{
    LearnedHardwareAddress *learned = (LearnedHardwareAddress *)lParam;
    if (AddWakeAddress(&use->known, learned->address, learned->hardware)) SaveWakeAddresses(use->known);
    delete learned;
}

bool WakeAddressKnown(const WakeBoxUse &use, LPARAM lParam)
{
    unsigned char hardware[6];
    return FindWakeAddress(use.known, Ipv4Value::FromNotice((uintptr_t)lParam).bytes, hardware);
}

void OpenWakeBox(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state || state->wake_box.open) return;
    state->wake_box.open = true;
    WakeBox box = {window, NULL};
    DialogBoxParamA(g_Instance, MAKEINTRESOURCEA(IDD_WAKE_BOX), window, WakeBoxProc, (LPARAM)&box);
    state = WindowStateOf(window);  // the main window may have gone while the dialog ran
    if (state) state->wake_box.open = false;
}

bool TranslateWakeBoxKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != 'W') return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Ctrl+W alone: with Alt too it is AltGr, which types a character.
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
    OpenWakeBox(window);
    return true;
}
