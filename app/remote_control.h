// The application's one controller: the keypad font and the device address, with the
// operations that build the keypad, send key commands and keep the settings.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "app/keypad.h"
#include "keys/keys.h"

struct RemoteControl {
    HFONT keypad_font;                 // null until the keypad is built, or if creating it failed
    unsigned char device_address[4];   // in the order typed: a.b.c.d is a, b, c, d
    HWND keypad_controls[KEYPAD_CONTROL_COUNT];  // by table row; null where creation failed

    // Keypad (keypad.cpp)
    int BuildKeypad(HWND window, const CREATESTRUCTA *creation);
    void ScaleKeypad(UINT dpi);  // every control's rectangle and the font, for another dpi
    // Key commands (key_commands.cpp)
    bool CheckAddress(HWND window);
    bool SendKey(HWND window, const char *bytes, int length, unsigned short tag);
    bool SendKeyCommands(HWND window, unsigned id);
    // Whole or none; `mark` goes in the high byte of each key's tag (a favourite's run).
    bool SendKeys(HWND window, const KeyCommand *const *keys, int count, unsigned short mark = 0);
    bool SendFreeText(HWND window);
    // Settings (settings.cpp)
    void LoadDeviceAddress();
    void LoadWindowPlacement(HWND window);
    void SaveWindowRect(HWND window);
    void SaveDeviceAddress();
};

// Construction and teardown (main_window.cpp). Construction returns null when out of memory.
RemoteControl *CreateRemoteControl(HWND window, const CREATESTRUCTA *creation);
void DestroyRemoteControl(RemoteControl *remote);
