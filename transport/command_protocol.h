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
// A hardware address as typed, "00:1a:2b:3c:4d:5e" in any case: true with its six bytes when
// ValidHWAddress takes it and it is not all zeros.
const int HARDWARE_TEXT_SIZE = 18;  // its 17 characters and the NUL
bool ParseHardwareAddress(const char *text, unsigned char *hardware);
// The directed broadcast of the network of that prefix length that holds the address (host
// order); 0 for a prefix outside 8..30 (no local network is larger; /31 and /32 have no broadcast),
// and never the limited broadcast 255.255.255.255.
unsigned long DirectedBroadcast(unsigned long address, unsigned prefix_length);
