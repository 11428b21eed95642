// The boxes that commands were sent to, most recent first: kept in the settings as
// "Recent Boxes" (the addresses in dotted text, separated by spaces) and offered by Find box.
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

// The program's list, loaded when the main window is created; UI thread only.
extern RecentBoxes g_RecentBoxes;

// Puts the address first, the others after it in their order, the oldest beyond eight dropped.
// True when the list changed.
bool AddRecentBox(RecentBoxes *list, const unsigned char *address);
// Reads the stored text: canonical addresses, each once, separated by single spaces, at most
// eight. Anything else is malformed: false, and the list is left empty.
bool ReadRecentBoxes(const char *text, RecentBoxes *list);
void WriteRecentBoxes(const RecentBoxes &list, char *text);  // RECENT_BOXES_TEXT_SIZE bytes
// Settings (settings.cpp): a missing, foreign (not REG_SZ), over-long or malformed value loads
// as an empty list; saving writes only "Recent Boxes".
void LoadRecentBoxes(RecentBoxes *list);
void SaveRecentBoxes(const RecentBoxes &list);
// WM_TXN_SENT: a command was wholly sent to the address in lParam; the list is saved when it changed.
void NoteSentAddress(LPARAM lParam);
