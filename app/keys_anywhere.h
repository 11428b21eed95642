// Keys from anywhere: while the system menu's "Keys work in other programs" is checked, the keys
// of one table are registered with the system (RegisterHotKey) and act on the remote while
// another program is in front, or the window is minimised. Off (the default) nothing is
// registered, and the media keys reach the remote only while it is in front.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct RemoteWindowState;

struct HotKey {
    UINT modifiers;    // MOD_CONTROL | MOD_ALT | MOD_SHIFT, or 0 for a media key
    UINT virtual_key;
    unsigned id;       // the keypad button that the same key clicks in the window
    const char *name;  // as the key list and the sign name it
};

extern const HotKey HOT_KEYS[];
extern const int HOT_KEY_COUNT;
const int HOT_KEY_MAX = 32;  // room for the table's rows in the window's state

struct KeysAnywhere {
    bool on;                       // the item is checked
    bool registered[HOT_KEY_MAX];  // by table row: the system gives this window the key
    bool taken[HOT_KEY_MAX];       // by table row: another program held the key first
    const HotKey *held;            // the key held down since its press; null when none
    bool system_repeats;           // the system sends the held key's repeats itself
    DWORD repeat_tick;             // the held key's last click
    UINT repeat_gap_ms;            // the time from it to the next repeat
};

// Adds the item below "Always on top".
void AddKeysAnywhereMenuItem(HWND window);
// Once the window is built: with the setting on (a REG_DWORD of 1), checks the item and
// registers the keys; a key taken by another program is left out and named in the sign.
void StartKeysAnywhere(HWND window, KeysAnywhere *keys);
// The item was chosen: the other state, applied and saved at once. Returns 0 (handled).
LRESULT ToggleKeysAnywhere(HWND window);
// WM_HOTKEY: the key's button is clicked, as the same key does in the window; a held key repeats
// like one held in the window, and a repeat is dropped while a command is under way. Returns 0.
LRESULT OnHotKey(HWND window, RemoteWindowState *state, WPARAM wParam);
// IDT_HOT_KEY_HELD: watches for the held key's release, and repeats it when the system does not.
LRESULT WatchHeldHotKey(HWND window);
// WM_DESTROY: every key given back to the system.
void StopKeysAnywhere(HWND window, KeysAnywhere *keys);
