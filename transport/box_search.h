// The search for the box: every address of a local range is asked whether it takes a TCP
// connection on the command port. Connect, close at once; nothing is ever sent. One worker
// thread per search, which posts what it learns to the owner window as it learns it.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "transport/moved_box.h"
#include "transport/search_range.h"

// To the owner, each with the starter's tag in wParam. An address in lParam is packed as every
// notice packs one (Ipv4Value::Notice).
const UINT WM_SEARCH_FOUND = 0x8010;  // lParam: an address that took the connection
const UINT WM_SEARCH_TRIED = 0x8011;  // lParam: how many addresses have answered so far
const UINT WM_SEARCH_DONE = 0x8012;   // lParam: how many were tried, all of them
const UINT WM_SEARCH_NAME = 0x8013;   // lParam: a BoxName, freed with ReleaseBoxName

const int SEARCH_MAX_ATTEMPTS = 64;     // connection attempts under way at once (one select set)
const DWORD SEARCH_ATTEMPT_MS = 1000;   // an address that has not answered by then is given up
const DWORD SEARCH_POLL_MS = 20;        // how soon the worker sees that its search was stopped
const int BOX_NAME_MAX = 256;           // longest name kept, NUL included (NI_MAXHOST is 1025)

// A name that the network's name service gave for an address found; looked up only after the
// scan has ended, never for loopback addresses.
struct BoxName {
    unsigned long address;
    char name[BOX_NAME_MAX];
};
void ReleaseBoxName(BoxName *name);

struct BoxSearch;

// The search for a box that no longer answers at its address, by its hardware address: the /24
// that held it is asked as above (nothing posted while it is), then the neighbour table is read
// once for the addresses that took the connection. One notice to the owner at the end, with the
// starter's tag in wParam; lParam is the MovedBoxFinding, which the owner frees with delete.
const UINT WM_MOVED_BOX_FOUND = 0x8016;

struct MovedBoxFinding {
    unsigned char old_address[4];
    unsigned char hardware[6];
    bool refused;           // the key's connection was refused (not unreachable, not in time)
    SearchRange range;
    bool searched;          // false: not looked for (a refusal from the box itself, a range that may
                            // not be asked), or Winsock, memory or the table failed
    unsigned answered;      // addresses that took the connection
    int choice;             // MovedBoxChoice
    int matching;           // answered addresses with the hardware address
    unsigned char found[4]; // the address, for MOVED_BOX_ONE
};

// Starts the worker on a range that ParseSearchRange accepted; null when it could not start.
// The owner must stop every search it started. The tag is the owner's, to tell its searches apart.
BoxSearch *StartBoxSearch(HWND owner, const SearchRange &range, unsigned short tag);
// The search for the box that left old_address, on a worker; null when it could not start (the
// /24 is not local, or no thread). Stopped as any search, with StopBoxSearch. After a refusal
// the /24 is asked only when the neighbour table gives the old address another hardware address.
BoxSearch *StartMovedBoxSearch(HWND owner, const unsigned char *old_address, const unsigned char *hardware,
                               bool refused, unsigned short tag);
// The same search on the calling thread, for a program without a window to wait in; returns
// within the sweep's bounds (SEARCH_ATTEMPT_MS for each SEARCH_MAX_ATTEMPTS addresses).
void FindMovedBox(const unsigned char *old_address, const unsigned char *hardware, bool refused,
                  MovedBoxFinding *finding);
// Never waits: once it returns nothing more of this search is posted, and the worker closes its
// sockets within SEARCH_POLL_MS and ends by itself. Notices already posted stay in the queue.
void StopBoxSearch(BoxSearch *search);

// The range to offer (OfferedRange): the /24 of the first private address of an up adapter
// that has a default gateway, else of the first private address of an up adapter at all, into
// text (at least 20 bytes). False when there is none, or the system cannot tell.
bool FindLocalNetwork(char *text);
