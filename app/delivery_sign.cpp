#include "app/delivery_sign.h"

#include <commctrl.h>

#include "address/ipv4_value.h"
#include "app/window_ids.h"
#include "address/address.h"
#include "app/display_scale.h"
#include "app/keypad.h"
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
const int KEY_NAME_MAX = 32;       // the longest key name has 17 characters
const int SIGN_TIP_MAX = 256;      // the longest tip has about 130
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
    const KeyCommand *key = KeyCommandOfTag(tag);
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

}  // namespace

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
    char dotted[IPV4_TEXT_SIZE];
    Ipv4Value::FromNotice((uintptr_t)lParam).Format(dotted);
    char tip[SIGN_TIP_MAX];
    wsprintfA(tip, "%s was not sent to %s: %s.%s%s", command, dotted, UndeliveredReason(UndeliveredError(wParam)),
              offer_wake ? SIGN_WAKE_HINT : "", SIGN_FIND_HINT);
    bool was_shown = sign->undelivered;
    sign->undelivered = true;
    if (!was_shown) {
        SetDlgItemTextA(window, IDC_ADDRESS_LABEL, SIGN_LABEL_TEXT);  // what a screen reader reads
        RedrawLabelAndField(window);
    }
    // The sign drawn first: making the tooltip the first time takes a moment.
    if (!sign->tip_tried) CreateSignTip(window, sign);
    SetTipText(window, sign, tip);
    return 0;
}

LRESULT ClearDeliverySign(HWND window, DeliverySign *sign)
{
    if (!sign->undelivered) return 0;
    sign->undelivered = false;
    SetTipText(window, sign, "");
    SetDlgItemTextA(window, IDC_ADDRESS_LABEL, LabelText());
    RedrawLabelAndField(window);
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
