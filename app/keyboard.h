// The keypad from the keyboard: a table of keyboard keys and one of media and browser keys,
// each naming the command id of a keypad button; the key then goes the way of a click.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct KeyboardKey {
    UINT virtual_key;
    unsigned id;
    const char *name;  // as the key list shows it
};

struct AppCommandKey {
    int app_command;  // APPCOMMAND_...
    unsigned id;
    const char *name;
};

extern const KeyboardKey KEYBOARD_KEYS[];
extern const int KEYBOARD_KEY_COUNT;
extern const AppCommandKey APP_COMMAND_KEYS[];
extern const int APP_COMMAND_KEY_COUNT;

// How long a button looks pressed after its key.
const UINT KEY_PRESSED_LOOK_MS = 150;  // long enough to see, short enough for a fast repeat

// The message loop's step before the dialog manager: a keypad key pressed outside the two text
// fields is sent as a click on its button. Returns true when it took the message.
bool TranslateKeypadKey(HWND window, const MSG *msg);
// WM_APPCOMMAND: true when the command is one of the table's and was sent as a click, or was
// dropped as a repeat while a command is under way; commands from the mouse are left alone.
bool RouteAppCommand(HWND window, LPARAM lParam);
// The pressed look's timer ran out: the button looks as before.
void ReleasePressedLook(HWND window);
// Adds the key list to the window's system menu, and shows the list when it is chosen.
void AddKeyListMenuItem(HWND window);
void ShowKeyList(HWND window);
