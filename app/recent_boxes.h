// The boxes that commands were sent to, most recent first: kept in the settings as
// "Recent Boxes" (the addresses in dotted text, separated by spaces) and offered by Find box.
// The list and its text; loading and saving are the settings' (settings.h).
#pragma once
#include <winsock2.h>
#include <windows.h>

const int RECENT_BOXES_MAX = 8;
// Longest text: eight addresses of 15 characters, seven spaces and the NUL.
const int RECENT_BOXES_TEXT_SIZE = RECENT_BOXES_MAX * 16;

struct RecentBoxes {
    unsigned char addresses[RECENT_BOXES_MAX][4];  // most recent first
    int count;
};

// The address's place in the list (0 the most recent), or -1.
int RecentBoxIndex(const RecentBoxes &list, const unsigned char *address);
// Puts the address first, the others after it in their order, the oldest beyond eight dropped.
// True when the list changed.
bool AddRecentBox(RecentBoxes *list, const unsigned char *address);
// The box has left `from` for `to`: `to` goes first, `from` goes. True when the list changed.
bool MoveRecentBox(RecentBoxes *list, const unsigned char *from, const unsigned char *to);
// Reads the stored text: canonical addresses, each once, separated by single spaces, at most
// eight. Anything else is malformed: false, and the list is left empty.
bool ReadRecentBoxes(const char *text, RecentBoxes *list);
void WriteRecentBoxes(const RecentBoxes &list, char *text);  // RECENT_BOXES_TEXT_SIZE bytes
