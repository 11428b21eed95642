#include "transport/command_protocol.h"

#include <string.h>

#include "address/address.h"

int FrameFreeText(const char *typed, int typed_length, char *frame, int frame_size)
{
    if (typed == nullptr || frame == nullptr) return 0;
    if (typed_length < FREE_TEXT_MIN || typed_length > FREE_TEXT_MAX) return 0;
    if (frame_size < typed_length + 3) return 0;
    for (int i = 0; i < typed_length; ++i) frame[i] = typed[i];
    frame[typed_length] = '\r';
    frame[typed_length + 1] = '\n';
    frame[typed_length + 2] = '\0';
    return typed_length + 3;
}

void BuildWakePacket(const unsigned char *hardware, unsigned char *packet)
{
    for (int i = 0; i < 6; ++i) packet[i] = 0xFF;
    for (int copy = 0; copy < 16; ++copy)
        for (int i = 0; i < 6; ++i) packet[6 + copy * 6 + i] = hardware[i];
}

unsigned long DirectedBroadcast(unsigned long address, unsigned prefix_length)
{
    if (prefix_length < 8 || prefix_length > 30) return 0;
    unsigned long host_bits = 0xFFFFFFFFul >> prefix_length;
    unsigned long broadcast = (address & 0xFFFFFFFFul) | host_bits;
    return broadcast == 0xFFFFFFFFul ? 0 : broadcast;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

HardwareAddressCheck ParseHardwareAddress(const char *text, unsigned char *hardware)
{
    if (!text) return HARDWARE_NOT_AN_ADDRESS;
    size_t length = strnlen(text, HARDWARE_TYPED_MAX + 1);
    if (length > HARDWARE_TYPED_MAX) return HARDWARE_NOT_AN_ADDRESS;
    size_t first = 0;
    while (first < length && IsBlank(text[first])) ++first;
    while (length > first && IsBlank(text[length - 1])) --length;
    if (length - first != HARDWARE_TEXT_SIZE - 1) return HARDWARE_NOT_AN_ADDRESS;
    // The colon form, which the address functions read: dashes become colons, but only where
    // all five separators are dashes ("00:1a-2b..." is no one's way of writing it).
    char typed[HARDWARE_TEXT_SIZE];
    memcpy(typed, text + first, HARDWARE_TEXT_SIZE - 1);
    typed[HARDWARE_TEXT_SIZE - 1] = '\0';
    int dashes = 0;
    for (int at = 2; at < HARDWARE_TEXT_SIZE - 1; at += 3) dashes += typed[at] == '-';
    if (dashes == 5)
        for (int at = 2; at < HARDWARE_TEXT_SIZE - 1; at += 3) typed[at] = ':';
    if (ValidHWAddress(typed) != 0) return HARDWARE_NOT_AN_ADDRESS;
    unsigned char bytes[6] = {0};
    HWAddrStrToByte(typed, bytes);
    if (!ValidHWAddress(bytes)) return HARDWARE_ZERO;
    if (bytes[0] & 0x01) return HARDWARE_GROUP;  // the group bit: every card of a group takes it
    memcpy(hardware, bytes, 6);
    return HARDWARE_OK;
}

const char *HardwareAddressRule(HardwareAddressCheck check)
{
    switch (check) {
    case HARDWARE_OK:
        return "";
    case HARDWARE_GROUP:
        return "a broadcast or multicast hardware address (its first byte odd, as ff:ff:ff:ff:ff:ff) is no one box's";
    case HARDWARE_ZERO:
        return "a hardware address of all zeros is no box's";
    default:
        return "a hardware address is six pairs of hex digits with colons or dashes, as 00:1a:2b:3c:4d:5e";
    }
}
