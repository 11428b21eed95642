// Hardware (MAC) address text and bytes.
#include "address/address.h"
#include "address/text_reading.h"

using text_reading::BoundedLength;
using text_reading::FormatHexByte;
using text_reading::HexDigitValue;
using text_reading::kWorkingCopyLength;

int ValidHWAddress(char *text)
{
    if (text[0] == '\0')
        return -1;
    // Reading six "%02x" fields and formatting them again gives back the
    // text (ignoring case) only for six two-digit hex pairs joined by ':'
    // with nothing after them, so that form is checked directly.
    const char *p = text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (*p != ':')
                return -2;
            ++p;
        }
        // p[1] is only read when p[0] is a digit, so never past the end.
        if (HexDigitValue(p[0]) < 0 || HexDigitValue(p[1]) < 0)
            return -2;
        p += 2;
    }
    return *p == '\0' ? 0 : -2;
}

int ValidHWAddress(unsigned char *address)
{
    unsigned char any = 0;
    for (int i = 0; i < 6; ++i)
        any |= address[i];
    return any != 0 ? 1 : 0;
}

int HWAddrByteToStr(unsigned char *address, char *text)
{
    char *end = text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            *end++ = ':';
        end = FormatHexByte(address[i], end);
    }
    *end = '\0';
    return 0;
}

unsigned char StringToHex(char *text)
{
    int length = BoundedLength(text, 3);
    if (length > 2)
        return 0;
    unsigned int sum = 0;
    for (int i = 0; i < length; ++i) {
        int digit = HexDigitValue(text[i]);
        if (digit < 0)
            return 0;
        sum = sum * 16u + static_cast<unsigned int>(digit);
    }
    return static_cast<unsigned char>(sum);
}

int HWAddrStrToByte(char *text, unsigned char *address)
{
    // Longer text is outside the contract: write nothing.
    if (BoundedLength(text, kWorkingCopyLength + 1) > kWorkingCopyLength)
        return 0;
    // Working copy on the stack, so calls may overlap from any thread.
    char copy[kWorkingCopyLength + 1];
    int length = 0;
    while (text[length] != '\0') {
        copy[length] = text[length];
        ++length;
    }
    copy[length] = '\0';

    int stored = 0;
    char *p = copy;
    while (*p != '\0' && stored < 6) {
        if (*p == ':') {
            ++p;
            continue;
        }
        char *part = p;
        while (*p != '\0' && *p != ':')
            ++p;
        if (*p != '\0')
            *p++ = '\0';
        address[stored++] = StringToHex(part);
    }
    return 0;
}
