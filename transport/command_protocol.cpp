#include "transport/command_protocol.h"

// sizeof a string literal counts its NUL, which is exactly the length that goes on the wire.
#define KEY_COMMAND(name) { "press " name "\r\n", (int)sizeof("press " name "\r\n") }

const KeyCommand KEY_POWER = KEY_COMMAND("POWER");
const KeyCommand KEY_PLAYPAUSE = KEY_COMMAND("PLAYPAUSE");
const KeyCommand KEY_PLAY = KEY_COMMAND("PLAY");
const KeyCommand KEY_REVERSE = KEY_COMMAND("REVERSE");
const KeyCommand KEY_FORWARD = KEY_COMMAND("FORWARD");
const KeyCommand KEY_RECORD = KEY_COMMAND("RECORD");
const KeyCommand KEY_STOP = KEY_COMMAND("STOP");
const KeyCommand KEY_MENU = KEY_COMMAND("MENU");
const KeyCommand KEY_OK = KEY_COMMAND("OK");
const KeyCommand KEY_ACCEPT = KEY_COMMAND("ACCEPT");
const KeyCommand KEY_CANCEL = KEY_COMMAND("CANCEL");
const KeyCommand KEY_SELECT = KEY_COMMAND("SELECT");
const KeyCommand KEY_GUIDE = KEY_COMMAND("GUIDE");
const KeyCommand KEY_UP = KEY_COMMAND("UP");
const KeyCommand KEY_DOWN = KEY_COMMAND("DOWN");
const KeyCommand KEY_LEFT = KEY_COMMAND("LEFT");
const KeyCommand KEY_RIGHT = KEY_COMMAND("RIGHT");
const KeyCommand KEY_VOLUME_UP = KEY_COMMAND("VOLUME_UP");
const KeyCommand KEY_VOLUME_DOWN = KEY_COMMAND("VOLUME_DOWN");
const KeyCommand KEY_MUTE = KEY_COMMAND("MUTE");
const KeyCommand KEY_PAGE_CHANNEL_UP = KEY_COMMAND("PAGE_CHANNEL_UP");
const KeyCommand KEY_PAGE_CHANNEL_DOWN = KEY_COMMAND("PAGE_CHANNEL_DOWN");
const KeyCommand KEY_NUMBER0 = KEY_COMMAND("NUMBER0");
const KeyCommand KEY_NUMBER1 = KEY_COMMAND("NUMBER1");
const KeyCommand KEY_NUMBER2 = KEY_COMMAND("NUMBER2");
const KeyCommand KEY_NUMBER3 = KEY_COMMAND("NUMBER3");
const KeyCommand KEY_NUMBER4 = KEY_COMMAND("NUMBER4");
const KeyCommand KEY_NUMBER5 = KEY_COMMAND("NUMBER5");
const KeyCommand KEY_NUMBER6 = KEY_COMMAND("NUMBER6");
const KeyCommand KEY_NUMBER7 = KEY_COMMAND("NUMBER7");
const KeyCommand KEY_NUMBER8 = KEY_COMMAND("NUMBER8");
const KeyCommand KEY_NUMBER9 = KEY_COMMAND("NUMBER9");
const KeyCommand KEY_PUNCTUATION1 = KEY_COMMAND("PUNCTUATION1");
const KeyCommand KEY_PUNCTUATION2 = KEY_COMMAND("PUNCTUATION2");

const KeyCommand *const ALL_KEY_COMMANDS[KEY_COMMAND_COUNT] = {
    &KEY_POWER, &KEY_PLAYPAUSE, &KEY_PLAY, &KEY_REVERSE, &KEY_FORWARD, &KEY_RECORD, &KEY_STOP,
    &KEY_MENU, &KEY_OK, &KEY_ACCEPT, &KEY_CANCEL, &KEY_SELECT, &KEY_GUIDE, &KEY_UP, &KEY_DOWN,
    &KEY_LEFT, &KEY_RIGHT, &KEY_VOLUME_UP, &KEY_VOLUME_DOWN, &KEY_MUTE, &KEY_PAGE_CHANNEL_UP,
    &KEY_PAGE_CHANNEL_DOWN, &KEY_NUMBER0, &KEY_NUMBER1, &KEY_NUMBER2, &KEY_NUMBER3, &KEY_NUMBER4,
    &KEY_NUMBER5, &KEY_NUMBER6, &KEY_NUMBER7, &KEY_NUMBER8, &KEY_NUMBER9, &KEY_PUNCTUATION1,
    &KEY_PUNCTUATION2,
};

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
