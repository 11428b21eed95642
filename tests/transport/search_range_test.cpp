#include "transport/search_range.h"
#include "transport/moved_box.h"
#include "address/ipv4_value.h"

#include <gtest/gtest.h>

#include <string>

TEST(SearchRange, ReadsTheThreeFormsAndRefusesWhatTheRuleForbids)
{
    struct Row { const char *text; int status; const char *first; unsigned count; };
    const Row rows[] = {
        {"127.0.9.0/24", RANGE_OK, "127.0.9.0", 256},
        {"127.0.9.77/24", RANGE_OK, "127.0.9.0", 256},   // the network of the address
        {"192.168.1.16/28", RANGE_OK, "192.168.1.16", 16},
        {"10.1.0.0/22", RANGE_OK, "10.1.0.0", 1024},
        {"172.31.255.255/32", RANGE_OK, "172.31.255.255", 1},
        {"169.254.3.1-254", RANGE_OK, "169.254.3.1", 254},
        {"192.168.0.7", RANGE_OK, "192.168.0.7", 1},
        {"10.1.0.0/21", RANGE_TOO_LARGE, "", 0},
        {"127.0.0.0/8", RANGE_TOO_LARGE, "", 0},
        {"8.8.8.0/24", RANGE_NOT_LOCAL, "", 0},
        {"172.32.0.0/24", RANGE_NOT_LOCAL, "", 0},
        {"172.16.0.0/11", RANGE_NOT_LOCAL, "", 0},      // reaches past 172.31
        {"0.0.0.0/0", RANGE_NOT_LOCAL, "", 0},
        {"192.168.1.0/33", RANGE_MALFORMED, "", 0},
        {"192.168.1.0/024", RANGE_MALFORMED, "", 0},
        {"192.168.1.9-3", RANGE_MALFORMED, "", 0},
        {"192.168.01.0/24", RANGE_MALFORMED, "", 0},
        {"192.168.1.0/24 ", RANGE_MALFORMED, "", 0},
        {"", RANGE_MALFORMED, "", 0},
        {"192.168.100.100-200x", RANGE_MALFORMED, "", 0},  // over-long
        {"10.0.0.1-25x", RANGE_MALFORMED, "", 0},          // anything after the end number
        {"10.0.0.5-9-7", RANGE_MALFORMED, "", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        SearchRange range = {12345, 6};
        EXPECT_EQ(ParseSearchRange(row.text, &range), row.status);
        char first[16] = "";
        if (row.status == RANGE_OK) Ipv4Value::FromNumber(range.first).Format(first);
        EXPECT_EQ(std::string(first), row.first);
        EXPECT_EQ(range.count, row.status == RANGE_OK ? row.count : 6u);
        EXPECT_EQ(std::string(SearchRangeRule(row.status)).empty(), row.status == RANGE_OK);
    }
}

TEST(SearchRange, OffersThePrivateNetworkOfAnInterface)
{
    struct Row { unsigned long address; int prefix; const char *text; };
    const Row rows[] = {
        {0xC0A8012AUL, 24, "192.168.1.0/24"}, {0x0A0B0C0DUL, 8, "10.11.12.0/24"},
        {0xAC1000A5UL, 28, "172.16.0.0/24"}, {0x0A080006UL, 32, "10.8.0.0/24"},   // narrower: its /24
        {0x7F000001UL, 8, ""}, {0xA9FE0101UL, 16, ""}, {0x08080808UL, 24, ""},
    };
    for (const Row &row : rows) {
        char text[20] = "";
        EXPECT_EQ(LocalNetworkRange(row.address, row.prefix, text), *row.text ? 1 : 0);
        EXPECT_EQ(std::string(text), row.text);
    }
}

TEST(SearchRange, OffersTheNetworkOfTheAdapterWithAGatewayFirst)
{
    const NetworkCandidate hyper_v = {0xAC1C7001UL, 20, false}, wsl = {0xC0A8B801UL, 28, false};
    const NetworkCandidate home = {0xC0A8012AUL, 24, true}, vpn = {0x0A080006UL, 32, false};
    const NetworkCandidate public_out = {0xCB007122UL, 24, true}, loopback = {0x7F000001UL, 8, true};
    struct Row { const char *name; NetworkCandidate candidates[3]; int count; const char *text; };
    const Row rows[] = {
        {"gateway after virtual", {hyper_v, wsl, home}, 3, "192.168.1.0/24"},
        {"no gateway: first private", {vpn, hyper_v}, 2, "10.8.0.0/24"},
        {"public with gateway", {public_out, wsl}, 2, "192.168.184.0/24"},
        {"loopback with gateway", {loopback, vpn, home}, 3, "192.168.1.0/24"},
        {"none private", {public_out, loopback}, 2, ""},
        {"none at all", {}, 0, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        char text[20] = "";
        EXPECT_EQ(OfferedRange(row.candidates, row.count, text), *row.text ? 1 : 0);
        EXPECT_EQ(std::string(text), row.text);
    }
}

TEST(MovedBox, FollowsOnlyTheOneAddressThatAnsweredWithTheHardwareAddress)
{
    const unsigned char box[6] = {0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    const Neighbour table[] = {
        {0x7F000114UL, {0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}},  // the old address, still in the table
        {0x7F000115UL, {0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}},
        {0x7F000116UL, {0x02, 0x99, 0x2b, 0x3c, 0x4d, 0x5e}},  // another box
        {0x7F000117UL, {0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}},
    };
    struct Row { const char *name; unsigned long answered[3]; int count; int choice; unsigned long found; int matching; };
    const Row rows[] = {
        {"one", {0x7F000116UL, 0x7F000115UL}, 2, MOVED_BOX_ONE, 0x7F000115UL, 1},
        {"one, listed twice", {0x7F000115UL, 0x7F000115UL}, 2, MOVED_BOX_ONE, 0x7F000115UL, 1},
        {"several", {0x7F000117UL, 0x7F000116UL, 0x7F000115UL}, 3, MOVED_BOX_SEVERAL, 0, 2},
        {"none: another box answers", {0x7F000116UL}, 1, MOVED_BOX_NONE, 0, 0},
        {"none: the answer is not in the table", {0x7F000120UL}, 1, MOVED_BOX_NONE, 0, 0},
        {"none answered", {}, 0, MOVED_BOX_NONE, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        unsigned long found = 0;
        int matching = -1;
        EXPECT_EQ(ChooseMovedBox(table, 4, row.answered, row.count, box, &found, &matching), row.choice);
        EXPECT_EQ(matching, row.matching);
        if (row.choice == MOVED_BOX_ONE) {
            EXPECT_EQ(found, row.found);
        }
    }
    // A refusal: the box itself, unless the table gives its old address another hardware address.
    EXPECT_FALSE(AddressTakenByAnother(table, 4, 0x7F000114UL, box));
    EXPECT_FALSE(AddressTakenByAnother(table, 4, 0x7F000120UL, box));  // not in the table
    EXPECT_TRUE(AddressTakenByAnother(table, 4, 0x7F000116UL, box));
    SearchRange range = {0, 0};
    EXPECT_EQ(MovedBoxRange(0xC0A80114UL, &range), RANGE_OK);  // 192.168.1.20: 192.168.1.0/24
    EXPECT_EQ(range.first, 0xC0A80100UL);
    EXPECT_EQ(range.count, 256u);
    EXPECT_EQ(MovedBoxRange(0x08080808UL, &range), RANGE_NOT_LOCAL);  // never beyond the local networks
}
