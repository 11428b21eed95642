// The main window's controls: one table, created at run time in its order.
#pragma once
#include <windows.h>

#include "app/layout.h"

enum KeypadKind { KEYPAD_STATIC, KEYPAD_EDIT, KEYPAD_BUTTON };

struct KeypadControl {
    KeypadKind kind;
    int id;
    const char *label;  // null for the edit fields
    ControlRect rect;
    DWORD extra_style;
};

const int KEYPAD_CONTROL_COUNT = 39;
extern const KeypadControl KEYPAD_CONTROLS[KEYPAD_CONTROL_COUNT];

HWND CreateButton(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label);
HWND CreateEdit(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect, int id);
HWND CreateStatic(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label);
// Shows the address in the field as dotted decimal text.
void WriteAddressField(HWND window, const unsigned char *address, int field_id);
