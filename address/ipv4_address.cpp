// IPv4 address text and bytes.
#include "address/address.h"
#include "address/text_reading.h"

using text_reading::BoundedLength;
using text_reading::FindChar;
using text_reading::FormatUnsigned;
using text_reading::IsWhiteSpace;
using text_reading::kWorkingCopyLength;
using text_reading::ReadLeadingInteger;
using text_reading::ReadUnsignedField;

namespace {

// Reads "%u.%u.%u.%u" from the start of text. Returns how many fields were
// read (0..4); only those are stored in values.
int ReadFourFields(const char *text, unsigned int *values)
{
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != '.')
                return i;
            ++p;
        }
        p = ReadUnsignedField(p, &values[i]);
        if (p == nullptr)
            return i;
    }
    return 4;
}

// Writes "%u.%u.%u.%u" with its terminator. Returns the number of
// characters before the terminator (at most 43).
int FormatDotted(const unsigned int *values, char *out)
{
    char *end = out;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *end++ = '.';
        end = FormatUnsigned(values[i], end);
    }
    *end = '\0';
    return static_cast<int>(end - out);
}

}  // namespace

int ValidIPAddress(char *text, int single)
{
    if (text[0] == '\0')
        return -1;
    unsigned int fields[4];
    if (ReadFourFields(text, fields) < 4)
        return -2;
    int outOfRange = fields[0] > 255 || fields[1] > 255 || fields[2] > 255 || fields[3] > 255;

    if (single != 0) {
        // The text must be exactly the canonical text of its numbers.
        char formatted[44];
        FormatDotted(fields, formatted);
        // Stops at the first difference, so never reads past text's end.
        for (int i = 0; formatted[i] != '\0' || text[i] != '\0'; ++i) {
            if (formatted[i] != text[i])
                return -2;
        }
        return outOfRange ? -3 : 0;
    }

    if (outOfRange)
        return -3;
    // Range: start after the last '.', end after the next '-'.
    const char *lastDot = text;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == '.')
            lastDot = p;
    }
    int start = ReadLeadingInteger(lastDot + 1);
    if (start < 0 || start > 255)
        return -3;
    const char *dash = FindChar(lastDot + 1, '-');
    if (dash == nullptr)
        return -2;
    int end = ReadLeadingInteger(dash + 1);
    if (end < 0 || end > 255)
        return -3;
    return end > start ? 0 : -1;
}

int ValidIPAddress(unsigned char *address)
{
    if (address[0] == 127)
        return 0;
    return (address[0] | address[1] | address[2] | address[3]) != 0 ? 1 : 0;
}

int IPAddrStrToByte(char *text, unsigned char *address)
{
    // Longer text is outside the contract: refuse it and write nothing.
    if (BoundedLength(text, kWorkingCopyLength + 1) > kWorkingCopyLength)
        return -1;
    // A part's number ends at its '.' anyway, so the parts are read in place.
    int parts = 0;
    const char *p = text;
    while (*p != '\0') {
        if (*p == '.') {
            ++p;
            continue;
        }
        if (parts < 4)
            address[parts] = static_cast<unsigned char>(ReadLeadingInteger(p));
        ++parts;
        while (*p != '\0' && *p != '.')
            ++p;
    }
    return parts == 4 ? 0 : -1;
}

int IPAddrByteToStr(unsigned char *address, char *text)
{
    unsigned int values[4] = {address[0], address[1], address[2], address[3]};
    return FormatDotted(values, text) > 0 ? 0 : -1;
}

int CompareIPAddresses(unsigned char *first, unsigned char *second)
{
    for (int i = 0; i < 4; ++i) {
        int difference = static_cast<int>(first[i]) - static_cast<int>(second[i]);
        if (difference != 0)
            return difference;
    }
    return 0;
}

int IsAnIPTypeString(char *text)
{
    // "%u.%u.%u.%s": three fields each followed by '.', then a non-blank word.
    unsigned int fields[3];
    const char *p = text;
    for (int i = 0; i < 3; ++i) {
        p = ReadUnsignedField(p, &fields[i]);
        if (p == nullptr || *p != '.')
            return 0;
        ++p;
    }
    while (IsWhiteSpace(*p))
        ++p;
    if (*p == '\0')
        return 0;
    return fields[0] <= 255 && fields[1] <= 255 && fields[2] <= 255 ? 1 : 0;
}

void ParseIPAddressRange(char *text, unsigned char *range)
{
    const char *dash = FindChar(text, '-');
    range[4] = dash != nullptr ? static_cast<unsigned char>(ReadLeadingInteger(dash + 1)) : 0;

    // Working copy of the address part, cut at the '-'. An address part
    // longer than the copy holds is outside the contract: bytes 0..3 stay.
    char copy[kWorkingCopyLength + 1];
    int length = 0;
    while (text[length] != '\0' && text[length] != '-') {
        if (length == kWorkingCopyLength)
            return;
        copy[length] = text[length];
        ++length;
    }
    copy[length] = '\0';
    IPAddrStrToByte(copy, range);
}

int IsAnIPRange(char *text)
{
    return FindChar(text, '-') != nullptr ? 1 : 0;
}

int IsAnIPNet(char *text)
{
    return FindChar(text, '*') != nullptr ? 1 : 0;
}
