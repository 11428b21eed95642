// The repeat rule of keys: a held key repeats, but never piles up commands behind one still
// under way; and a media key that a device repeats without key-downs is told by its timing.
#pragma once
#include <winsock2.h>
#include <windows.h>

const LPARAM KEY_WAS_DOWN = 1 << 30;  // WM_KEYDOWN: the key was already down (an auto-repeat)

// A repeat is dropped while this holds.
bool RepeatWaits();
// The keyboard step has judged a media key's key-down (passed or held back); its WM_APPCOMMAND
// follows.
void NoteMediaKeyDown(bool passed);
// A repeat: the same command as the WM_APPCOMMAND before it, soon after it, and not from a
// key-down that the keyboard step has already judged.
bool IsAppCommandRepeat(int command);
