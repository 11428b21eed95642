// Wake box: a dialog that sends the wake packet to the box in use, with the hardware address
// learned while the box was on (or one typed), so that a box in deep standby switches on.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "settings/wake_addresses.h"

// What the main window keeps for Wake box.
struct WakeBoxUse {
    WakeAddresses known;           // loaded when the main window is created
    unsigned char looked_up[4];    // the box last looked up in the neighbour table
    bool any_looked_up;
    bool open;                     // one dialog at a time
};

// While the main window is created: the system menu item, and the hardware addresses known.
void PrepareWakeBox(HWND window, WakeBoxUse *use);
// WM_TXN_SENT for the box in use (lParam): its hardware address is looked up on a worker, once
// for each box in a row, while the box is surely on.
void LearnHardwareAddress(HWND window, WakeBoxUse *use, LPARAM lParam);
// WM_WAKE_LEARNED: keeps the pair, first, and saves the list when it changed; frees lParam.
void KeepHardwareAddress(WakeBoxUse *use, LPARAM lParam);
// True when a hardware address is known for the box of the notice's address (lParam).
bool WakeAddressKnown(const WakeBoxUse &use, LPARAM lParam);
// Shows the dialog, owned by the main window, until it is closed.
void OpenWakeBox(HWND window);
// The message loop's step for Ctrl+W in the main window: opens the dialog; true when it took the key.
bool TranslateWakeBoxKey(HWND window, const MSG *msg);
