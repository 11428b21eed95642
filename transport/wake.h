// Waking a box from deep standby: the magic packet by UDP to the box's local network and to the
// box itself, and the box's hardware address learned from this computer's neighbour table while
// the box is on.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "transport/command_protocol.h"

// To the main window: the hardware address of a box, learned after a key reached it. lParam is a
// LearnedHardwareAddress that the receiver frees with delete.
const UINT WM_WAKE_LEARNED = 0x8014;

struct LearnedHardwareAddress {
    HWND window;  // told when the table holds the box
    unsigned char address[4];
    unsigned char hardware[6];
};

// The packet goes this many times, this far apart: a lost datagram is not answered.
const int WAKE_SENDS = 3;
const DWORD WAKE_INTERVAL_MS = 100;

// Where one wake goes: the box, and the directed broadcast of the local network that holds it
// when one does.
struct WakeTarget {
    unsigned char address[4];
    unsigned char hardware[6];
    bool has_broadcast;
    unsigned char broadcast[4];
};

// The target for the box: the broadcast of the up adapter's network that holds the box's
// address (127.255.255.255 for a box on 127.0.0.0/8), or none.
WakeTarget PrepareWake(const unsigned char *address, const unsigned char *hardware);
// Sends the packet WAKE_SENDS times to each destination; blocks for the intervals. Returns how
// many datagrams went, 0 when none could.
int SendWake(const WakeTarget &target);
// "the box's address (and the broadcast's)" as one line for a message; 64 bytes.
void DescribeWakeDestinations(const WakeTarget &target, char *text);
const int WAKE_DESTINATIONS_TEXT_SIZE = 64;

// The entry of the table for the address: a usable (not invalid) entry with a six-byte,
// non-zero hardware address. False when there is none.
bool PickNeighbourEntry(const MIB_IPNETTABLE *table, const unsigned char *address, unsigned char *hardware);
// Looks the box up in the neighbour table on a worker of its own, which posts WM_WAKE_LEARNED to
// the window when the table holds it. False when the worker could not start.
bool StartHardwareAddressLookup(HWND window, const unsigned char *address);
