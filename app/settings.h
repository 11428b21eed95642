// The settings: one key of the current user's registry, its value names, and every load and
// save of the remote. Each operation opens the key and closes it again before it returns.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "settings/registry.h"  // the key's path, and the reads the sender shares
#include "settings/wake_addresses.h"  // "Wake Addresses", which the sender reads too

struct RecentBoxes;

// The device address and the window's placement are the controller's own operations
// (remote_control.h), kept in settings.cpp with these.

// "Always On Top": on only when the value is a REG_DWORD of 1; saved as 0 or 1.
bool LoadAlwaysOnTop();
void SaveAlwaysOnTop(bool on);
// "Keys Anywhere": the same, for "Keys work in other programs"; a value of another type or
// number is off and stays as it is until the item is chosen.
bool LoadKeysAnywhere();
void SaveKeysAnywhere(bool on);
// "Follow Box": on unless the value is a REG_DWORD of 0; anything else is the default and is
// left as it is until the user changes the setting. Saved as 0 or 1.
bool LoadFollowBox();
void SaveFollowBox(bool on);
// "Recent Boxes": a missing, foreign (not REG_SZ), over-long or malformed value loads as an
// empty list; saving writes only that value.
void LoadRecentBoxes(RecentBoxes *list);
void SaveRecentBoxes(const RecentBoxes &list);
// "Wake Addresses": loaded by LoadWakeAddresses (settings/wake_addresses.h); saving writes only
// that value.
void SaveWakeAddresses(const WakeAddresses &list);
// "Favourites": every line written back as it was given, usable or not, as a REG_MULTI_SZ of
// wide text. False when it could not be written. The caller never writes over a stored value
// that LoadFavourites could not read whole.
bool SaveFavourites(const std::vector<Favourite> &list);
