// Where both programs find the per-user settings, and the reads that both need: the remote's
// window keeps its settings here (app/), the command-line sender reads the address it saved.
// A layer of its own below app/, so that the sender reads the saved address without the window.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "keys/favourites.h"

const char SETTINGS_KEY[] = "SOFTWARE\\Quillon\\Halcyra Remote";  // under HKEY_CURRENT_USER
const char VALUE_ADDRESS[] = "IP Address";
const char VALUE_FAVOURITES[] = "Favourites";
const wchar_t VALUE_FAVOURITES_WIDE[] = L"Favourites";

// The one reader of the settings' values: a value of the open key into data (at most *size
// bytes). True with the value's type and its size in *size; false when the value is missing or
// does not fit. The wide form reads names and text in any script (the favourites).
bool ReadValue(HKEY key, const char *name, void *data, DWORD *size, DWORD *type);
bool ReadWideValue(HKEY key, const wchar_t *name, void *data, DWORD *size, DWORD *type);
// The same, opening the settings key for reading and closing it around the read.
bool ReadSetting(const char *name, void *data, DWORD *size, DWORD *type);
// The one rule for a text value's end: its text is the data up to its first NUL, which comes
// within the data. The text's length, or -1 when the data holds no NUL.
int ValueTextLength(const char *data, DWORD size);

// Favourites' text is UTF-8 inside the program and UTF-16 in the registry, the menu and the
// dialog, so that a name in any script comes back as it was written.
std::string Utf8OfWide(const wchar_t *text, size_t length);
std::wstring WideOfUtf8(const std::string &text);
// The text in the system's code page (a character outside it becomes the code page's default).
std::string AnsiOfUtf8(const std::string &text);

// The saved "IP Address" as text (up to IPV4_TEXT_MAX characters, into a buffer of one more)
// when the value is usable text; false, with the text empty, when it is absent or unusable.
bool LoadSavedAddressText(char *text);

// Reads the saved "IP Address" into the address, as the remote does at start: the value's text
// up to its first NUL, converted whatever it holds; an absent or unusable value leaves the
// address as it was.
void LoadSavedAddress(unsigned char *address);

// "Favourites": a REG_MULTI_SZ of "NAME=KEYS" lines, read in order with the wide functions.
// Every line is kept, whether or not it reads; lines beyond FAVOURITES_MAX are kept and marked
// as not usable; empty lines are skipped, not taken for the end. A value of another text type
// (REG_SZ, REG_EXPAND_SZ), or one larger than FAVOURITES_VALUE_MAX, gives the lines it can read
// (of a large one those in its first FAVOURITES_VALUE_MAX bytes), and `keep` (when given) says
// why the stored value must not be written over; it is empty when the value may be.
const DWORD FAVOURITES_VALUE_MAX = 64 * 1024;  // 20 lines of the longest: room to spare
void LoadFavourites(std::vector<Favourite> *list, std::string *keep = NULL);
// The bytes that SaveFavourites writes for the list (app/settings.h).
size_t FavouritesValueBytes(const std::vector<Favourite> &list);
