// Hardware (MAC) address text and bytes.
#include "address/address.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
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

struct Text {
    explicit Text(const std::string &s) : chars(s.begin(), s.end()) { chars.push_back('\0'); }
    char *get() { return chars.data(); }
    std::vector<char> chars;
};

std::string Show(const std::string &s)
{
    if (s.size() > 40)
        return "<" + std::to_string(s.size()) + " chars: " + s.substr(0, 24) + "...>";
    return "\"" + s + "\"";
}

}  // namespace

TEST(ValidHWAddressText, SixHexPairs)
{
    struct Case {
        std::string text;
        int expected;
    };
    const Case cases[] = {
        {"00:1a:2b:3c:4d:5e", 0},
        {"00:1A:2B:3C:4D:5E", 0},
        {"00:1a:2B:3c:4D:5e", 0},
        {"ff:ff:ff:ff:ff:ff", 0},
        {"00:00:00:00:00:00", 0},
        {"09:af:AF:f0:0F:99", 0},
        {"", -1},
        {"0:1a:2b:3c:4d:5e", -2},
        {"00:1a:2b:3c:4d:5", -2},
        {"00-1a-2b-3c-4d-5e", -2},
        {"00:1a:2b:3c:4d:5e:6f", -2},
        {"00:1a:2b:3c:4d:5e:", -2},
        {"00:1a:2b:3c:4d", -2},
        {" 00:1a:2b:3c:4d:5e", -2},
        {"00:1a:2b:3c:4d:5e ", -2},
        {"00:1a:2b:3c:4d:5e\n", -2},
        {"00: 1a:2b:3c:4d:5e", -2},
        {"00:1a:2b:\t3c:4d:5e", -2},
        {"00:1a:2b:3c:4d:5g", -2},
        {"g0:1a:2b:3c:4d:5e", -2},
        {"0x:1a:2b:3c:4d:5e", -2},
        {"+0:1a:2b:3c:4d:5e", -2},
        {"-1:1a:2b:3c:4d:5e", -2},
        {"000:1a:2b:3c:4d:5e", -2},
        {"00::1a:2b:3c:4d:5e", -2},
        {"001a2b3c4d5e", -2},
        {":", -2},
        {"00:1a:2b:3c:4d:5e" + std::string(10000, 'f'), -2},
        {std::string(10000, ':'), -2},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.expected, ValidHWAddress(text.get())) << Show(c.text);
    }
}

TEST(ValidHWAddressBytes, AnyNonZeroByte)
{
    struct Case {
        unsigned char bytes[6];
        int expected;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0}, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1},
        {{0, 0, 0, 0, 0, 1}, 1},
        {{1, 0, 0, 0, 0, 0}, 1},
        {{0, 0, 0x80, 0, 0, 0}, 1},
    };
    for (const Case &c : cases) {
        unsigned char bytes[6];
        for (int i = 0; i < 6; ++i)
            bytes[i] = c.bytes[i];
        EXPECT_EQ(c.expected, ValidHWAddress(bytes));
    }
}

TEST(HWAddrByteToStr, LowerCaseHexPairs)
{
    struct Case {
        unsigned char bytes[6];
        const char *text;
    };
    const Case cases[] = {
        {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "00:1a:2b:3c:4d:5e"},
        {{0, 0, 0, 0, 0, 0}, "00:00:00:00:00:00"},
        {{0xFF, 0xFE, 0xA0, 0x0A, 0x09, 0x90}, "ff:fe:a0:0a:09:90"},
    };
    for (const Case &c : cases) {
        unsigned char bytes[6];
        for (int i = 0; i < 6; ++i)
            bytes[i] = c.bytes[i];
        GuardedBytes out(18);
        char *text = reinterpret_cast<char *>(out.data());
        EXPECT_EQ(0, HWAddrByteToStr(bytes, text));
        EXPECT_EQ(std::string(c.text), std::string(text));
        EXPECT_TRUE(out.CanariesIntact()) << c.text;
    }
}

TEST(StringToHex, OneOrTwoDigits)
{
    struct Case {
        std::string text;
        int expected;
    };
    const Case cases[] = {
        {"7", 7},   {"7f", 127}, {"7F", 127}, {"ff", 255}, {"FF", 255}, {"0a", 10},
        {"A", 10},  {"00", 0},   {"0", 0},    {"10", 16},  {"9f", 159}, {"fa", 250},
        {"100", 0}, {"fff", 0},  {"g", 0},    {"1g", 0},   {"g1", 0},   {"", 0},
        {" 1", 0},  {"1 ", 0},   {"+1", 0},   {"-1", 0},   {"x1", 0},   {":", 0},
        {std::string(10000, 'f'), 0},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        EXPECT_EQ(c.expected, static_cast<int>(StringToHex(text.get()))) << Show(c.text);
    }
}

TEST(HWAddrStrToByte, PartsAndBytes)
{
    const int U = kUntouched;
    struct Case {
        std::string text;
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {"00:1A:2b:3C:4d:5E", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {"1:2:3:4:5:6", {1, 2, 3, 4, 5, 6}},
        {"001:zz:3:4:5:6", {0, 0, 3, 4, 5, 6}},
        {"aa::bb", {0xAA, 0xBB, U, U, U, U}},
        {"::aa:::bb::", {0xAA, 0xBB, U, U, U, U}},
        {"1:2:3:4:5:6:7:8", {1, 2, 3, 4, 5, 6}},
        {"", {U, U, U, U, U, U}},
        {":::", {U, U, U, U, U, U}},
        {" 1:2 :-1:+1:1g:ff", {0, 0, 0, 0, 0, 0xFF}},
        {"00-1a-2b-3c-4d-5e", {0, U, U, U, U, U}},
        // 19 characters fit, 20 do not.
        {"01:02:03:04:05:06::", {1, 2, 3, 4, 5, 6}},
        {"1:2:3:4:5:6:7:8:9:a", {1, 2, 3, 4, 5, 6}},
        {"01:02:03:04:05:06:::", {U, U, U, U, U, U}},
        {"00:1a:2b:3c:4d:5e" + std::string(3, ' '), {U, U, U, U, U, U}},
        {"00:1a:2b:3c:4d:5e" + std::string(9983, ':'), {U, U, U, U, U, U}},
        {std::string(10000, 'a'), {U, U, U, U, U, U}},
    };
    for (const Case &c : cases) {
        Text text(c.text);
        GuardedBytes out(6);
        EXPECT_EQ(0, HWAddrStrToByte(text.get(), out.data())) << Show(c.text);
        EXPECT_EQ("", out.Mismatch(c.bytes)) << Show(c.text);
        EXPECT_TRUE(out.CanariesIntact()) << Show(c.text);
    }
}

TEST(HWAddrStrToByte, OverlappingCallsFromThreads)
{
    // Each call keeps its own working copy, so concurrent calls with
    // different texts never see each other's parts.
    const char *texts[4] = {"11:22:33:44:55:66", "aa:bb:cc:dd:ee:ff", "01:02:03:04:05:06",
                            "f0:e0:d0:c0:b0:a0"};
    const unsigned char expected[4][6] = {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
                                          {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF},
                                          {1, 2, 3, 4, 5, 6},
                                          {0xF0, 0xE0, 0xD0, 0xC0, 0xB0, 0xA0}};
    int failures[4] = {0, 0, 0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i) {
                unsigned char bytes[6];
                HWAddrStrToByte(const_cast<char *>(texts[t]), bytes);
                for (int k = 0; k < 6; ++k) {
                    if (bytes[k] != expected[t][k])
                        ++failures[t];
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(0, failures[t]) << texts[t];
}

TEST(HWText, ReadOnlyTextIsNotModified)
{
    // String literals live in read-only memory: a write would crash here.
    const char *const texts[] = {"00:1a:2b:3c:4d:5e", "aa::bb", "1:2:3:4:5:6:7:8", "7f", ""};
    for (const char *literal : texts) {
        char *text = const_cast<char *>(literal);
        std::string before(literal);
        unsigned char bytes[6] = {0, 0, 0, 0, 0, 0};
        ValidHWAddress(text);
        StringToHex(text);
        HWAddrStrToByte(text, bytes);
        EXPECT_EQ(before, std::string(literal));
    }
}

// No character is white space in hardware address text: a control character, DEL or a byte
// above 0x7F before, inside or after a pair makes the text invalid and its part a zero byte.
TEST(HWText, NoCharacterIsSkippedAsWhiteSpace)
{
    for (int code = 1; code < 256; ++code) {
        if (code > ' ' && code < 0x7F) continue;
        const std::string c(1, (char)code);
        SCOPED_TRACE("character " + std::to_string(code));
        EXPECT_EQ(ValidHWAddress(Text(c + "00:1a:2b:3c:4d:5e").get()), -2);
        EXPECT_EQ(ValidHWAddress(Text("00:1a:" + c + "2b:3c:4d:5e").get()), -2);
        EXPECT_EQ(ValidHWAddress(Text("00:1a:2b:3c:4d:5e" + c).get()), -2);
        EXPECT_EQ(StringToHex(Text(c + "7").get()), 0);
        EXPECT_EQ(StringToHex(Text("7" + c).get()), 0);
        GuardedBytes bytes(6);
        EXPECT_EQ(HWAddrStrToByte(Text(c + "1:2:3" + c + ":4:5:6" + c).get(), bytes.data()), 0);
        EXPECT_EQ(bytes.Mismatch({0, 2, 0, 4, 5, 0}), "");
        EXPECT_TRUE(bytes.CanariesIntact());
    }
}
