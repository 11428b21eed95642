// The key-command table as data, with its look-ups: both the remote's window and the
// command-line sender read it.
#include "app/window_ids.h"
#include "app/key_commands.h"

// Every command id that sends key commands, with its key commands in the order they are sent.
// Several labels send another key's name: PAUSE sends PLAYPAUSE, HOME sends MENU, and so on.
const KeyCommandRow KEY_COMMAND_TABLE[] = {
    {IDC_POWER, 1, {&KEY_POWER}},
    {IDC_PAUSE, 1, {&KEY_PLAYPAUSE}},
    {IDC_REVERSE, 1, {&KEY_REVERSE}},
    {IDC_RECORD, 1, {&KEY_RECORD}},
    {IDC_STOP, 1, {&KEY_STOP}},
    {IDC_FORWARD, 1, {&KEY_FORWARD}},
    {IDC_HOME, 1, {&KEY_MENU}},
    {IDC_OK, 1, {&KEY_OK}},
    {IDC_ZOOM, 1, {&KEY_ACCEPT}},
    {IDC_UP, 1, {&KEY_UP}},
    {IDC_DOWN, 1, {&KEY_DOWN}},
    {IDC_RIGHT, 1, {&KEY_RIGHT}},
    {IDC_LEFT, 1, {&KEY_LEFT}},
    {IDC_BACK, 1, {&KEY_CANCEL}},
    {IDC_VOL_UP, 1, {&KEY_VOLUME_UP}},
    {IDC_VOL_DOWN, 1, {&KEY_VOLUME_DOWN}},
    {IDC_MUTE, 1, {&KEY_MUTE}},
    {IDC_CHAN_DOWN, 1, {&KEY_PAGE_CHANNEL_DOWN}},
    {IDC_GUIDE, 1, {&KEY_GUIDE}},
    {IDC_INFO, 1, {&KEY_SELECT}},
    {IDC_DIGIT_0, 1, {&KEY_NUMBER0}},
    {IDC_DIGIT_1, 1, {&KEY_NUMBER1}},
    {IDC_DIGIT_2, 1, {&KEY_NUMBER2}},
    {IDC_DIGIT_3, 1, {&KEY_NUMBER3}},
    {IDC_DIGIT_4, 1, {&KEY_NUMBER4}},
    {IDC_DIGIT_5, 1, {&KEY_NUMBER5}},
    {IDC_DIGIT_6, 1, {&KEY_NUMBER6}},
    {IDC_DIGIT_7, 1, {&KEY_NUMBER7}},
    {IDC_DIGIT_8, 1, {&KEY_NUMBER8}},
    {IDC_DIGIT_9, 1, {&KEY_NUMBER9}},
    {IDC_PUNCTUATION1, 1, {&KEY_PUNCTUATION1}},
    {IDC_PUNCTUATION2, 1, {&KEY_PUNCTUATION2}},
    {IDC_CHAN_UP, 1, {&KEY_PAGE_CHANNEL_UP}},
    {IDC_SELECT, 1, {&KEY_SELECT}},
    {IDC_PLAYPAUSE, 1, {&KEY_PLAYPAUSE}},
    {IDC_PLAY, 1, {&KEY_PLAY}},
    {IDC_ACCEPT, 1, {&KEY_ACCEPT}},
    {IDC_DIGITS_705, 3, {&KEY_NUMBER7, &KEY_NUMBER0, &KEY_NUMBER5}},
    {IDC_DIGITS_706, 3, {&KEY_NUMBER7, &KEY_NUMBER0, &KEY_NUMBER6}},
    {IDC_MENU_OK_OK, 3, {&KEY_MENU, &KEY_OK, &KEY_OK}},
    {IDC_MENU_RIGHT_OK_OK, 4, {&KEY_MENU, &KEY_RIGHT, &KEY_OK, &KEY_OK}},
};
const int KEY_COMMAND_TABLE_SIZE = sizeof(KEY_COMMAND_TABLE) / sizeof(KEY_COMMAND_TABLE[0]);

const KeyCommandRow *FindKeyCommandRow(unsigned id)
{
    for (int i = 0; i < KEY_COMMAND_TABLE_SIZE; ++i)
        if (KEY_COMMAND_TABLE[i].id == id) return &KEY_COMMAND_TABLE[i];
    return NULL;
}

unsigned short KeyCommandTag(const KeyCommand *key)
{
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i)
        if (ALL_KEY_COMMANDS[i] == key) return (unsigned short)(i + 1);
    return 0;
}

const KeyCommand *KeyCommandOfTag(unsigned short tag)
{
    return tag >= 1 && tag <= KEY_COMMAND_COUNT ? ALL_KEY_COMMANDS[tag - 1] : NULL;
}
