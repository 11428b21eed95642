// Key commands from the window: the address field that every key command checks first. What
// each id sends is the key vocabulary's (keys/keys.h).
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "keys/keys.h"

// Reads the address field; on a valid single address writes its bytes and returns 1,
// otherwise returns 0 and leaves the address as it was.
int ReadAddressField(HWND window, unsigned char *address, int field_id);

// The box in use is the one whose address the field holds now. Only notices for it reach the
// sign and the recent boxes, and a held key's repeats wait only for its commands.
bool ReadBoxInUse(HWND window, unsigned char *address);
bool CommandUnderWayForBoxInUse(HWND window);
bool NoticeIsForBoxInUse(HWND window, LPARAM lParam);
