// The IPv4 value type: what it takes as an address, and its forms back and forth.
#include "address/ipv4_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Ipv4Value, ParsesFormatsCountsAndPacksOneWay)
{
    struct Row {
        const char *text;
        bool parsed;
        unsigned char bytes[4];
        unsigned long number;
        uintptr_t notice;
    };
    const Row rows[] = {
        {"192.168.1.20", true, {192, 168, 1, 20}, 0xC0A80114UL, 0x1401A8C0u},
        {"127.0.0.1", true, {127, 0, 0, 1}, 0x7F000001UL, 0x0100007Fu},
        {"0.0.0.0", true, {0, 0, 0, 0}, 0, 0},
        {"255.255.255.255", true, {255, 255, 255, 255}, 0xFFFFFFFFUL, 0xFFFFFFFFu},
        {"192.168.001.020", false, {}, 0, 0},
        {"1.2.3", false, {}, 0, 0},
        {"256.1.1.1", false, {}, 0, 0},
        {" 1.2.3.4", false, {}, 0, 0},
        {"1.2.3.4 ", false, {}, 0, 0},
        {"10.0.0.5-9", false, {}, 0, 0},
        {"", false, {}, 0, 0},
        {"127.0.0.1.........................", false, {}, 0, 0},  // longer than the reader looks
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        Ipv4Value address = {{0xA5, 0xA5, 0xA5, 0xA5}};
        ASSERT_EQ(Ipv4Value::Parse(row.text, &address), row.parsed);
        if (!row.parsed) {
            EXPECT_EQ(address.Number(), 0xA5A5A5A5UL) << "a refused text leaves the address";
            continue;
        }
        EXPECT_EQ(std::string((const char *)address.bytes, 4), std::string((const char *)row.bytes, 4));
        char text[IPV4_TEXT_SIZE];
        address.Format(text);
        EXPECT_STREQ(text, row.text);
        EXPECT_EQ(address.IsUnset(), row.number == 0);
        EXPECT_EQ(address.Number(), row.number);
        EXPECT_EQ(Ipv4Value::FromNumber(row.number).Number(), row.number);
        EXPECT_EQ(address.Notice(), row.notice);
        EXPECT_EQ(Ipv4Value::FromNotice(row.notice).Number(), row.number);
    }
}

}  // namespace
