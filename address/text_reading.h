// Internal reading rules and formatters of the address utilities.
// Written out by hand so that every build reads text the same way and the
// address code needs nothing from the C runtime.
#ifndef HALCYRA_ADDRESS_TEXT_READING_H
#define HALCYRA_ADDRESS_TEXT_READING_H

namespace text_reading {

// Longest text the string-to-byte conversions accept (20 bytes with NUL).
const int kWorkingCopyLength = 19;

// 1 for space, tab, LF, VT, FF and CR; else 0.
int IsWhiteSpace(char c);

// 0..15 for a hex digit of either case; -1 for anything else.
int HexDigitValue(char c);

// Length of text, but never counts (or reads) beyond limit characters.
int BoundedLength(const char *text, int limit);

// First occurrence of c in text, or nullptr.
const char *FindChar(const char *text, char c);

// One unsigned field as read by "%u": optional white space, optional sign,
// one or more digits, accumulated modulo 2^32 and negated for '-'.
// Returns the position after the digits, or nullptr when there is no digit.
const char *ReadUnsignedField(const char *text, unsigned int *value);

// The signed integer at the start of text: optional white space, optional
// sign, digits up to the first non-digit. No digits give 0; values beyond
// the 32-bit range saturate.
int ReadLeadingInteger(const char *text);

// Writes value in decimal without leading zeros and without a terminator.
// Returns the position after the last digit (at most 10 characters).
char *FormatUnsigned(unsigned int value, char *out);

// Writes value as two lower-case hex digits, no terminator. Returns out + 2.
char *FormatHexByte(unsigned char value, char *out);

}  // namespace text_reading

#endif
