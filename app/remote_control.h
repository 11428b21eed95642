// The application's one controller: the keypad font and the device address, with the
// operations that build the keypad, send key commands and keep the settings.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "transport/command_protocol.h"

struct RemoteControl {
    HFONT keypad_font;                 // null until the keypad is built, or if creating it failed
    unsigned char device_address[4];   // in the order typed: a.b.c.d is a, b, c, d

    // Keypad (keypad.cpp)
    int BuildKeypad(HWND window, const CREATESTRUCTA *creation);
    // Key commands (key_commands.cpp)
    bool CheckAddress(HWND window);
    bool SendKey(HWND window, const char *bytes, int length);
    bool SendKeyCommands(HWND window, unsigned id);
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

// Reads the address field; on a valid single address writes its bytes and returns 1,
// otherwise returns 0 and leaves the address as it was.
int ReadAddressField(HWND window, unsigned char *address, int field_id);
// Shows the address in the field as dotted decimal text.
void WriteAddressField(HWND window, const unsigned char *address, int field_id);

// One row of the key-command table: the key commands that a command id sends, in order.
struct KeyCommandRow {
    unsigned id;
    int count;
    const KeyCommand *keys[4];
};
// The row of an id, or null when the id sends no key command.
const KeyCommandRow *FindKeyCommandRow(unsigned id);
extern const KeyCommandRow KEY_COMMAND_TABLE[];
extern const int KEY_COMMAND_TABLE_SIZE;
