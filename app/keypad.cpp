#include "app/window_ids.h"
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
