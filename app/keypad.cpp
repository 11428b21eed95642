#include "app/command_ids.h"
#include "app/display_scale.h"
#include "app/keypad.h"
#include "app/remote_control.h"

namespace {

const DWORD BUTTON_BASE_STYLE = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP
const DWORD EDIT_BASE_STYLE = 0x50810000;    // WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP
const DWORD STATIC_BASE_STYLE = 0x50000000;  // WS_CHILD | WS_VISIBLE
const int KEYPAD_FONT_HEIGHT = 12;  // pixels at 96 dpi

HFONT CreateKeypadFont(UINT dpi)
{
    return CreateFontA(ScaleForDpi(KEYPAD_FONT_HEIGHT, dpi), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

// Each value scaled on its own: controls that touch at 96 dpi still touch at the usual scales.
ControlRect ScaledRect(const ControlRect &rect, UINT dpi)
{
    ControlRect scaled = {ScaleForDpi(rect.x, dpi), ScaleForDpi(rect.y, dpi), ScaleForDpi(rect.width, dpi),
                          ScaleForDpi(rect.height, dpi)};
    return scaled;
}

HWND CreateControl(const char *window_class, DWORD style, HWND parent, HINSTANCE instance,
                   const ControlRect &rect, int id, const char *label)
{
    return CreateWindowExA(0, window_class, label, style, rect.x, rect.y, rect.width, rect.height,
                           parent, (HMENU)(INT_PTR)id, instance, NULL);
}

}  // namespace

// Every control of the main window, in creation order (which is also the Tab order).
const KeypadControl KEYPAD_CONTROLS[KEYPAD_CONTROL_COUNT] = {
    {KEYPAD_STATIC, IDC_ADDRESS_LABEL, "Halcyra IP", {10, 8, 58, 20}, 0},
    {KEYPAD_EDIT, IDC_ADDRESS, NULL, {60, 6, 120, 20}, ES_AUTOHSCROLL},
    {KEYPAD_BUTTON, IDC_POWER, "POWER", {120, 28, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_1, "1", {42, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_2, "2", {74, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_3, "3", {106, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_4, "4", {42, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_5, "5", {74, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_6, "6", {106, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_7, "7", {42, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_8, "8", {74, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_9, "9", {106, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_0, "0", {74, 156, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_INFO, "INFO", {22, 156, 50, 30}, 0},
    {KEYPAD_BUTTON, IDC_GUIDE, "GUIDE", {106, 156, 50, 30}, 0},
    {KEYPAD_BUTTON, IDC_UP, "UP", {72, 190, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_LEFT, "LEFT", {34, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_OK, "OK", {72, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_RIGHT, "RIGHT", {110, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_HOME, "HOME", {34, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_DOWN, "DOWN", {72, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_BACK, "BACK", {110, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_PLAY, "PLAY", {0, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_REVERSE, "REVERSE", {60, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_FORWARD, "FORWARD", {120, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_PAUSE, "PAUSE", {0, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_RECORD, "RECORD", {60, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_STOP, "STOP", {120, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_CHAN_UP, "CHAN\nUP", {10, 352, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_CHAN_DOWN, "CHAN\nDOWN", {10, 392, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_VOL_UP, "VOL\nUP", {130, 352, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_VOL_DOWN, "VOL\nDOWN", {130, 392, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_MUTE, "MUTE", {70, 362, 40, 25}, 0},
    {KEYPAD_BUTTON, IDC_ZOOM, "ZOOM", {70, 397, 40, 25}, 0},
    {KEYPAD_BUTTON, IDC_PUNCTUATION1, "PUNCTUATION1", {0, 434, 90, 30}, 0},
    {KEYPAD_BUTTON, IDC_PUNCTUATION2, "PUNCTUATION2", {90, 434, 90, 30}, 0},
    {KEYPAD_BUTTON, IDC_SEND_TEST, "", {0, 468, 180, 36}, BS_GROUPBOX},
    {KEYPAD_BUTTON, IDC_SEND_TEST, "Send Test", {4, 479, 56, 20}, BS_DEFPUSHBUTTON},
    {KEYPAD_EDIT, IDC_FREE_TEXT, NULL, {64, 479, 112, 20}, ES_AUTOHSCROLL},
};

HWND CreateButton(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label)
{
    return CreateControl("button", extra_style | BUTTON_BASE_STYLE, parent, instance, rect, id, label);
}

HWND CreateEdit(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect, int id)
{
    return CreateControl("Edit", extra_style | EDIT_BASE_STYLE, parent, instance, rect, id, NULL);
}

HWND CreateStatic(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label)
{
    return CreateControl("Static", extra_style | STATIC_BASE_STYLE, parent, instance, rect, id, label);
}

void WriteAddressField(HWND window, const unsigned char *address, int field_id)
{
    char text[20];
    wsprintfA(text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    SetDlgItemTextA(window, field_id, text);
}

int RemoteControl::BuildKeypad(HWND window, const CREATESTRUCTA *creation)
{
    UINT dpi = WindowDpi(window);
    keypad_font = CreateKeypadFont(dpi);
    LoadWindowPlacement(window);
    // A saved position on a monitor of another scale has changed the window's dpi.
    UINT placed_dpi = WindowDpi(window);
    if (placed_dpi != dpi) {
        HFONT placed_font = CreateKeypadFont(placed_dpi);
        if (placed_font) {
            if (keypad_font) DeleteObject(keypad_font);
            keypad_font = placed_font;
            dpi = placed_dpi;
        }
    }
    for (int row = 0; row < KEYPAD_CONTROL_COUNT; ++row) {
        const KeypadControl &control = KEYPAD_CONTROLS[row];
        ControlRect rect = ScaledRect(control.rect, dpi);
        HWND created = NULL;
        switch (control.kind) {
        case KEYPAD_STATIC:
            created = CreateStatic(window, creation->hInstance, control.extra_style, rect,
                                   control.id, control.label);
            break;
        case KEYPAD_EDIT:
            created = CreateEdit(window, creation->hInstance, control.extra_style, rect, control.id);
            break;
        case KEYPAD_BUTTON:
            created = CreateButton(window, creation->hInstance, control.extra_style, rect,
                                   control.id, control.label);
            break;
        }
        keypad_controls[row] = created;
        if (created && keypad_font) SendMessageA(created, WM_SETFONT, (WPARAM)keypad_font, 1);
        if (control.id == IDC_ADDRESS) WriteAddressField(window, device_address, IDC_ADDRESS);
    }
    return 0;
}

void RemoteControl::ScaleKeypad(UINT dpi)
{
    HFONT new_font = CreateKeypadFont(dpi);
    for (int row = 0; row < KEYPAD_CONTROL_COUNT; ++row) {
        HWND control = keypad_controls[row];
        if (!control) continue;
        ControlRect rect = ScaledRect(KEYPAD_CONTROLS[row].rect, dpi);
        SetWindowPos(control, NULL, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (new_font) SendMessageA(control, WM_SETFONT, (WPARAM)new_font, 1);
    }
    // No control holds the old font any more; without a new one they all keep the old.
    if (!new_font) return;
    if (keypad_font) DeleteObject(keypad_font);
    keypad_font = new_font;
}
