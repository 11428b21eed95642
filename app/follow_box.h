// Following the box when it moves: a key for the box in use that made no connection, for a box
// whose hardware address is known, starts one search of the box's /24 for that hardware address
// (transport/box_search.h). Found at exactly one address, the address field, the saved address,
// the recent boxes and the wake addresses follow it, and the sign says where the box is now;
// the key that failed is not sent again. Found at none or several, the sign keeps its reason and
// its explanation says what was looked for and found.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct BoxSearch;
struct RemoteWindowState;

// The finding's line in the sign's explanation: the longer one, with the longest hardware
// address, network and counts, is 175 characters.
const int FOLLOW_FINDING_MAX = 192;
// A key that fails this long after the last failure starts a new burst: the box may have come
// back on another address meanwhile (a night in standby).
const DWORD FOLLOW_BURST_GAP_MS = 30000;

// What the main window keeps for following the box.
struct FollowBoxUse {
    bool on;                    // "Follow the box when it moves"
    BoxSearch *search;          // the search under way, or null
    unsigned short tag;         // the latest search's, carried by its notice
    bool searched_in_burst;     // once for each run of keys that did not reach the box
    DWORD last_failure;         // tick of the burst's last key that made no connection
    unsigned char old_address[4];  // the box searched for, or whose finding is below
    unsigned short failed_tag;  // the key whose failure started the search
    char finding[FOLLOW_FINDING_MAX];  // what was looked for and found, while the sign shows
};

// While the main window is created: the system menu item with its check mark, and the setting.
void PrepareFollowBox(HWND window, FollowBoxUse *use);
// The menu item: turns following on or off, and keeps the choice.
void ToggleFollowBox(HWND window, FollowBoxUse *use);
// WM_TXN_SENT for the box in use: the box answers; a search for it is no longer wanted.
void NoteBoxAnswered(HWND window, FollowBoxUse *use);
// WM_TXN_UNDELIVERED for the box in use, after the sign shows: starts the search when it is
// wanted, or adds the finding of the burst's search to the sign again.
void LookForMovedBox(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam);
// WM_MOVED_BOX_FOUND: follows the box, or says what was found; frees lParam.
void OnMovedBoxFound(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam);
// WM_DESTROY: the search ends, and a finding still in the queue is freed.
void EndFollowBox(HWND window, FollowBoxUse *use);
