// The keypad from the keyboard: a table of keyboard keys, each naming the command id of a keypad
// button; the key then goes the way of a click.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct KeyboardKey {
    UINT virtual_key;
    unsigned id;
    const char *name;  // as the key list shows it
};

extern const KeyboardKey KEYBOARD_KEYS[];
extern const int KEYBOARD_KEY_COUNT;

// The message loop's step before the dialog manager: a keypad key pressed outside the two text
// fields is sent as a click on its button. Returns true when it took the message.
bool TranslateKeypadKey(HWND window, const MSG *msg);
// Ctrl held alone: not with Alt (Ctrl+Alt is AltGr, which types a character) nor with Shift.
// The test of the window's Ctrl+letter and Ctrl+digit commands.
bool CtrlAloneDown();
