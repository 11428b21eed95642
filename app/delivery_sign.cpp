#include "app/delivery_sign.h"

#include <commctrl.h>
#include <string.h>
#include <stdio.h>

#include "address/ipv4_value.h"
#include "app/window_ids.h"
#include "address/address.h"
#include "app/accessible_names.h"
#include "app/display_scale.h"
#include "app/favourites.h"
#include "app/keypad.h"
#include "app/window_state.h"
#include "keys/keys.h"
#include "transport/system_library.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"

namespace {

// The sign's colours; a high-contrast theme's highlight colours take their place.
const COLORREF SIGN_BACKGROUND = RGB(204, 0, 0);
const COLORREF SIGN_TEXT = RGB(255, 255, 255);
// The tooltip's last line, for as long as the window offers a search for the box (Ctrl+F).
const char SIGN_FIND_HINT[] = "\r\nCtrl+F finds the box.";
// Before it, when no connection was made and the box's hardware address is known.
const char SIGN_WAKE_HINT[] = "\r\nIf the box is in standby, Wake box (Ctrl+W) may switch it on.";
// EVENT_OBJECT_LIVEREGIONCHANGED (Windows 8 on); not in the Windows 7 headers.
const DWORD LIVE_REGION_CHANGED_EVENT = 0x8019;
const int KEY_NAME_MAX = 32;       // the longest key name has 17 characters
const int SIGN_TIP_WIDTH = 240;    // pixels at 96 dpi: the tip about as wide as the window

// The tooltip's two areas: the label (a static lets the mouse through to the window, so its
// area is a rectangle of the window) and the address field.
void DescribeTool(HWND window, int which, TOOLINFOA *tool)
{
    ZeroMemory(tool, sizeof(*tool));
    tool->cbSize = TTTOOLINFOA_V2_SIZE;  // the size that comctl32 before version 6 takes
    tool->hwnd = window;
    if (which == 0) {
        tool->uFlags = TTF_SUBCLASS;
        tool->uId = IDC_ADDRESS_LABEL;
        HWND label = GetDlgItem(window, IDC_ADDRESS_LABEL);
        if (label) {
            GetWindowRect(label, &tool->rect);
            MapWindowPoints(HWND_DESKTOP, window, (POINT *)&tool->rect, 2);
        }
    } else {
        tool->uFlags = TTF_SUBCLASS | TTF_IDISHWND;
        tool->uId = (UINT_PTR)GetDlgItem(window, IDC_ADDRESS);
    }
}

// "Key NAME" for the key of the tag, or the free-text line.
void DescribeCommand(unsigned short tag, char *text, int size)
{
    const KeyCommand *key = KeyCommandOfTag(tag & FAVOURITE_KEY_TAG_MASK);
    lstrcpynA(text, key ? "Key " : "The free-text line", size);
    if (key) lstrcpynA(text + 4, key->name, size - 4);
}

void SetTipText(HWND window, const DeliverySign *sign, const char *text)
{
    if (!sign->tip) return;
    for (int which = 0; which < 2; ++which) {
        TOOLINFOA tool;
        DescribeTool(window, which, &tool);
        tool.lpszText = (LPSTR)text;
        SendMessageA(sign->tip, TTM_UPDATETIPTEXTA, 0, (LPARAM)&tool);
    }
    SendMessageA(sign->tip, TTM_ACTIVATE, sign->undelivered, 0);
}

// The common controls are loaded when the sign first shows, not at start: the program starts
// without them, as fast as a plain window, and a session without an undelivered command never
// loads them. They stay loaded for the rest of the process, as an imported DLL would.
void CreateSignTip(HWND window, DeliverySign *sign)
{
    sign->tip_tried = true;
    HMODULE common_controls = LoadSystemLibrary("comctl32.dll");
    if (!common_controls) return;
    typedef BOOL(WINAPI * InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX *);
    InitCommonControlsExFunction init_common_controls =
        (InitCommonControlsExFunction)(void *)GetProcAddress(common_controls, "InitCommonControlsEx");
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_BAR_CLASSES};
    if (!init_common_controls || !init_common_controls(&classes)) return;
    // Topmost, so that it shows over a window that is always on top. Not owned by the window:
    // under Wine a topmost window that it owns keeps it from becoming topmost itself.
    sign->tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                                (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE), NULL);
    if (!sign->tip) return;
    PlaceDeliverySignTip(window, sign);
    for (int which = 0; which < 2; ++which) {
        TOOLINFOA tool;
        DescribeTool(window, which, &tool);
        tool.lpszText = (LPSTR) "";
        SendMessageA(sign->tip, TTM_ADDTOOLA, 0, (LPARAM)&tool);
    }
    SendMessageA(sign->tip, TTM_ACTIVATE, FALSE, 0);
}

// The label paints its whole rectangle, over the first pixels of the address field that it
// overlaps; the field is drawn again after it, so that it stays whole.
void RedrawLabelAndField(HWND window)
{
    const UINT now = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
    RedrawWindow(GetDlgItem(window, IDC_ADDRESS_LABEL), NULL, NULL, now);
    RedrawWindow(GetDlgItem(window, IDC_ADDRESS), NULL, NULL, now | RDW_FRAME);
}

// The label's text as the keypad table gives it.
const char *LabelText()
{
    for (const KeypadControl &control : KEYPAD_CONTROLS)
        if (control.id == IDC_ADDRESS_LABEL) return control.label;
    return "";
}

bool HighContrast()
{
    HIGHCONTRASTA contrast = {sizeof(contrast), 0, NULL};
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// A screen reader hears the label's new text, with the focus wherever it is; the menu item that
// explains the sign is offered while it shows.
void AnnounceSign(HWND window, bool shown)
{
    HWND label = GetDlgItem(window, IDC_ADDRESS_LABEL);
    AnnounceNameChange(label);
    // Windows 8 on: the label is a live region, whose change a reader speaks even where it
    // passes over name changes of a control without the focus. Earlier systems ignore the event.
    NotifyWinEvent(LIVE_REGION_CHANGED_EVENT, label, OBJID_CLIENT, CHILDID_SELF);
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) EnableMenuItem(menu, IDM_WHY_NOT_SENT, MF_BYCOMMAND | (shown ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void PrepareDeliverySign(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING | MF_GRAYED, IDM_WHY_NOT_SENT, "W&hy was it not sent?\tF1");
}

bool ExplainDeliverySign(HWND window, const DeliverySign *sign)
{
    if (!sign->undelivered) return false;
    char text[SIGN_EXPLANATION_MAX];
    lstrcpynA(text, sign->explanation, sizeof(text));  // the box's loop may change the sign
    MessageBoxA(window, text, SIGN_LABEL_TEXT, MB_OK);
    return true;
}

bool TranslateSignKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != VK_F1) return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
    RemoteWindowState *state = WindowStateOf(window);
    return state && ExplainDeliverySign(window, &state->sign);
}

void DestroyDeliverySignTip(DeliverySign *sign)
{
    if (sign->tip) DestroyWindow(sign->tip);
    sign->tip = NULL;
    sign->tip_tried = false;
    sign->undelivered = false;
}

LRESULT ShowDeliverySign(HWND window, DeliverySign *sign, WPARAM wParam, LPARAM lParam, bool offer_wake)
{
    char command[KEY_NAME_MAX + 24];
    DescribeCommand(UndeliveredTag(wParam), command, sizeof(command));
    char dotted[IPV4_TEXT_SIZE], explanation[SIGN_EXPLANATION_MAX];
    Ipv4Value::FromNotice((uintptr_t)lParam).Format(dotted);
    // A favourite's key says first which favourite stopped, and where.
    char lead[SIGN_EXPLANATION_MAX / 2];
    FavouriteSignLead(window, UndeliveredTag(wParam), lead, sizeof(lead));
    snprintf(explanation, sizeof(explanation), "%s%s was not sent to %s: %s.%s%s", lead, command, dotted,
             UndeliveredReason(UndeliveredError(wParam)), offer_wake ? SIGN_WAKE_HINT : "", SIGN_FIND_HINT);
    // The same words again (a program that posts thousands of keys the transport refuses) draw
    // nothing: the window's queue is not held by redrawing them.
    if (sign->undelivered && !sign->own_words && strcmp(explanation, sign->explanation) == 0) return 0;
    lstrcpynA(sign->explanation, explanation, SIGN_EXPLANATION_MAX);
    return ShowSignExplanation(window, sign);
}

namespace {

// The sign with that label and the explanation in sign->explanation; the label is drawn and
// announced when its words change.
void ShowSign(HWND window, DeliverySign *sign, const char *label, bool own_words)
{
    bool was_shown = sign->undelivered && !sign->own_words && !own_words;
    sign->undelivered = true;
    sign->own_words = own_words;
    if (!was_shown) {
        SetDlgItemTextA(window, IDC_ADDRESS_LABEL, label);
        RedrawLabelAndField(window);
        // After the sign is drawn: the accessibility DLLs load the first time.
        if (!sign->live_region_tried) MakeLiveRegion(GetDlgItem(window, IDC_ADDRESS_LABEL));
        sign->live_region_tried = true;
        AnnounceSign(window, true);
    }
    // The sign drawn first: making the tooltip the first time takes a moment.
    if (!sign->tip_tried) CreateSignTip(window, sign);
    SetTipText(window, sign, sign->explanation);
}

}  // namespace

LRESULT ShowSignExplanation(HWND window, DeliverySign *sign)
{
    ShowSign(window, sign, SIGN_LABEL_TEXT, false);
    return 0;
}

void ShowSignWords(HWND window, DeliverySign *sign, const char *label, const char *explanation)
{
    lstrcpynA(sign->explanation, explanation, sizeof(sign->explanation));
    ShowSign(window, sign, label, true);
}

void AddToSignExplanation(HWND window, DeliverySign *sign, const char *line)
{
    if (!sign->undelivered) return;
    int used = lstrlenA(sign->explanation);
    lstrcpynA(sign->explanation + used, line, SIGN_EXPLANATION_MAX - used);
    SetTipText(window, sign, sign->explanation);
}

LRESULT ClearDeliverySign(HWND window, DeliverySign *sign)
{
    if (!sign->undelivered) return 0;
    sign->undelivered = false;
    sign->own_words = false;
    SetTipText(window, sign, "");
    sign->explanation[0] = 0;
    SetDlgItemTextA(window, IDC_ADDRESS_LABEL, LabelText());
    RedrawLabelAndField(window);
    AnnounceSign(window, false);
    return 0;
}

HBRUSH DeliverySignColours(const DeliverySign *sign, HDC dc, HWND control)
{
    if (!sign->undelivered || GetDlgCtrlID(control) != IDC_ADDRESS_LABEL) return NULL;
    bool contrast = HighContrast();
    COLORREF background = contrast ? GetSysColor(COLOR_HIGHLIGHT) : SIGN_BACKGROUND;
    SetTextColor(dc, contrast ? GetSysColor(COLOR_HIGHLIGHTTEXT) : SIGN_TEXT);
    SetBkColor(dc, background);
    SetDCBrushColor(dc, background);
    return (HBRUSH)GetStockObject(DC_BRUSH);  // a stock brush: nothing to free
}

void PlaceDeliverySignTip(HWND window, const DeliverySign *sign)
{
    if (!sign->tip) return;
    SendMessageA(sign->tip, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(SIGN_TIP_WIDTH, WindowDpi(window)));
    TOOLINFOA tool;
    DescribeTool(window, 0, &tool);
    SendMessageA(sign->tip, TTM_NEWTOOLRECTA, 0, (LPARAM)&tool);
}
