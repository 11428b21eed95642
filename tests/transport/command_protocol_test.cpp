#include "transport/command_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FreeText, FramesTypedTextWithCrLfNul)
{
    char frame[FREE_TEXT_FRAME_MAX];
    ASSERT_EQ(FrameFreeText("abc", 3, frame, sizeof(frame)), 6);
    EXPECT_EQ(std::string(frame, 6), std::string("abc\r\n\0", 6));

    // Non-ASCII bytes pass unchanged.
    const char latin[] = "\xe9\xff";
    ASSERT_EQ(FrameFreeText(latin, 2, frame, sizeof(frame)), 5);
    EXPECT_EQ(std::string(frame, 5), std::string("\xe9\xff\r\n\0", 5));
}

TEST(FreeText, AcceptsOneTo251CharactersOnly)
{
    std::string text(300, 'x');
    char frame[400];
    memset(frame, 0x55, sizeof(frame));
    EXPECT_EQ(FrameFreeText(text.c_str(), 0, frame, sizeof(frame)), 0);
    EXPECT_EQ(FrameFreeText(text.c_str(), 252, frame, sizeof(frame)), 0);
    EXPECT_EQ(FrameFreeText(text.c_str(), -1, frame, sizeof(frame)), 0);
    EXPECT_EQ((unsigned char)frame[0], 0x55) << "a refused line writes nothing";
    EXPECT_EQ(FrameFreeText(text.c_str(), 1, frame, sizeof(frame)), 4);
    EXPECT_EQ(FrameFreeText(text.c_str(), 251, frame, sizeof(frame)), 254);
    EXPECT_EQ(frame[253], '\0');
    EXPECT_EQ((unsigned char)frame[254], 0x55) << "nothing past the frame";
    // A frame buffer too small is refused rather than overrun.
    EXPECT_EQ(FrameFreeText(text.c_str(), 10, frame, 12), 0);
}

TEST(WakePacket, SixFfThenTheAddressSixteenTimesToTheBoxNetworksBroadcast)
{
    const unsigned char hardware[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    unsigned char packet[WAKE_PACKET_SIZE + 1];
    packet[WAKE_PACKET_SIZE] = 0x77;
    BuildWakePacket(hardware, packet);
    ASSERT_EQ(WAKE_PACKET_SIZE, 102);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(packet[i], 0xFF);
    for (int i = 6; i < WAKE_PACKET_SIZE; ++i) EXPECT_EQ(packet[i], hardware[(i - 6) % 6]) << i;
    EXPECT_EQ(packet[WAKE_PACKET_SIZE], 0x77);
    // Host-order address, prefix length, broadcast (0: none).
    const unsigned long rows[][3] = {
        {0x7F000040ul, 8, 0x7FFFFFFFul},   // 127.0.0.64/8
        {0xC0A80114ul, 24, 0xC0A801FFul},  // 192.168.1.20/24
        {0x0A0B0C0Dul, 20, 0x0A0B0FFFul},  // 10.11.12.13/20
        {0xC0A80114ul, 30, 0xC0A80117ul},
        {0xC0A80114ul, 31, 0}, {0xC0A80114ul, 32, 0}, {0xC0A80114ul, 7, 0}, {0xC0A80114ul, 0, 0},
        {0xFF000001ul, 8, 0},  // never the limited broadcast
    };
    for (const auto &row : rows) EXPECT_EQ(DirectedBroadcast(row[0], (unsigned)row[1]), row[2]) << std::hex << row[0];
}

// Hardware addresses as people have them: colons or dashes, either case, spaces around; kept in
// the colon form's bytes. Broadcast, multicast and all zeros name no one card.
TEST(HardwareAddress, ColonsOrDashesEitherCaseAndOnlyOneCard)
{
    const unsigned char card[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    const struct {
        const char *text;
        HardwareAddressCheck check;
    } rows[] = {
        {"00:1a:2b:3c:4d:5e", HARDWARE_OK},
        {"00-1A-2B-3C-4D-5E", HARDWARE_OK},  // as ipconfig /all, getmac and arp -a print it
        {"00-1a-2B-3c-4D-5e", HARDWARE_OK},
        {"  00:1A:2b:3c:4d:5e \t\r\n", HARDWARE_OK},
        {" 00-1a-2b-3c-4d-5e", HARDWARE_OK},
        {"00:1a-2b:3c:4d:5e", HARDWARE_NOT_AN_ADDRESS},  // one kind of separator
        {"00.1a.2b.3c.4d.5e", HARDWARE_NOT_AN_ADDRESS},
        {"00 1a 2b 3c 4d 5e", HARDWARE_NOT_AN_ADDRESS},
        {"00:1a:2b:3c:4d", HARDWARE_NOT_AN_ADDRESS},
        {"00:1a:2b:3c:4d:5e:6f", HARDWARE_NOT_AN_ADDRESS},
        {"001a2b3c4d5e", HARDWARE_NOT_AN_ADDRESS},
        {"0g:1a:2b:3c:4d:5e", HARDWARE_NOT_AN_ADDRESS},
        {"00:1a:2b:3c:4d:5e x", HARDWARE_NOT_AN_ADDRESS},
        {"", HARDWARE_NOT_AN_ADDRESS},
        {"ff:ff:ff:ff:ff:ff", HARDWARE_GROUP},  // broadcast
        {"FF-FF-FF-FF-FF-FF", HARDWARE_GROUP},
        {"01:00:5e:00:00:fb", HARDWARE_GROUP},  // multicast
        {"33-33-00-00-00-01", HARDWARE_GROUP},
        {"00:00:00:00:00:00", HARDWARE_ZERO},
        {"00-00-00-00-00-00", HARDWARE_ZERO},
    };
    for (const auto &row : rows) {
        unsigned char got[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_EQ(ParseHardwareAddress(row.text, got), row.check) << row.text;
        if (row.check == HARDWARE_OK) EXPECT_EQ(memcmp(got, card, 6), 0) << row.text;
        else EXPECT_EQ(got[0], 0xEE) << row.text << ": nothing written";
        EXPECT_EQ(*HardwareAddressRule(row.check) == '\0', row.check == HARDWARE_OK) << row.text;
    }
    unsigned char got[6];
    EXPECT_EQ(ParseHardwareAddress(std::string(HARDWARE_TYPED_MAX + 1, ' ').c_str(), got), HARDWARE_NOT_AN_ADDRESS);
    EXPECT_NE(std::string(HardwareAddressRule(HARDWARE_GROUP)).find("broadcast or multicast"), std::string::npos);
}
