// The hardware addresses of the boxes, learned while each was on and kept for waking it: the
// settings value "Wake Addresses", pairs "a.b.c.d=00:1a:2b:3c:4d:5e" separated by ';', most
// recent first. Both programs read it; only the remote writes it (app/settings.h).
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "transport/command_protocol.h"  // the hardware address as text

const char VALUE_WAKE_ADDRESSES[] = "Wake Addresses";
const int WAKE_ADDRESSES_MAX = 8;  // as many as the recent boxes
// Longest text: eight pairs of 15 + 1 + 17 characters, seven separators and the NUL.
const int WAKE_ADDRESSES_TEXT_SIZE = WAKE_ADDRESSES_MAX * 34;

struct WakeAddresses {
    unsigned char addresses[WAKE_ADDRESSES_MAX][4];  // most recent first
    unsigned char hardware[WAKE_ADDRESSES_MAX][6];
    int count;
};

// Puts the pair first; an older pair of the same box goes, the oldest beyond eight is dropped.
// True when the list changed.
bool AddWakeAddress(WakeAddresses *list, const unsigned char *address, const unsigned char *hardware);
// The box's pair goes (the box has left that address); true when there was one.
bool ForgetWakeAddress(WakeAddresses *list, const unsigned char *address);
// The hardware address kept for the box; false when none is.
bool FindWakeAddress(const WakeAddresses &list, const unsigned char *address, unsigned char *hardware);
// Reads the stored text: canonical pairs, each box once, at most eight. Anything else is
// malformed: false, and the list is left empty.
bool ReadWakeAddresses(const char *text, WakeAddresses *list);
void WriteWakeAddresses(const WakeAddresses &list, char *text);  // WAKE_ADDRESSES_TEXT_SIZE bytes
// The stored list; a missing, foreign (not REG_SZ), over-long or malformed value loads as empty.
void LoadWakeAddresses(WakeAddresses *list);
