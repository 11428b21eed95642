// The device address from text, as the remote takes it: from the address field's text, and from
// the saved setting. The remote's window and the command-line sender share both.
#pragma once

const char SETTINGS_KEY[] = "SOFTWARE\\Quillon\\Halcyra Remote";  // under HKEY_CURRENT_USER
const char VALUE_ADDRESS[] = "IP Address";

// The address field shows the parser at most this many characters (what IPAddrStrToByte takes).
const unsigned ADDRESS_TEXT_MAX = 19;

// Checks text as the address field's text is checked: its first 19 characters must be a valid
// single address. Then writes the bytes and returns 1; otherwise returns 0 and leaves the
// address as it was.
int ReadAddressText(const char *text, unsigned char *address);

// The saved "IP Address" as text (up to ADDRESS_TEXT_MAX characters, into a buffer of one more)
// when the value is usable text; false, with the text empty, when it is absent or unusable.
bool LoadSavedAddressText(char *text);

// Reads the saved "IP Address" into the address, as the remote does at start: the value's text
// up to its first NUL, converted whatever it holds; an absent or unusable value leaves the
// address as it was.
void LoadSavedAddress(unsigned char *address);
