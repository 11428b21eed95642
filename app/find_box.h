// Find box: a dialog that lists the boxes used before and searches a local range for boxes
// that take a connection on the command port; the entry chosen goes into the address field.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "app/recent_boxes.h"

// What the main window keeps for Find box.
struct FindBoxUse {
    RecentBoxes recent_boxes;  // offered by the dialog, once read
    bool recent_boxes_read;    // read from the settings the first time Find box or a send needs them
    bool open;                 // one dialog at a time
    // After a search for the box that moved found it at none or several addresses: the box's
    // /24 is offered, and the addresses with its hardware address are marked in the list.
    bool mark;
    unsigned char mark_address[4];   // where the box was
    unsigned char mark_hardware[6];
};

// While the main window is created: the system menu item.
void PrepareFindBox(HWND window);
// WM_TXN_SENT: a command was wholly sent to the address in lParam; it goes first in the boxes
// used before, which are saved when they changed.
void NoteSentAddress(FindBoxUse *use, LPARAM lParam);
// The box has left `from` for `to`: the recent boxes follow, and are saved when they changed.
void FollowRecentBox(FindBoxUse *use, const unsigned char *from, const unsigned char *to);
// A key has reached the box at this address: it is one of the recent boxes.
bool IsRecentBox(FindBoxUse *use, const unsigned char *address);
// From now on Find box offers the /24 of old_address and marks the boxes with the hardware address.
void MarkBoxInFindBox(FindBoxUse *use, const unsigned char *old_address, const unsigned char *hardware);
// Shows the dialog, owned by the main window, until an entry is chosen or it is closed.
void OpenFindBox(HWND window);
// The message loop's step for Ctrl+F in the main window: opens the dialog; true when it took the key.
bool TranslateFindBoxKey(HWND window, const MSG *msg);
