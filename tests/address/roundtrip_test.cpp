// Round trips between byte and text forms over a dense sample of addresses.
#include "address/address.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const unsigned char kCornerBytes[] = {0, 1, 9, 10, 99, 100, 127, 199, 200, 254, 255};
const unsigned char kCornerHex[] = {0x00, 0x01, 0x09, 0x0A, 0x0F, 0x10, 0x7F,
                                    0x80, 0x9F, 0xA0, 0xF0, 0xFE, 0xFF};

// bytes -> text -> valid -> bytes, plus the range text built on it.
// Returns an empty string on success, else what went wrong.
std::string IPv4RoundTrip(const unsigned char *bytes)
{
    unsigned char address[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
    char text[16];
    if (IPAddrByteToStr(address, text) != 0)
        return "IPAddrByteToStr failed";
    if (ValidIPAddress(text, 1) != 0)
        return std::string("not valid: ") + text;
    if (IsAnIPTypeString(text) != 1)
        return std::string("not an IP type string: ") + text;
    unsigned char back[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    if (IPAddrStrToByte(text, back) != 0 || std::memcmp(back, address, 4) != 0)
        return std::string("bytes differ: ") + text;

    // "a.b.c.d-e" with e = d + 1 (when there is room) is a valid range.
    if (address[3] < 255) {
        std::string range = std::string(text) + "-" + std::to_string(address[3] + 1);
        if (ValidIPAddress(&range[0], 0) != 0)
            return "range not valid: " + range;
        unsigned char record[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        ParseIPAddressRange(&range[0], record);
        if (std::memcmp(record, address, 4) != 0 || record[4] != address[3] + 1)
            return "range record differs: " + range;
    }
    return "";
}

std::string HWRoundTrip(const unsigned char *bytes)
{
    unsigned char address[6];
    std::memcpy(address, bytes, 6);
    char text[18];
    if (HWAddrByteToStr(address, text) != 0)
        return "HWAddrByteToStr failed";
    if (std::strlen(text) != 17)
        return std::string("wrong length: ") + text;
    if (ValidHWAddress(text) != 0)
        return std::string("not valid: ") + text;
    unsigned char back[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    if (HWAddrStrToByte(text, back) != 0 || std::memcmp(back, address, 6) != 0)
        return std::string("bytes differ: ") + text;

    // Upper-case digits read the same.
    for (char &c : text) {
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    }
    if (ValidHWAddress(text) != 0)
        return std::string("upper case not valid: ") + text;
    std::memset(back, 0xEE, 6);
    HWAddrStrToByte(text, back);
    if (std::memcmp(back, address, 6) != 0)
        return std::string("upper case bytes differ: ") + text;
    return "";
}

}  // namespace

TEST(RoundTrip, IPv4StrideThroughAllAddresses)
{
    // An odd stride visits addresses spread over the whole 32-bit range.
    const uint64_t kStride = 16411;
    int checked = 0;
    int failures = 0;
    for (uint64_t value = 0; value <= 0xFFFFFFFFu; value += kStride) {
        unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value)};
        std::string error = IPv4RoundTrip(bytes);
        ++checked;
        if (!error.empty() && ++failures <= 10)
            ADD_FAILURE() << error;
    }
    EXPECT_EQ(0, failures);
    EXPECT_GT(checked, 200000);
}

TEST(RoundTrip, IPv4CornerBytesInEveryPosition)
{
    int failures = 0;
    for (unsigned char a : kCornerBytes)
        for (unsigned char b : kCornerBytes)
            for (unsigned char c : kCornerBytes)
                for (unsigned char d : kCornerBytes) {
                    unsigned char bytes[4] = {a, b, c, d};
                    std::string error = IPv4RoundTrip(bytes);
                    if (!error.empty() && ++failures <= 10)
                        ADD_FAILURE() << error;
                }
    EXPECT_EQ(0, failures);
}

TEST(RoundTrip, HWStrideThroughAllAddresses)
{
    // An odd stride of about 2^48 / 200000 covers the 48-bit range.
    const uint64_t kStride = 1407374883ull;
    const uint64_t kEnd = 1ull << 48;
    int failures = 0;
    for (uint64_t value = 0; value < kEnd; value += kStride) {
        unsigned char bytes[6];
        for (int i = 0; i < 6; ++i)
            bytes[i] = static_cast<unsigned char>(value >> (40 - 8 * i));
        std::string error = HWRoundTrip(bytes);
        if (!error.empty() && ++failures <= 10)
            ADD_FAILURE() << error;
    }
    EXPECT_EQ(0, failures);
}

TEST(RoundTrip, HWCornerBytesInEveryPosition)
{
    // Every corner value in every position, on several backgrounds, and
    // every pair of corner values in neighbouring positions.
    const unsigned char backgrounds[] = {0x00, 0xFF, 0x5A};
    int failures = 0;
    for (unsigned char background : backgrounds) {
        for (int position = 0; position < 6; ++position) {
            for (unsigned char first : kCornerHex) {
                for (unsigned char second : kCornerHex) {
                    unsigned char bytes[6];
                    std::memset(bytes, background, 6);
                    bytes[position] = first;
                    bytes[(position + 1) % 6] = second;
                    std::string error = HWRoundTrip(bytes);
                    if (!error.empty() && ++failures <= 10)
                        ADD_FAILURE() << error;
                }
            }
        }
    }
    EXPECT_EQ(0, failures);
}
