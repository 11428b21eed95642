// IPv4 address text and bytes.
#include "address/address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const int kUntouched = -1;  // expected byte: the function must not write it
const unsigned char kFill = 0xEE;
const unsigned char kCanary = 0xA5;
const int kGuard = 8;

// Output bytes with canaries on both sides and a known fill inside.
struct GuardedBytes {
    explicit GuardedBytes(int size) : size(size), storage(size + 2 * kGuard, kCanary)
    {
        for (int i = 0; i < size; ++i)
            storage[kGuard + i] = kFill;
    }
    unsigned char *data() { return storage.data() + kGuard; }
    bool CanariesIntact() const
    {
        for (int i = 0; i < kGuard; ++i) {
            if (storage[i] != kCanary || storage[kGuard + size + i] != kCanary)
                return false;
        }
        return true;
    }
    // Compares with expected values; kUntouched means still kFill.
    std::string Mismatch(const std::vector<int> &expected) const
    {
        std::string out;
        for (int i = 0; i < size; ++i) {
            int want = expected[i] == kUntouched ? kFill : expected[i];
            int got = storage[kGuard + i];
            if (want != got)
                out += " byte " + std::to_string(i) + ": got " + std::to_string(got) +
                       " want " + std::to_string(want);
        }
        return out;
    }
    int size;
    std::vector<unsigned char> storage;
};

// A writable copy of text, so the functions get a plain char *.
struct Text {
    explicit Text(const std::string &s) : chars(s.begin(), s.end()) { chars.push_back('\0'); }
    char *get() { return chars.data(); }
    std::vector<char> chars;
};

std::string Show(const std::string &s)
{
    if (s.size() > 40)
        return "<" + std::to_string(s.size()) + " chars: " + s.substr(0, 24) + "...>";
    std::string out;
    for (char c : s) {
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\v') out += "\\v";
        else if (c == '\f') out += "\\f";
        else out += c;
    }
    return "\"" + out + "\"";
}

struct TextCase {
    std::string text;
    int expected;
};

}  // namespace

TEST(ValidIPAddressText, SingleAddress)
{
    const TextCase cases[] = {
        {"192.168.1.10", 0},
        {"0.0.0.0", 0},
        {"255.255.255.255", 0},
        {"1.2.3.4", 0},
        {"", -1},
        {"192.168.001.10", -2},
        {"01.2.3.4", -2},
        {"1.2.3.04", -2},
        {" 192.168.1.10", -2},
        {"192.168.1.10 ", -2},
        {"\t192.168.1.10", -2},
        {"192.168.1.10\n", -2},
        {"192.168.1.10\r", -2},
        {"192.168.\v1.10", -2},
        {"192.168.1.\f10", -2},
        {"192. 168.1.10", -2},
        {"192 .168.1.10", -2},
        {"+192.168.1.10", -2},
        {"-0.0.0.0", -2},
        {"-1.-1.-1.-1", -2},
        {"192.168.1", -2},
        {"192.168.1.", -2},
        {"192..168.1.10", -2},
        {"1.2.3.4.5", -2},
        {"1.2.3.4x", -2},
        {"1.2.3.4-5", -2},
        {"a.b.c.d", -2},
        {".", -2},
        {" ", -2},
        {"192.168.1.256", -3},
        {"256.0.0.0", -3},
        {"0.999.0.0", -3},
        {"192.168.1.4294967295", -3},
        {"4294967295.4294967295.4294967295.4294967295", -3},
        {"192.168.1.4294967296", -2},  // wraps to 0
        {"192.168.1.4294967297", -2},  // wraps to 1
        {"4294967296.0.0.0", -2},
        {"1.2.3.4" + std::string(10000, ' '), -2},
        {"1.2.3." + std::string(10000, '9'), -2},
        {std::string(10000, '1'), -2},
    };
    for (const TextCase &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.expected, ValidIPAddress(text.get(), 1)) << Show(c.text);
    }
    // Any non-zero flag means a single address.
    Text text("10.0.0.5-9");
    EXPECT_EQ(-2, ValidIPAddress(text.get(), 2));
    EXPECT_EQ(-2, ValidIPAddress(text.get(), -1));
    Text good("10.0.0.5");
    EXPECT_EQ(0, ValidIPAddress(good.get(), -1));
}

TEST(ValidIPAddressText, RangeText)
{
    const TextCase cases[] = {
        {"10.0.0.5-9", 0},
        {"10.0.0.0-1", 0},
        {"10.0.0.254-255", 0},
        {"10.0.0.5-255", 0},
        {"", -1},
        {"10.0.0.5-5", -1},
        {"10.0.0.9-5", -1},
        {"10.0.0.5-", -1},  // end reads as 0
        {"10.0.0.255-255", -1},
        {"10.0.0.5-x", -1},
        {"10.0.0.5", -2},
        {"10.0.0", -2},
        {"10.0.0-5.9", -2},
        {"10.0.0.x-9", -2},
        {"10 .0.0.5-9", -2},
        {"10.0.0.5-9.3", -2},  // no '-' after the last '.'
        {"10.0.0.5-300", -3},
        {"10.0.0.5-256", -3},
        {"10.0.300.5-9", -3},
        {"256.0.0.5-9", -3},
        {"10.0.0.5--1", -3},
        {"10.0.0.5-99999999999", -3},  // saturates at 2147483647
        {"10.0.0.5-4294967296", -3},
        {"10.0.0.5-4294967297", -3},
        {"10.0.0.-1-5", -3},           // fourth field is 4294967295
        {"10.0.0.4294967296-9", -3},   // field wraps to 0, start saturates
        {"1.2.3.4-5.300-400", -3},     // start after the last '.' is 300
        {"1.2.3.4-5.-9", -3},
        // Start and end are taken after the last '.'.
        {"1.2.3.4-5.6-9", 0},
        {"1.2.3.4-5.9-6", -1},
        // White space and junk around the numbers.
        {" 10.0.0.5-9", 0},
        {"10. 0.\t0.\n5-9", 0},
        {"10.\r0.\v0.\f5-9", 0},
        {"+10.+0.-0.+5-9", 0},
        {"10.0.0.5 -9", 0},
        {"10.0.0.5x-9", 0},
        {"10.0.0.5- 9", 0},
        {"10.0.0.5-\t\n9", 0},
        {"10.0.0.5-+9", 0},
        {"10.0.0.5-9 ", 0},
        {"10.0.0.5-9\tjunk", 0},
        {"10.0.0.5-9abc", 0},
        {"10.0.0.5-9-1", 0},
        {"10.0.0.5-9" + std::string(10000, 'z'), 0},
        {"10.0.0.5-" + std::string(10000, '9'), -3},
        {"10.0.0.5-" + std::string(10000, ' '), -1},
    };
    for (const TextCase &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.expected, ValidIPAddress(text.get(), 0)) << Show(c.text);
    }
}

TEST(ValidIPAddressBytes, LoopbackAndAllZero)
{
    struct Case {
        unsigned char bytes[4];
        int expected;
    };
    const Case cases[] = {
        {{127, 0, 0, 1}, 0},   {{127, 255, 255, 255}, 0}, {{127, 0, 0, 0}, 0},
        {{0, 0, 0, 0}, 0},     {{0, 0, 0, 1}, 1},         {{10, 0, 0, 1}, 1},
        {{1, 0, 0, 0}, 1},     {{0, 127, 0, 0}, 1},       {{126, 0, 0, 1}, 1},
        {{128, 0, 0, 1}, 1},   {{255, 255, 255, 255}, 1}, {{0, 0, 1, 0}, 1},
    };
    for (const Case &c : cases) {
        unsigned char bytes[4] = {c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3]};
        EXPECT_EQ(c.expected, ValidIPAddress(bytes))
            << int(bytes[0]) << "." << int(bytes[1]) << "." << int(bytes[2]) << "." << int(bytes[3]);
    }
}

TEST(IPAddrStrToByte, PartsAndBytes)
{
    const int U = kUntouched;
    struct Case {
        std::string text;
        int result;
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {"192.168.1.10", 0, {192, 168, 1, 10}},
        {"192..168.1.10", 0, {192, 168, 1, 10}},
        {".192.168.1.10.", 0, {192, 168, 1, 10}},
        {"...1...2...3...4...", 0, {1, 2, 3, 4}},
        {"1.2.3", -1, {1, 2, 3, U}},
        {"1", -1, {1, U, U, U}},
        {"1.2.3.256", 0, {1, 2, 3, 0}},
        {"1.2.3.300", 0, {1, 2, 3, 44}},
        {"1.2.3.-1", 0, {1, 2, 3, 255}},
        {"+1.-2.+3.-4", 0, {1, 254, 3, 252}},
        {"a.b.c.d", 0, {0, 0, 0, 0}},
        {"+.-. . ", 0, {0, 0, 0, 0}},
        {"", -1, {U, U, U, U}},
        {"....", -1, {U, U, U, U}},
        {"1.2.3.4.5", -1, {1, 2, 3, 4}},
        {"1.2.3.4x", 0, {1, 2, 3, 4}},
        {" 1.\t2.\n3.\r4", 0, {1, 2, 3, 4}},
        {"\v1 .\f2 .3 .4 ", 0, {1, 2, 3, 4}},
        {"1 2.3.4.5", 0, {1, 3, 4, 5}},
        {"1.2.3.99999999999", 0, {1, 2, 3, 255}},   // saturates at 2147483647
        {"1.2.3.-99999999999", 0, {1, 2, 3, 0}},    // saturates at -2147483648
        {"1.2.3.2147483648", 0, {1, 2, 3, 255}},
        {"1.2.3.-2147483649", 0, {1, 2, 3, 0}},
        {"1.2.3.-2147483647", 0, {1, 2, 3, 1}},
        {"4294967295.1.1.1", 0, {255, 1, 1, 1}},
        {"4294967296.1.1.1", 0, {255, 1, 1, 1}},
        {"4294967297.1.1.1", 0, {255, 1, 1, 1}},
        // 19 characters fit, 20 do not.
        {"100.100.100.1000000", 0, {100, 100, 100, 64}},
        {"001.002.003.0000004", 0, {1, 2, 3, 4}},
        {"1.2.3" + std::string(14, '.'), -1, {1, 2, 3, U}},
        {"100.100.100.10000000", -1, {U, U, U, U}},
        {"1.2.3.4" + std::string(13, ' '), -1, {U, U, U, U}},
        {"1.2.3.4" + std::string(9993, ' '), -1, {U, U, U, U}},
        {std::string(10000, '1'), -1, {U, U, U, U}},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        GuardedBytes out(4);
        EXPECT_EQ(c.result, IPAddrStrToByte(text.get(), out.data())) << Show(c.text);
        EXPECT_EQ("", out.Mismatch(c.bytes)) << Show(c.text);
        EXPECT_TRUE(out.CanariesIntact()) << Show(c.text);
    }
}

TEST(IPAddrByteToStr, CanonicalText)
{
    struct Case {
        unsigned char bytes[4];
        const char *text;
    };
    const Case cases[] = {
        {{192, 168, 1, 10}, "192.168.1.10"},   {{0, 0, 0, 0}, "0.0.0.0"},
        {{255, 255, 255, 255}, "255.255.255.255"}, {{10, 0, 100, 9}, "10.0.100.9"},
        {{1, 99, 200, 127}, "1.99.200.127"},   {{100, 20, 3, 0}, "100.20.3.0"},
    };
    for (const Case &c : cases) {
        unsigned char bytes[4] = {c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3]};
        GuardedBytes out(16);
        char *text = reinterpret_cast<char *>(out.data());
        EXPECT_EQ(0, IPAddrByteToStr(bytes, text));
        ASSERT_EQ(std::string(c.text), std::string(text));
        // Nothing after the terminator is written.
        for (size_t i = std::strlen(c.text) + 1; i < 16; ++i)
            EXPECT_EQ(kFill, out.data()[i]) << c.text << " index " << i;
        EXPECT_TRUE(out.CanariesIntact()) << c.text;
    }
}

TEST(CompareIPAddresses, OrderAndDifference)
{
    struct Case {
        unsigned char first[4];
        unsigned char second[4];
        int expected;
    };
    const Case cases[] = {
        {{10, 0, 0, 1}, {10, 0, 0, 3}, -2},
        {{10, 0, 1, 0}, {10, 0, 0, 255}, 1},
        {{10, 0, 0, 1}, {10, 0, 0, 1}, 0},
        {{0, 0, 0, 0}, {255, 255, 255, 255}, -255},
        {{255, 0, 0, 0}, {0, 255, 255, 255}, 255},
        {{128, 0, 0, 0}, {127, 255, 255, 255}, 1},  // bytes are unsigned
        {{1, 2, 3, 4}, {1, 2, 200, 0}, -197},
        {{1, 2, 3, 200}, {1, 2, 3, 4}, 196},
    };
    for (const Case &c : cases) {
        unsigned char first[4] = {c.first[0], c.first[1], c.first[2], c.first[3]};
        unsigned char second[4] = {c.second[0], c.second[1], c.second[2], c.second[3]};
        EXPECT_EQ(c.expected, CompareIPAddresses(first, second));
        EXPECT_EQ(-c.expected, CompareIPAddresses(second, first));
    }
}

TEST(IsAnIPTypeString, ThreeFieldsAndAFourthPart)
{
    const TextCase cases[] = {
        {"10.0.0.*", 1},
        {"10.0.0.1", 1},
        {"10.0.0.1-9", 1},
        {"10.0.0.x", 1},
        {"10. 0. 0.1", 1},
        {"10.0.0. x", 1},
        {" \t10.\n0.\r0.\v\f1", 1},
        {"+10.-0.+0.1", 1},
        {"255.255.255.anything at all", 1},
        {"10.0.0.999", 1},  // fourth part is not examined
        {"10.0.0." + std::string(10000, 'q'), 1},
        {"4294967296.0.0.1", 1},  // wraps to 0
        {"4294967297.0.0.1", 1},
        {"10.0.0.", 0},
        {"10.0.0.   ", 0},
        {"10.0.0. \t\r\n\v\f", 0},
        {"10.0.0." + std::string(10000, ' '), 0},
        {"10.0.256.1", 0},
        {"256.0.0.1", 0},
        {"4294967295.0.0.1", 0},
        {"-1.0.0.1", 0},
        {"10.0.0", 0},
        {"10 .0.0.1", 0},
        {"10..0.0.1", 0},
        {"a.0.0.1", 0},
        {"", 0},
    };
    for (const TextCase &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.expected, IsAnIPTypeString(text.get())) << Show(c.text);
    }
}

TEST(ParseIPAddressRange, RangeRecord)
{
    const int U = kUntouched;
    struct Case {
        std::string text;
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {"192.168.1.10-20", {192, 168, 1, 10, 20}},
        {"192.168.1.10", {192, 168, 1, 10, 0}},
        {"192.168.1.10-300", {192, 168, 1, 10, 44}},
        {"192.168.1.10-99999999999", {192, 168, 1, 10, 255}},
        {"1.2.3.4--1", {1, 2, 3, 4, 255}},
        {"1.2.3.4-", {1, 2, 3, 4, 0}},
        {"1.2.3.4- 7 junk", {1, 2, 3, 4, 7}},
        {"1.2.3.4-\t\n7", {1, 2, 3, 4, 7}},
        {"1.2.3.4-5-6", {1, 2, 3, 4, 5}},
        {"1.2.3-5", {1, 2, 3, U, 5}},
        {"1.2.3.-5", {1, 2, 3, U, 5}},   // the address part ends before the '-'
        {"1.2.3. -5", {1, 2, 3, 0, 5}},
        {"-5", {U, U, U, U, 5}},
        {"", {U, U, U, U, 0}},
        {"a.b.c.d-e", {0, 0, 0, 0, 0}},
        // The address part may hold 19 characters, not 20.
        {"100.100.100.1000000-7", {100, 100, 100, 64, 7}},
        {"100.100.100.10000000-7", {U, U, U, U, 7}},
        {"100.100.100.10000000", {U, U, U, U, 0}},
        {std::string(10000, '1'), {U, U, U, U, 0}},
        {"1.2.-" + std::string(9995, '9'), {1, 2, U, U, 255}},
        {std::string(9990, '1') + "-9", {U, U, U, U, 9}},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        GuardedBytes out(5);
        ParseIPAddressRange(text.get(), out.data());
        EXPECT_EQ("", out.Mismatch(c.bytes)) << Show(c.text);
        EXPECT_TRUE(out.CanariesIntact()) << Show(c.text);
    }
}

TEST(IsAnIPRangeAndNet, CharacterPresence)
{
    struct Case {
        std::string text;
        int range;
        int net;
    };
    const Case cases[] = {
        {"1.2.3.4-5", 1, 0}, {"1.2.3.4", 0, 0},  {"1.2.3.*", 0, 1}, {"*-", 1, 1},
        {"", 0, 0},          {"-", 1, 0},        {"*", 0, 1},       {"junk*junk", 0, 1},
        {std::string(10000, 'x') + "-", 1, 0},  {std::string(10000, 'x') + "*", 0, 1},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.range, IsAnIPRange(text.get())) << Show(c.text);
        EXPECT_EQ(c.net, IsAnIPNet(text.get())) << Show(c.text);
    }
}

TEST(IPv4Text, ReadOnlyTextIsNotModified)
{
    // String literals live in read-only memory: a write would crash here.
    const char *const texts[] = {"192.168.1.10", "10.0.0.5-9", "1..2.3.4.5", "10.0.0.*",
                                 "100.100.100.1000000-7", ""};
    for (const char *literal : texts) {
        char *text = const_cast<char *>(literal);
        std::string before(literal);
        unsigned char bytes[5] = {0, 0, 0, 0, 0};
        ValidIPAddress(text, 1);
        ValidIPAddress(text, 0);
        IPAddrStrToByte(text, bytes);
        IsAnIPTypeString(text);
        ParseIPAddressRange(text, bytes);
        IsAnIPRange(text);
        IsAnIPNet(text);
        EXPECT_EQ(before, std::string(literal));
    }
}

// Only space, tab, LF, VT, FF and CR are white space: every other control character, DEL and
// every byte above 0x7F stops a number where white space would be skipped, before, inside
// and after the fields.
TEST(IPv4Text, OnlySixCharactersAreWhiteSpace)
{
    for (int code = 1; code < 256; ++code) {
        if (code == ' ' || (code >= '\t' && code <= '\r') || (code > ' ' && code < 0x7F)) continue;
        const std::string c(1, (char)code);
        SCOPED_TRACE("character " + std::to_string(code));

        // Unsigned fields: white space before a field is skipped, anything else ends the read.
        EXPECT_EQ(IsAnIPTypeString(Text(c + "10.0.0.1").get()), 0);
        EXPECT_EQ(IsAnIPTypeString(Text("10." + c + "0.0.1").get()), 0);
        // The fourth part is a run of non-white-space characters, so this one is there.
        EXPECT_EQ(IsAnIPTypeString(Text("10.0.0." + c).get()), 1);
        EXPECT_EQ(ValidIPAddress(Text(c + "10.0.0.1").get(), 1), -2);
        EXPECT_EQ(ValidIPAddress(Text("10.0.0." + c + "1").get(), 1), -2);
        EXPECT_EQ(ValidIPAddress(Text("10.0.0.1" + c).get(), 1), -2);

        // Leading integers: no digits after the character, so the number reads as 0.
        GuardedBytes bytes(4);
        EXPECT_EQ(IPAddrStrToByte(Text(c + "1.2.3." + c + "4" + c).get(), bytes.data()), 0);
        EXPECT_EQ(bytes.Mismatch({0, 2, 3, 0}), "");
        EXPECT_EQ(ValidIPAddress(Text("10.0.0.5-" + c + "9").get(), 0), -1);
        GuardedBytes range(5);
        ParseIPAddressRange(Text("10.0.0.5-" + c + "9").get(), range.data());
        EXPECT_EQ(range.Mismatch({10, 0, 0, 5, 0}), "");
        EXPECT_TRUE(bytes.CanariesIntact() && range.CanariesIntact());
    }
}
