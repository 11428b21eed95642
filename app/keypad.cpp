#include "address/ipv4_value.h"
#include "app/window_ids.h"
#include "app/display_scale.h"
#include "app/keypad.h"
#include "app/layout.h"
#include "app/remote_control.h"
#include "keys/keys.h"

namespace {

const DWORD BUTTON_BASE_STYLE = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP
const DWORD EDIT_BASE_STYLE = 0x50810000;    // WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP
const DWORD STATIC_BASE_STYLE = 0x50000000;  // WS_CHILD | WS_VISIBLE
const LayoutFont KEYPAD_FONT = {12, FW_BOLD};  // pixels at 96 dpi

}  // namespace

HWND CreateButton(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label)
{
    return CreateControl(parent, instance, "button", extra_style | BUTTON_BASE_STYLE, rect, id, label);
}

HWND CreateEdit(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect, int id)
{
    return CreateControl(parent, instance, "Edit", extra_style | EDIT_BASE_STYLE, rect, id, NULL);
}

HWND CreateStatic(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label)
{
    return CreateControl(parent, instance, "Static", extra_style | STATIC_BASE_STYLE, rect, id, label);
}

const char *ControlLabel(const KeypadControl &control)
{
    if (control.label) return control.label;
    const KeyCommandRow *row = FindKeyCommandRow((unsigned)control.id);
    return row && row->label ? row->label : "";
}

void WriteAddressField(HWND window, const unsigned char *address, int field_id)
{
    char text[IPV4_TEXT_SIZE];
    Ipv4Value::Of(address).Format(text);
    SetDlgItemTextA(window, field_id, text);
}

int RemoteControl::BuildKeypad(HWND window, const CREATESTRUCTA *creation)
{
    UINT dpi = WindowDpi(window);
    keypad_font = CreateLayoutFont(KEYPAD_FONT, dpi);
    LoadWindowPlacement(window);
    // A saved position on a monitor of another scale has changed the window's dpi.
    UINT placed_dpi = WindowDpi(window);
    if (placed_dpi != dpi) {
        HFONT placed_font = CreateLayoutFont(KEYPAD_FONT, placed_dpi);
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
                                   control.id, ControlLabel(control));
            break;
        case KEYPAD_EDIT:
            created = CreateEdit(window, creation->hInstance, control.extra_style, rect, control.id);
            break;
        case KEYPAD_BUTTON:
            created = CreateButton(window, creation->hInstance, control.extra_style, rect,
                                   control.id, ControlLabel(control));
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
    HFONT new_font = CreateLayoutFont(KEYPAD_FONT, dpi);
    for (int row = 0; row < KEYPAD_CONTROL_COUNT; ++row)
        if (keypad_controls[row]) PlaceControl(keypad_controls[row], KEYPAD_CONTROLS[row].rect, dpi, new_font);
    KeepNewFont(&keypad_font, new_font);
}
