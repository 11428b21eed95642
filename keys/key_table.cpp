// The key vocabulary as data, with its look-ups.
#include "keys/keys.h"

// sizeof a string literal counts its NUL, which is exactly the length that goes on the wire.
#define KEY_COMMAND(name) {name, "press " name "\r\n", (int)sizeof("press " name "\r\n")}

const KeyCommand KEY_COMMANDS[] = {
    KEY_COMMAND("POWER"), KEY_COMMAND("PLAYPAUSE"), KEY_COMMAND("PLAY"), KEY_COMMAND("REVERSE"),
    KEY_COMMAND("FORWARD"), KEY_COMMAND("RECORD"), KEY_COMMAND("STOP"), KEY_COMMAND("MENU"),
    KEY_COMMAND("OK"), KEY_COMMAND("ACCEPT"), KEY_COMMAND("CANCEL"), KEY_COMMAND("SELECT"),
    KEY_COMMAND("GUIDE"), KEY_COMMAND("UP"), KEY_COMMAND("DOWN"), KEY_COMMAND("LEFT"),
    KEY_COMMAND("RIGHT"), KEY_COMMAND("VOLUME_UP"), KEY_COMMAND("VOLUME_DOWN"), KEY_COMMAND("MUTE"),
    KEY_COMMAND("PAGE_CHANNEL_UP"), KEY_COMMAND("PAGE_CHANNEL_DOWN"), KEY_COMMAND("NUMBER0"),
    KEY_COMMAND("NUMBER1"), KEY_COMMAND("NUMBER2"), KEY_COMMAND("NUMBER3"), KEY_COMMAND("NUMBER4"),
    KEY_COMMAND("NUMBER5"), KEY_COMMAND("NUMBER6"), KEY_COMMAND("NUMBER7"), KEY_COMMAND("NUMBER8"),
    KEY_COMMAND("NUMBER9"), KEY_COMMAND("PUNCTUATION1"), KEY_COMMAND("PUNCTUATION2"),
};
const int KEY_COMMAND_COUNT = sizeof(KEY_COMMANDS) / sizeof(KEY_COMMANDS[0]);

// By name, at their places above.
const KeyCommand &KEY_POWER = KEY_COMMANDS[0], &KEY_PLAYPAUSE = KEY_COMMANDS[1], &KEY_PLAY = KEY_COMMANDS[2],
    &KEY_REVERSE = KEY_COMMANDS[3], &KEY_FORWARD = KEY_COMMANDS[4], &KEY_RECORD = KEY_COMMANDS[5],
    &KEY_STOP = KEY_COMMANDS[6], &KEY_MENU = KEY_COMMANDS[7], &KEY_OK = KEY_COMMANDS[8],
    &KEY_ACCEPT = KEY_COMMANDS[9], &KEY_CANCEL = KEY_COMMANDS[10], &KEY_SELECT = KEY_COMMANDS[11],
    &KEY_GUIDE = KEY_COMMANDS[12], &KEY_UP = KEY_COMMANDS[13], &KEY_DOWN = KEY_COMMANDS[14],
    &KEY_LEFT = KEY_COMMANDS[15], &KEY_RIGHT = KEY_COMMANDS[16], &KEY_VOLUME_UP = KEY_COMMANDS[17],
    &KEY_VOLUME_DOWN = KEY_COMMANDS[18], &KEY_MUTE = KEY_COMMANDS[19], &KEY_PAGE_CHANNEL_UP = KEY_COMMANDS[20],
    &KEY_PAGE_CHANNEL_DOWN = KEY_COMMANDS[21], &KEY_NUMBER0 = KEY_COMMANDS[22], &KEY_NUMBER1 = KEY_COMMANDS[23],
    &KEY_NUMBER2 = KEY_COMMANDS[24], &KEY_NUMBER3 = KEY_COMMANDS[25], &KEY_NUMBER4 = KEY_COMMANDS[26],
    &KEY_NUMBER5 = KEY_COMMANDS[27], &KEY_NUMBER6 = KEY_COMMANDS[28], &KEY_NUMBER7 = KEY_COMMANDS[29],
    &KEY_NUMBER8 = KEY_COMMANDS[30], &KEY_NUMBER9 = KEY_COMMANDS[31], &KEY_PUNCTUATION1 = KEY_COMMANDS[32],
    &KEY_PUNCTUATION2 = KEY_COMMANDS[33];

// Several labels send another key's name: PAUSE sends PLAYPAUSE, HOME sends MENU, and so on.
const KeyCommandRow KEY_COMMAND_TABLE[] = {
    {IDC_POWER, "POWER", 1, {&KEY_POWER}},
    {IDC_DIGIT_1, "1", 1, {&KEY_NUMBER1}},
    {IDC_DIGIT_2, "2", 1, {&KEY_NUMBER2}},
    {IDC_DIGIT_3, "3", 1, {&KEY_NUMBER3}},
    {IDC_DIGIT_4, "4", 1, {&KEY_NUMBER4}},
    {IDC_DIGIT_5, "5", 1, {&KEY_NUMBER5}},
    {IDC_DIGIT_6, "6", 1, {&KEY_NUMBER6}},
    {IDC_DIGIT_7, "7", 1, {&KEY_NUMBER7}},
    {IDC_DIGIT_8, "8", 1, {&KEY_NUMBER8}},
    {IDC_DIGIT_9, "9", 1, {&KEY_NUMBER9}},
    {IDC_DIGIT_0, "0", 1, {&KEY_NUMBER0}},
    {IDC_INFO, "INFO", 1, {&KEY_SELECT}},
    {IDC_GUIDE, "GUIDE", 1, {&KEY_GUIDE}},
    {IDC_UP, "UP", 1, {&KEY_UP}},
    {IDC_LEFT, "LEFT", 1, {&KEY_LEFT}},
    {IDC_OK, "OK", 1, {&KEY_OK}},
    {IDC_RIGHT, "RIGHT", 1, {&KEY_RIGHT}},
    {IDC_HOME, "HOME", 1, {&KEY_MENU}},
    {IDC_DOWN, "DOWN", 1, {&KEY_DOWN}},
    {IDC_BACK, "BACK", 1, {&KEY_CANCEL}},
    {IDC_PLAY, "PLAY", 1, {&KEY_PLAY}},
    {IDC_REVERSE, "REVERSE", 1, {&KEY_REVERSE}},
    {IDC_FORWARD, "FORWARD", 1, {&KEY_FORWARD}},
    {IDC_PAUSE, "PAUSE", 1, {&KEY_PLAYPAUSE}},
    {IDC_RECORD, "RECORD", 1, {&KEY_RECORD}},
    {IDC_STOP, "STOP", 1, {&KEY_STOP}},
    {IDC_CHAN_UP, "CHAN\nUP", 1, {&KEY_PAGE_CHANNEL_UP}},
    {IDC_CHAN_DOWN, "CHAN\nDOWN", 1, {&KEY_PAGE_CHANNEL_DOWN}},
    {IDC_VOL_UP, "VOL\nUP", 1, {&KEY_VOLUME_UP}},
    {IDC_VOL_DOWN, "VOL\nDOWN", 1, {&KEY_VOLUME_DOWN}},
    {IDC_MUTE, "MUTE", 1, {&KEY_MUTE}},
    {IDC_ZOOM, "ZOOM", 1, {&KEY_ACCEPT}},
    {IDC_PUNCTUATION1, "PUNCTUATION1", 1, {&KEY_PUNCTUATION1}},
    {IDC_PUNCTUATION2, "PUNCTUATION2", 1, {&KEY_PUNCTUATION2}},
    // Reached by keyboard and media keys only.
    {IDC_SELECT, nullptr, 1, {&KEY_SELECT}},
    {IDC_PLAYPAUSE, nullptr, 1, {&KEY_PLAYPAUSE}},
    {IDC_ACCEPT, nullptr, 1, {&KEY_ACCEPT}},
    {IDC_DIGITS_705, nullptr, 3, {&KEY_NUMBER7, &KEY_NUMBER0, &KEY_NUMBER5}},
    {IDC_DIGITS_706, nullptr, 3, {&KEY_NUMBER7, &KEY_NUMBER0, &KEY_NUMBER6}},
    {IDC_MENU_OK_OK, nullptr, 3, {&KEY_MENU, &KEY_OK, &KEY_OK}},
    {IDC_MENU_RIGHT_OK_OK, nullptr, 4, {&KEY_MENU, &KEY_RIGHT, &KEY_OK, &KEY_OK}},
};
const int KEY_COMMAND_TABLE_SIZE = sizeof(KEY_COMMAND_TABLE) / sizeof(KEY_COMMAND_TABLE[0]);

bool SameWord(const char *word, const char *text)
{
    for (; *word && *text; ++word, ++text) {
        char w = *word == '\n' ? ' ' : *word;
        char t = *text;
        if (w >= 'a' && w <= 'z') w = (char)(w - 'a' + 'A');
        if (t >= 'a' && t <= 'z') t = (char)(t - 'a' + 'A');
        if (w != t) return false;
    }
    return *word == '\0' && *text == '\0';
}

const KeyCommandRow *FindKeyCommandRow(unsigned id)
{
    for (const KeyCommandRow &row : KEY_COMMAND_TABLE)
        if (row.id == id) return &row;
    return nullptr;
}

const KeyCommandRow *FindKeyCommandRowByLabel(const char *text)
{
    for (const KeyCommandRow &row : KEY_COMMAND_TABLE)
        if (row.label && SameWord(row.label, text)) return &row;
    return nullptr;
}

const KeyCommand *FindKeyCommandByName(const char *text)
{
    for (const KeyCommand &key : KEY_COMMANDS)
        if (SameWord(key.name, text)) return &key;
    return nullptr;
}

unsigned short KeyCommandTag(const KeyCommand *key)
{
    if (key < KEY_COMMANDS || key >= KEY_COMMANDS + KEY_COMMAND_COUNT) return 0;
    return (unsigned short)(key - KEY_COMMANDS + 1);
}

const KeyCommand *KeyCommandOfTag(unsigned short tag)
{
    return tag >= 1 && tag <= KEY_COMMAND_COUNT ? &KEY_COMMANDS[tag - 1] : nullptr;
}
