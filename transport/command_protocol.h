// Wire form of the set-top box's command service: one key command ("press NAME", CR, LF and
// NUL), or one free-text line, per TCP connection to port 8089.
// Portable: no platform headers.
#pragma once

const unsigned short DEVICE_COMMAND_PORT = 8089;

// Reply reading limits of one exchange.
const int REPLY_FIRST_READ_MAX = 1250;
const int REPLY_CLOSING_READ_MAX = 500;

// Free-text line: 1 to 251 typed characters, then CR, LF and NUL.
const int FREE_TEXT_MIN = 1;
const int FREE_TEXT_MAX = 251;
const int FREE_TEXT_FRAME_MAX = FREE_TEXT_MAX + 3;

// Frames a typed line for the wire. Returns the frame length (typed + 3), or 0 when the typed
// length is outside 1..251 or the frame does not fit; nothing is written then.
int FrameFreeText(const char *typed, int typed_length, char *frame, int frame_size);

// The wake ("magic") packet: six 0xFF bytes, then the six bytes of the hardware address sixteen
// times; sent by UDP to the discard port, which the box's network card watches while it sleeps.
const int WAKE_PACKET_SIZE = 6 + 16 * 6;
const unsigned short WAKE_PORT = 9;
void BuildWakePacket(const unsigned char *hardware, unsigned char *packet);
// A hardware address as people have it: six pairs of hex digits joined by colons
// ("00:1a:2b:3c:4d:5e", as this program shows it) or by dashes ("00-1A-2B-3C-4D-5E", as
// ipconfig, getmac and arp print it), either case, with spaces around. It must name one
// network card: not a broadcast or multicast address (the first byte's low bit set, as in
// ff:ff:ff:ff:ff:ff), not all zeros.
const int HARDWARE_TEXT_SIZE = 18;  // its 17 characters and the NUL
// Room for a pasted address with spaces or a line end around it.
const int HARDWARE_TYPED_MAX = 40;
enum HardwareAddressCheck {
    HARDWARE_OK = 0,
    HARDWARE_NOT_AN_ADDRESS = 1,  // not six pairs of hex digits joined by one kind of separator
    HARDWARE_GROUP = 2,           // a broadcast or multicast address
    HARDWARE_ZERO = 3,            // all zeros
};
// Writes the six bytes only for HARDWARE_OK.
HardwareAddressCheck ParseHardwareAddress(const char *text, unsigned char *hardware);
// Why an address was refused, for a message: "a hardware address is ..."; "" for HARDWARE_OK.
const char *HardwareAddressRule(HardwareAddressCheck check);
// The directed broadcast of the network of that prefix length that holds the address (host
// order); 0 for a prefix outside 8..30 (no local network is larger; /31 and /32 have no broadcast),
// and never the limited broadcast 255.255.255.255.
unsigned long DirectedBroadcast(unsigned long address, unsigned prefix_length);
