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
