// The device address from text, as the remote takes it: from the address field's text, and from
// the saved setting. The remote's window and the command-line sender share both.
#pragma once

#include "app/settings.h"

// The address field shows the parser at most this many characters (what IPAddrStrToByte takes).
const unsigned ADDRESS_TEXT_MAX = 19;

// Checks text as the address field's text is checked: its first 19 characters must be a valid
// single address. Then writes the bytes and returns 1; otherwise returns 0 and leaves the
// address as it was.
int ReadAddressText(const char *text, unsigned char *address);

// Reads the saved "IP Address" into the address, as the remote does at start: the value's text
// up to its first NUL, converted whatever it holds; an absent or unusable value leaves the
// address as it was.
void LoadSavedAddress(unsigned char *address);
