// Address text utilities: IPv4 and hardware (MAC) addresses in text and
// byte form. All fourteen functions are exported from the executable, so
// their argument and result types are part of the export names and must
// stay exactly as declared here.
//
// Text arguments are NUL-terminated 8-bit strings and are never modified.
// An IPv4 address is 4 bytes in text order (network order), a hardware
// address 6 bytes. None of these functions needs the C runtime.
#ifndef HALCYRA_ADDRESS_ADDRESS_H
#define HALCYRA_ADDRESS_ADDRESS_H

// IPv4 address text and bytes.

// single != 0: 0 when text is exactly the canonical dotted text of four
// numbers 0..255. single == 0: 0 when text is a range "a.b.c.d-e" with
// d < e <= 255. Otherwise -1 (empty text, or range end not after its
// start), -2 (malformed) or -3 (a number outside 0..255).
int ValidIPAddress(char *text, int single);
// 0 when address[0] is 127 or all four bytes are 0, else 1.
int ValidIPAddress(unsigned char *address);
// Stores the low 8 bits of each '.'-separated part (empty parts skipped)
// into address, at most four bytes. 0 when there were exactly four parts,
// else -1. Text longer than 19 characters gives -1 and writes nothing.
int IPAddrStrToByte(char *text, unsigned char *address);
// Writes "%u.%u.%u.%u" of the four bytes into text (16 bytes). Returns 0.
int IPAddrByteToStr(unsigned char *address, char *text);
// Difference of the first differing bytes (first - second), or 0.
int CompareIPAddresses(unsigned char *first, unsigned char *second);
// 1 when text starts with three numbers 0..255 each followed by '.', and
// then has a non-blank fourth part; else 0.
int IsAnIPTypeString(char *text);
// Fills the 5-byte range record: bytes 0..3 from the address before the
// first '-', byte 4 from the number after it (0 without '-').
void ParseIPAddressRange(char *text, unsigned char *range);
// 1 when text contains '-', else 0.
int IsAnIPRange(char *text);
// 1 when text contains '*', else 0.
int IsAnIPNet(char *text);

// Hardware address text and bytes.

// 0 for "hh:hh:hh:hh:hh:hh" (any letter case), -1 for empty text, else -2.
int ValidHWAddress(char *text);
// 1 when any of the six bytes is non-zero, else 0.
int ValidHWAddress(unsigned char *address);
// Writes "%02x:%02x:%02x:%02x:%02x:%02x" into text (18 bytes). Returns 0.
int HWAddrByteToStr(unsigned char *address, char *text);
// Value of a one- or two-digit hex text; 0 for anything else.
unsigned char StringToHex(char *text);
// Stores StringToHex of each ':'-separated part (empty parts skipped) into
// address, at most six bytes. Always 0. Text longer than 19 characters
// writes nothing.
int HWAddrStrToByte(char *text, unsigned char *address);

#endif
