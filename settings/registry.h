// Where both programs find the per-user settings, and the reads that both need: the remote's
// window keeps its settings here (app/), the command-line sender reads the address it saved.
// A layer of its own below app/, so that the sender reads the saved address without the window.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <vector>

#include "keys/favourites.h"

const char SETTINGS_KEY[] = "SOFTWARE\\Quillon\\Halcyra Remote";  // under HKEY_CURRENT_USER
const char VALUE_ADDRESS[] = "IP Address";
const char VALUE_FAVOURITES[] = "Favourites";

// Reads one value of the settings key into data (at most *size bytes), opening and closing the
// key around it. True with the value's type and its size in *size; false when the key or the
// value is missing or does not fit.
bool ReadSetting(const char *name, void *data, DWORD *size, DWORD *type);

// The saved "IP Address" as text (up to IPV4_TEXT_MAX characters, into a buffer of one more)
// when the value is usable text; false, with the text empty, when it is absent or unusable.
bool LoadSavedAddressText(char *text);

// Reads the saved "IP Address" into the address, as the remote does at start: the value's text
// up to its first NUL, converted whatever it holds; an absent or unusable value leaves the
// address as it was.
void LoadSavedAddress(unsigned char *address);

// "Favourites": a REG_MULTI_SZ of "NAME=KEYS" lines, read in order. Every line is kept, whether
// or not it reads; lines beyond FAVOURITES_MAX are kept and marked as not usable. A missing
// value, one of another type or one larger than FAVOURITES_VALUE_MAX loads as no lines.
const DWORD FAVOURITES_VALUE_MAX = 64 * 1024;  // 20 lines of the longest: room to spare
void LoadFavourites(std::vector<Favourite> *list);
