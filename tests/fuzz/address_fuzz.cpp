// libFuzzer target: drives all fourteen address utilities with arbitrary
// text and bytes and checks the invariants that tie them together.
#include "address/address.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Aborts with a message, so the fuzzer records the input.
void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant failed: %s\n", what);
        std::abort();
    }
}

// Heap copy of exactly size bytes, so ASan sees any access beyond them.
unsigned char *HeapBytes(const unsigned char *source, size_t available, size_t size)
{
    unsigned char *bytes = static_cast<unsigned char *>(std::malloc(size));
    for (size_t i = 0; i < size; ++i)
        bytes[i] = i < available ? source[i] : 0;
    return bytes;
}

bool ContainsChar(const char *text, char c)
{
    return std::strchr(text, c) != nullptr;
}

bool EqualIgnoringCase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

void DriveText(char *text)
{
    const size_t length = std::strlen(text);
    char *before = static_cast<char *>(std::malloc(length + 1));
    std::memcpy(before, text, length + 1);

    int single = ValidIPAddress(text, 1);
    int range = ValidIPAddress(text, 0);
    Check(single == 0 || single == -1 || single == -2 || single == -3, "ValidIPAddress single result");
    Check(range == 0 || range == -1 || range == -2 || range == -3, "ValidIPAddress range result");
    Check((single == -1) == (length == 0), "-1 exactly for empty text (single)");
    Check(range != 0 || ContainsChar(text, '-'), "valid range text contains '-'");
    Check(single != 0 || range != 0, "text is not both a single address and a range");

    unsigned char *address = static_cast<unsigned char *>(std::malloc(4));
    std::memset(address, 0xEE, 4);
    int toByte = IPAddrStrToByte(text, address);
    Check(toByte == 0 || toByte == -1, "IPAddrStrToByte result");
    Check(length <= 19 || toByte == -1, "over-long text is refused");
    if (length > 19) {
        for (int i = 0; i < 4; ++i)
            Check(address[i] == 0xEE, "over-long text writes no byte");
    }

    if (single == 0) {
        Check(length >= 7 && length <= 15, "valid address is 7..15 chars");
        Check(toByte == 0, "valid address converts");
        Check(IsAnIPTypeString(text) == 1, "valid address is an IP type string");
        char *formatted = static_cast<char *>(std::malloc(16));
        Check(IPAddrByteToStr(address, formatted) == 0, "IPAddrByteToStr result");
        Check(std::strcmp(formatted, text) == 0, "valid address formats back to itself");
        std::free(formatted);
    }

    int typeString = IsAnIPTypeString(text);
    Check(typeString == 0 || typeString == 1, "IsAnIPTypeString result");
    int isRange = IsAnIPRange(text);
    int isNet = IsAnIPNet(text);
    Check(isRange == (ContainsChar(text, '-') ? 1 : 0), "IsAnIPRange");
    Check(isNet == (ContainsChar(text, '*') ? 1 : 0), "IsAnIPNet");

    unsigned char *record = static_cast<unsigned char *>(std::malloc(5));
    std::memset(record, 0xEE, 5);
    ParseIPAddressRange(text, record);
    if (!isRange)
        Check(record[4] == 0, "range end is 0 without '-'");
    // Bytes 0..3 are what IPAddrStrToByte makes of the part before the
    // first '-', and stay untouched when that part is over-long.
    const char *dash = std::strchr(text, '-');
    size_t partLength = dash != nullptr ? static_cast<size_t>(dash - text) : length;
    unsigned char alone[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    if (partLength <= 19) {
        char part[20];
        std::memcpy(part, text, partLength);
        part[partLength] = '\0';
        IPAddrStrToByte(part, alone);
    }
    Check(std::memcmp(alone, record, 4) == 0, "range record address bytes");

    int hwValid = ValidHWAddress(text);
    Check(hwValid == 0 || hwValid == -1 || hwValid == -2, "ValidHWAddress result");
    Check((hwValid == -1) == (length == 0), "-1 exactly for empty text (hardware)");
    unsigned char *hw = static_cast<unsigned char *>(std::malloc(6));
    std::memset(hw, 0xEE, 6);
    Check(HWAddrStrToByte(text, hw) == 0, "HWAddrStrToByte result");
    if (length > 19) {
        for (int i = 0; i < 6; ++i)
            Check(hw[i] == 0xEE, "over-long hardware text writes no byte");
    }
    if (hwValid == 0) {
        Check(length == 17, "valid hardware text is 17 chars");
        char *formatted = static_cast<char *>(std::malloc(18));
        Check(HWAddrByteToStr(hw, formatted) == 0, "HWAddrByteToStr result");
        Check(EqualIgnoringCase(formatted, text), "valid hardware text formats back to itself");
        std::free(formatted);
    }

    unsigned char hex = StringToHex(text);
    if (length >= 3)
        Check(hex == 0, "StringToHex of 3+ chars is 0");

    Check(std::memcmp(before, text, length + 1) == 0, "text is not modified");
    std::free(hw);
    std::free(record);
    std::free(address);
    std::free(before);
}

void DriveBytes(const unsigned char *data, size_t size)
{
    unsigned char *first = HeapBytes(data, size, 4);
    unsigned char *second = HeapBytes(size > 4 ? data + 4 : data, size > 4 ? size - 4 : 0, 4);
    unsigned char *hw = HeapBytes(data, size, 6);

    int valid = ValidIPAddress(first);
    bool special = first[0] == 127 || (first[0] | first[1] | first[2] | first[3]) == 0;
    Check(valid == (special ? 0 : 1), "ValidIPAddress bytes");

    int order = CompareIPAddresses(first, second);
    Check(order >= -255 && order <= 255, "CompareIPAddresses range");
    Check(order == -CompareIPAddresses(second, first), "CompareIPAddresses antisymmetric");
    Check(CompareIPAddresses(first, first) == 0, "CompareIPAddresses reflexive");
    Check((order == 0) == (std::memcmp(first, second, 4) == 0), "CompareIPAddresses equality");
    Check((order < 0) == (std::memcmp(first, second, 4) < 0), "CompareIPAddresses order");

    char *text = static_cast<char *>(std::malloc(16));
    Check(IPAddrByteToStr(first, text) == 0, "IPAddrByteToStr result");
    Check(ValidIPAddress(text, 1) == 0, "formatted address is valid");
    unsigned char *back = static_cast<unsigned char *>(std::malloc(4));
    Check(IPAddrStrToByte(text, back) == 0, "formatted address converts");
    Check(std::memcmp(back, first, 4) == 0, "IPv4 round trip");

    int hwValid = ValidHWAddress(hw);
    Check(hwValid == ((hw[0] | hw[1] | hw[2] | hw[3] | hw[4] | hw[5]) != 0 ? 1 : 0),
          "ValidHWAddress bytes");
    char *hwText = static_cast<char *>(std::malloc(18));
    Check(HWAddrByteToStr(hw, hwText) == 0, "HWAddrByteToStr result");
    Check(std::strlen(hwText) == 17 && ValidHWAddress(hwText) == 0, "formatted hardware text");
    unsigned char *hwBack = static_cast<unsigned char *>(std::malloc(6));
    HWAddrStrToByte(hwText, hwBack);
    Check(std::memcmp(hwBack, hw, 6) == 0, "hardware round trip");

    // Each byte's two digits read back through StringToHex.
    char *pair = static_cast<char *>(std::malloc(3));
    for (int i = 0; i < 6; ++i) {
        pair[0] = hwText[3 * i];
        pair[1] = hwText[3 * i + 1];
        pair[2] = '\0';
        Check(StringToHex(pair) == hw[i], "StringToHex of a formatted pair");
    }

    std::free(pair);
    std::free(hwBack);
    std::free(hwText);
    std::free(back);
    std::free(text);
    std::free(hw);
    std::free(second);
    std::free(first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The whole input as one text (it ends at its first NUL, if any).
    char *whole = static_cast<char *>(std::malloc(size + 1));
    std::memcpy(whole, data, size);
    whole[size] = '\0';
    DriveText(whole);
    std::free(whole);

    // Split at a point chosen by the first byte: the head feeds the byte
    // functions, the tail is a second text.
    size_t split = size == 0 ? 0 : 1 + data[0] % 16;
    if (split > size)
        split = size;
    DriveBytes(data, split);
    size_t tailSize = size - split;
    char *tail = static_cast<char *>(std::malloc(tailSize + 1));
    std::memcpy(tail, data + split, tailSize);
    tail[tailSize] = '\0';
    DriveText(tail);
    std::free(tail);

    // Long texts, built by repeating the input.
    if (size > 0 && size < 64) {
        size_t longSize = 1000 + data[size - 1] * 4;
        char *repeated = static_cast<char *>(std::malloc(longSize + 1));
        for (size_t i = 0; i < longSize; ++i)
            repeated[i] = data[i % size] != 0 ? static_cast<char>(data[i % size]) : '.';
        repeated[longSize] = '\0';
        DriveText(repeated);
        std::free(repeated);
    }
    return 0;
}
