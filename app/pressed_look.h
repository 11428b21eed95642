// A key's click shows: its button looks pressed for a moment, as if clicked with the mouse.
#pragma once
#include <winsock2.h>
#include <windows.h>

// How long a button looks pressed after its key.
const UINT KEY_PRESSED_LOOK_MS = 150;  // long enough to see, short enough for a fast repeat

struct PressedLook {
    HWND button;  // the button that looks pressed, or null
};

// The button looks pressed for a moment; a click's command then takes the usual way.
void ClickButton(HWND window, PressedLook *look, unsigned id);
// The pressed look's timer ran out: the button looks as before.
void ReleasePressedLook(HWND window, PressedLook *look);
