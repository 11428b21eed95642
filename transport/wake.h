// Waking a box from deep standby: the magic packet by UDP to the box's local network and to the
// box itself, and the box's hardware address learned from this computer's neighbour table while
// the box is on.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "transport/command_protocol.h"
#include "transport/moved_box.h"

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

// How many of the WAKE_SENDS datagrams went to each destination.
struct WakeSent {
    int box;
    int broadcast;  // 0 where the target has no broadcast
    bool Any() const { return box > 0 || broadcast > 0; }
};

// To the window that started a wake with StartWake: it has ended. lParam is a WakeOutcome that
// the receiver frees with delete.
const UINT WM_WAKE_SENT = 0x8015;

struct WakeOutcome {
    HWND window;
    UINT_PTR tag;  // the starter's own, handed back: which wake this was
    WakeTarget target;
    WakeSent sent;
};

// The target for the box: the broadcast of the narrowest up adapter network that holds the
// box's address (127.255.255.255 for a box on 127.0.0.0/8), or none. Reads the adapters.
WakeTarget PrepareWake(const unsigned char *address, const unsigned char *hardware);
// Sends the packet WAKE_SENDS times to each destination; blocks for the intervals.
WakeSent SendWake(const WakeTarget &target);
// PrepareWake and SendWake on a worker of its own, so that the caller's window never waits;
// the worker posts WM_WAKE_SENT to the window. False when the worker could not start: then
// nothing was sent and nothing will be posted. A window gone by the end frees nothing it was
// not given.
bool StartWake(HWND window, const unsigned char *address, const unsigned char *hardware, UINT_PTR tag);
// "the box's address (and the broadcast's)" as one line for a message; 64 bytes.
void DescribeWakeDestinations(const WakeTarget &target, char *text);
const int WAKE_DESTINATIONS_TEXT_SIZE = 64;

// The entry of the table for the address: a usable (not invalid) entry with a six-byte,
// non-zero hardware address. False when there is none.
bool PickNeighbourEntry(const MIB_IPNETTABLE *table, const unsigned char *address, unsigned char *hardware);
// This computer's neighbour table, read once; null when it cannot be read. Free it with free().
MIB_IPNETTABLE *ReadNeighbourTable();
// The entries that PickNeighbourEntry would take, at most `most`; returns how many.
int UsableNeighbours(const MIB_IPNETTABLE *table, Neighbour *entries, int most);
// Looks the box up in the neighbour table on a worker of its own, which posts WM_WAKE_LEARNED to
// the window when the table holds it. False when the worker could not start.
bool StartHardwareAddressLookup(HWND window, const unsigned char *address);
