// Holding a button repeats it: VOL UP, VOL DOWN, CHAN UP, CHAN DOWN and the four arrows, held
// with the mouse or with Space while focused, repeat like a held key (the system's keyboard
// delay, then its repeat rate), and a repeat is dropped while a command is under way.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct HeldButton {
    HWND button;    // the repeating button held down, or null
    bool repeated;  // it has sent at least one repeat
};

// The message loop's look at each message before anything else (it never takes one): a press
// on a repeating button starts the timer, its release stops it.
void WatchHeldButton(HWND window, const MSG *msg);
// IDT_BUTTON_REPEAT: one more click of the held button, unless a command is under way.
LRESULT RepeatHeldButton(HWND window);
