// Wire form of the set-top box's command service: one key command, or one free-text line,
// per TCP connection to port 8089. Portable: no platform headers.
#pragma once

const unsigned short DEVICE_COMMAND_PORT = 8089;

// Reply reading limits of one exchange.
const int REPLY_FIRST_READ_MAX = 1250;
const int REPLY_CLOSING_READ_MAX = 500;

// Free-text line: 1 to 251 typed characters, then CR, LF and NUL.
const int FREE_TEXT_MIN = 1;
const int FREE_TEXT_MAX = 251;
const int FREE_TEXT_FRAME_MAX = FREE_TEXT_MAX + 3;

// A key command as sent: "press " + key name + CR LF, and the NUL after it, all of it on the wire.
struct KeyCommand {
    const char *bytes;
    int length;  // bytes up to and including LF, plus the NUL
};

extern const KeyCommand KEY_POWER, KEY_PLAYPAUSE, KEY_PLAY, KEY_REVERSE, KEY_FORWARD, KEY_RECORD,
    KEY_STOP, KEY_MENU, KEY_OK, KEY_ACCEPT, KEY_CANCEL, KEY_SELECT, KEY_GUIDE, KEY_UP, KEY_DOWN,
    KEY_LEFT, KEY_RIGHT, KEY_VOLUME_UP, KEY_VOLUME_DOWN, KEY_MUTE, KEY_PAGE_CHANNEL_UP,
    KEY_PAGE_CHANNEL_DOWN, KEY_NUMBER0, KEY_NUMBER1, KEY_NUMBER2, KEY_NUMBER3, KEY_NUMBER4,
    KEY_NUMBER5, KEY_NUMBER6, KEY_NUMBER7, KEY_NUMBER8, KEY_NUMBER9, KEY_PUNCTUATION1,
    KEY_PUNCTUATION2;

// All 34 key commands, for tools and tests that walk the vocabulary.
extern const KeyCommand *const ALL_KEY_COMMANDS[];
const int KEY_COMMAND_COUNT = 34;

// Frames a typed line for the wire. Returns the frame length (typed + 3), or 0 when the typed
// length is outside 1..251 or the frame does not fit; nothing is written then.
int FrameFreeText(const char *typed, int typed_length, char *frame, int frame_size);
