// The main window's controls: one table, created at run time in its order.
#pragma once
#include <windows.h>

#include "app/layout.h"
#include "app/window_ids.h"

enum KeypadKind { KEYPAD_STATIC, KEYPAD_EDIT, KEYPAD_BUTTON };

struct KeypadControl {
    KeypadKind kind;
    int id;
    const char *label;  // null for the edit fields and for the keys' buttons (see ControlLabel)
    ControlRect rect;
    DWORD extra_style;
};

// Every control of the main window, in creation order (which is also the Tab order).
inline constexpr KeypadControl KEYPAD_CONTROLS[] = {
    {KEYPAD_STATIC, IDC_ADDRESS_LABEL, "Halcyra IP", {10, 8, 58, 20}, 0},
    {KEYPAD_EDIT, IDC_ADDRESS, NULL, {60, 6, 120, 20}, ES_AUTOHSCROLL},
    {KEYPAD_BUTTON, IDC_POWER, NULL, {120, 28, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_1, NULL, {42, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_2, NULL, {74, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_3, NULL, {106, 60, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_4, NULL, {42, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_5, NULL, {74, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_6, NULL, {106, 92, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_7, NULL, {42, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_8, NULL, {74, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_9, NULL, {106, 124, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_DIGIT_0, NULL, {74, 156, 30, 30}, 0},
    {KEYPAD_BUTTON, IDC_INFO, NULL, {22, 156, 50, 30}, 0},
    {KEYPAD_BUTTON, IDC_GUIDE, NULL, {106, 156, 50, 30}, 0},
    {KEYPAD_BUTTON, IDC_UP, NULL, {72, 190, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_LEFT, NULL, {34, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_OK, NULL, {72, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_RIGHT, NULL, {110, 222, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_HOME, NULL, {34, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_DOWN, NULL, {72, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_BACK, NULL, {110, 254, 36, 30}, 0},
    {KEYPAD_BUTTON, IDC_PLAY, NULL, {0, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_REVERSE, NULL, {60, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_FORWARD, NULL, {120, 288, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_PAUSE, NULL, {0, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_RECORD, NULL, {60, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_STOP, NULL, {120, 318, 60, 30}, 0},
    {KEYPAD_BUTTON, IDC_CHAN_UP, NULL, {10, 352, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_CHAN_DOWN, NULL, {10, 392, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_VOL_UP, NULL, {130, 352, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_VOL_DOWN, NULL, {130, 392, 40, 40}, BS_MULTILINE},
    {KEYPAD_BUTTON, IDC_MUTE, NULL, {70, 362, 40, 25}, 0},
    {KEYPAD_BUTTON, IDC_ZOOM, NULL, {70, 397, 40, 25}, 0},
    {KEYPAD_BUTTON, IDC_PUNCTUATION1, NULL, {0, 434, 90, 30}, 0},
    {KEYPAD_BUTTON, IDC_PUNCTUATION2, NULL, {90, 434, 90, 30}, 0},
    {KEYPAD_BUTTON, IDC_SEND_TEST, "", {0, 468, 180, 36}, BS_GROUPBOX},
    {KEYPAD_BUTTON, IDC_SEND_TEST, "Send Test", {4, 479, 56, 20}, BS_DEFPUSHBUTTON},
    {KEYPAD_EDIT, IDC_FREE_TEXT, NULL, {64, 479, 112, 20}, ES_AUTOHSCROLL},
};
const int KEYPAD_CONTROL_COUNT = sizeof(KEYPAD_CONTROLS) / sizeof(KEYPAD_CONTROLS[0]);

// A control's label: a key button's is its key's (keys/), the others' their own.
const char *ControlLabel(const KeypadControl &control);

HWND CreateButton(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label);
HWND CreateEdit(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect, int id);
HWND CreateStatic(HWND parent, HINSTANCE instance, DWORD extra_style, const ControlRect &rect,
                  int id, const char *label);
// Shows the address in the field as dotted decimal text.
void WriteAddressField(HWND window, const unsigned char *address, int field_id);
