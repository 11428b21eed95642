// The repeat rule of keys: a held key repeats, but never piles up commands behind one still
// under way; and a media key that a device repeats without key-downs is told by its timing.
#pragma once
#include <winsock2.h>
#include <windows.h>

const LPARAM KEY_WAS_DOWN = 1 << 30;  // WM_KEYDOWN: the key was already down (an auto-repeat)

// What tells a media key's repeats: a device that sends media keys without key-downs repeats a
// held key as the same WM_APPCOMMAND again and again, a few times a second.
struct KeyRepeat {
    int last_app_command;
    DWORD last_app_command_tick;
    bool media_key_down_passed;  // the next WM_APPCOMMAND comes from a key-down judged here
};

// The system's keyboard delay before a held key's first repeat, and the gap between repeats.
UINT FirstRepeatMs();
UINT NextRepeatMs();
// A repeat is dropped while a command for the box in use is under way.
bool RepeatWaits(HWND window);
// The keyboard step has judged a media key's key-down (passed or held back); its WM_APPCOMMAND
// follows.
void NoteMediaKeyDown(KeyRepeat *repeat, bool passed);
// A repeat: the same command as the WM_APPCOMMAND before it, soon after it, and not from a
// key-down that the keyboard step has already judged.
bool IsAppCommandRepeat(KeyRepeat *repeat, int command);
