#include "address/text_reading.h"

namespace text_reading {

int IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int BoundedLength(const char *text, int limit)
{
    int length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    return length;
}

const char *FindChar(const char *text, char c)
{
    for (; *text != '\0'; ++text) {
        if (*text == c)
            return text;
    }
    return nullptr;
}

const char *ReadUnsignedField(const char *text, unsigned int *value)
{
    const char *p = text;
    while (IsWhiteSpace(*p))
        ++p;
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    if (*p < '0' || *p > '9')
        return nullptr;
    unsigned int result = 0;
    while (*p >= '0' && *p <= '9') {
        result = result * 10u + static_cast<unsigned int>(*p - '0');
        ++p;
    }
    *value = negative ? 0u - result : result;
    return p;
}

int ReadLeadingInteger(const char *text)
{
    const unsigned int kSaturated = 2147483648u;  // magnitude of INT_MIN
    const char *p = text;
    while (IsWhiteSpace(*p))
        ++p;
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // The magnitude stops growing at 2^31, which is enough to tell the
    // saturated cases apart and keeps the sum inside 32 bits.
    unsigned int magnitude = 0;
    while (*p >= '0' && *p <= '9') {
        unsigned int digit = static_cast<unsigned int>(*p - '0');
        if (magnitude > (kSaturated - digit) / 10u)
            magnitude = kSaturated;
        else
            magnitude = magnitude * 10u + digit;
        ++p;
    }
    if (negative) {
        if (magnitude == kSaturated)
            return -2147483647 - 1;
        return -static_cast<int>(magnitude);
    }
    if (magnitude >= kSaturated)
        return 2147483647;
    return static_cast<int>(magnitude);
}

char *FormatUnsigned(unsigned int value, char *out)
{
    char reversed[10];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10u);
        value /= 10u;
    } while (value != 0);
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

char *FormatHexByte(unsigned char value, char *out)
{
    int high = value >> 4;
    int low = value & 0x0F;
    out[0] = static_cast<char>(high < 10 ? '0' + high : 'a' + high - 10);
    out[1] = static_cast<char>(low < 10 ? '0' + low : 'a' + low - 10);
    return out + 2;
}

}  // namespace text_reading
