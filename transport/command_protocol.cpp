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

bool ParseHardwareAddress(const char *text, unsigned char *hardware)
{
    char typed[HARDWARE_TEXT_SIZE];
    if (strnlen(text, HARDWARE_TEXT_SIZE) != HARDWARE_TEXT_SIZE - 1) return false;
    memcpy(typed, text, HARDWARE_TEXT_SIZE);  // the address functions take text that is not const
    unsigned char bytes[6] = {0};
    if (ValidHWAddress(typed) != 0) return false;
    HWAddrStrToByte(typed, bytes);
    if (!ValidHWAddress(bytes)) return false;
    memcpy(hardware, bytes, 6);
    return true;
}
