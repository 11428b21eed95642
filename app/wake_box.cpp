#include "app/wake_box.h"

#include <stdio.h>
#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"
#include "app/accessible_names.h"
#include "app/key_commands.h"
#include "app/keyboard_keys.h"
#include "app/layout.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "resources/resource_ids.h"
#include "transport/command_transaction.h"
#include "transport/wake.h"

namespace {

// Each label comes just before its control, which a screen reader names after it and its
// mnemonic moves to.
const DialogControl WAKE_BOX_CONTROLS[] = {
    {"Static", IDC_WAKE_HARDWARE_LABEL, "&Hardware address:", {10, 13, 110, 18}, 0},
    {"Edit", IDC_WAKE_HARDWARE, "", {122, 10, 168, 22}, WS_GROUP | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
    {"Static", IDC_WAKE_STATUS, "", {10, 40, 280, 50}, SS_NOPREFIX},  // may show what was typed
    {"Button", IDOK, "&Wake", {130, 96, 78, 24}, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {"Button", IDCANCEL, "&Close", {212, 96, 78, 24}, WS_TABSTOP | BS_PUSHBUTTON},
};
// A client area of 300 x 130 and a font of 14 pixels, at 96 dpi.
const DialogLayout WAKE_BOX_LAYOUT = {WAKE_BOX_CONTROLS, sizeof(WAKE_BOX_CONTROLS) / sizeof(WAKE_BOX_CONTROLS[0]), 300, 130,
                                      {14, FW_NORMAL}};
const int STATUS_TEXT_MAX = 200;

// The dialog's state; lives on the stack of OpenWakeBox while the dialog runs.
struct WakeBox {
    HWND main_window;
    HFONT font;       // the dialog's; deleted when it closes or is replaced
    bool waking;      // a wake's worker has not reported yet: Wake waits for it
    UINT_PTR tag;     // the latest wake's
};

WakeBox *StateOf(HWND dialog) { return (WakeBox *)DialogState(dialog); }

// A screen reader hears each new status, wherever the focus is.
void ShowStatus(HWND dialog, const char *text)
{
    SetDlgItemTextA(dialog, IDC_WAKE_STATUS, text);
    AnnounceNameChange(GetDlgItem(dialog, IDC_WAKE_STATUS));
}

// What went where: every datagram, none, or some (a destination refused is a failure).
void DescribeOutcome(const WakeOutcome &outcome, char *text, int size)
{
    char shown[HARDWARE_TEXT_SIZE], box[IPV4_TEXT_SIZE], broadcast[IPV4_TEXT_SIZE];
    unsigned char hardware[6];
    memcpy(hardware, outcome.target.hardware, 6);
    HWAddrByteToStr(hardware, shown);
    const WakeSent &sent = outcome.sent;
    bool whole = sent.box == WAKE_SENDS && (!outcome.target.has_broadcast || sent.broadcast == WAKE_SENDS);
    if (!sent.Any()) {
        snprintf(text, size, "The wake packet for %s could not be sent.", shown);
    } else if (whole) {
        char destinations[WAKE_DESTINATIONS_TEXT_SIZE];
        DescribeWakeDestinations(outcome.target, destinations);
        snprintf(text, size, "Sent the wake packet for %s to %s, UDP port %u, %d times.", shown, destinations,
                 (unsigned)WAKE_PORT, WAKE_SENDS);
    } else {
        Ipv4Value::Of(outcome.target.address).Format(box);
        // Three lines at most, with the longest addresses.
        int used = snprintf(text, size, "Some sends failed: wake packet for %s, %d of %d to %s", shown, sent.box,
                            WAKE_SENDS, box);
        if (outcome.target.has_broadcast && used > 0 && used < size) {
            Ipv4Value::Of(outcome.target.broadcast).Format(broadcast);
            used += snprintf(text + used, size - used, ", %d of %d to %s", sent.broadcast, WAKE_SENDS, broadcast);
        }
        if (used > 0 && used < size) snprintf(text + used, size - used, ".");
    }
}

// A pair that a datagram went out with is kept for the box.
void KeepPair(HWND main_window, const WakeOutcome &outcome)
{
    RemoteWindowState *state = WindowStateOf(main_window);
    if (outcome.sent.Any() && state && AddWakeAddress(&state->wake_box.known, outcome.target.address, outcome.target.hardware))
        SaveWakeAddresses(state->wake_box.known);
}

// Checks both addresses and starts the sends on a worker: the dialog answers meanwhile, and
// WM_WAKE_SENT says how they went.
void Wake(HWND dialog, WakeBox *box)
{
    if (box->waking) return;  // the wake under way reports first
    unsigned char address[4], hardware[6];
    if (!ReadBoxInUse(box->main_window, address) || Ipv4Value::Of(address).IsUnset()) {
        ShowStatus(dialog, "Type the box's address in the remote first. Nothing was sent.");
        return;
    }
    char typed[HARDWARE_TYPED_MAX + 2] = {0};
    GetDlgItemTextA(dialog, IDC_WAKE_HARDWARE, typed, sizeof(typed));
    HardwareAddressCheck check = ParseHardwareAddress(typed, hardware);
    if (check != HARDWARE_OK) {
        char text[STATUS_TEXT_MAX];
        if (check == HARDWARE_NOT_AN_ADDRESS)
            snprintf(text, sizeof(text), "Not a hardware address: type six pairs of hex digits with colons or dashes, "
                                         "as 00:1a:2b:3c:4d:5e. Nothing was sent.");
        else
            snprintf(text, sizeof(text), "Refused: %s. Nothing was sent.", HardwareAddressRule(check));
        ShowStatus(dialog, text);
        SetFocus(GetDlgItem(dialog, IDC_WAKE_HARDWARE));
        return;
    }
    if (!StartWake(dialog, address, hardware, ++box->tag)) {
        ShowStatus(dialog, "The wake packet could not be sent: no thread could be started for it.");
        return;
    }
    box->waking = true;
}

void OnWakeSent(HWND dialog, WakeBox *box, LPARAM lParam)
{
    WakeOutcome *outcome = (WakeOutcome *)lParam;
    if (!outcome) return;
    KeepPair(box->main_window, *outcome);
    if (outcome->tag == box->tag) {
        box->waking = false;
        char text[STATUS_TEXT_MAX];
        DescribeOutcome(*outcome, text, sizeof(text));
        ShowStatus(dialog, text);
    }
    delete outcome;
}

// An outcome posted before the close would be lost with the window's queue: kept and freed here.
// One posted after it finds no window, and its worker frees it.
void OnDestroy(HWND dialog, WakeBox *box)
{
    MSG msg;
    while (PeekMessageA(&msg, dialog, WM_WAKE_SENT, WM_WAKE_SENT, PM_REMOVE)) {
        WakeOutcome *outcome = (WakeOutcome *)msg.lParam;
        if (outcome) KeepPair(box->main_window, *outcome);
        delete outcome;
    }
}

BOOL OnInitDialog(HWND dialog, WakeBox *box)
{
    BeginDialog(dialog, box, box->main_window, WAKE_BOX_LAYOUT, &box->font);
    GiveAccessibleName(GetDlgItem(dialog, IDC_WAKE_HARDWARE), L"Hardware address");
    SendDlgItemMessageA(dialog, IDC_WAKE_HARDWARE, EM_LIMITTEXT, HARDWARE_TYPED_MAX, 0);
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
    if (!box) {
        if (message == WM_WAKE_SENT) delete (WakeOutcome *)lParam;  // nothing to tell
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) Wake(dialog, box);
        else if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        else return FALSE;
        return TRUE;
    case WM_WAKE_SENT:
        OnWakeSent(dialog, box, lParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(dialog, box);
        break;  // and the font goes
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
    WakeBox box = {window, NULL, false, 0};
    DialogBoxParamA(g_Instance, MAKEINTRESOURCEA(IDD_WAKE_BOX), window, WakeBoxProc, (LPARAM)&box);
    state = WindowStateOf(window);  // the main window may have gone while the dialog ran
    if (state) state->wake_box.open = false;
}

bool TranslateWakeBoxKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != 'W') return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Ctrl+W alone: with Alt too it is AltGr, which types a character.
    if (!CtrlAloneDown()) return false;
    OpenWakeBox(window);
    return true;
}
