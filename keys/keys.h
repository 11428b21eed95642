// The key vocabulary that both programs read: the box's keys (each one's name and the key command
// that presses it) and the command ids that send them (each one's button label and its keys, in
// order; a macro is a row that sends several), with their look-ups. Portable: no platform headers.
#pragma once

#include "keys/key_ids.h"

// A key of the box. Its key command goes on the wire whole: "press " + name + CR LF, and the NUL.
struct KeyCommand {
    const char *name;   // "VOLUME_UP"
    const char *bytes;  // "press VOLUME_UP\r\n"
    int length;         // bytes up to and including LF, plus the NUL
};

// The box's keys, in the order the list of keys shows them. A key's tag, which its transaction
// carries so that a notice can name it, is its place here plus 1; tag 0 is a free-text line.
extern const KeyCommand KEY_COMMANDS[];
extern const int KEY_COMMAND_COUNT;
extern const KeyCommand &KEY_POWER, &KEY_PLAYPAUSE, &KEY_PLAY, &KEY_REVERSE, &KEY_FORWARD, &KEY_RECORD,
    &KEY_STOP, &KEY_MENU, &KEY_OK, &KEY_ACCEPT, &KEY_CANCEL, &KEY_SELECT, &KEY_GUIDE, &KEY_UP, &KEY_DOWN,
    &KEY_LEFT, &KEY_RIGHT, &KEY_VOLUME_UP, &KEY_VOLUME_DOWN, &KEY_MUTE, &KEY_PAGE_CHANNEL_UP,
    &KEY_PAGE_CHANNEL_DOWN, &KEY_NUMBER0, &KEY_NUMBER1, &KEY_NUMBER2, &KEY_NUMBER3, &KEY_NUMBER4,
    &KEY_NUMBER5, &KEY_NUMBER6, &KEY_NUMBER7, &KEY_NUMBER8, &KEY_NUMBER9, &KEY_PUNCTUATION1,
    &KEY_PUNCTUATION2;

// Most keys one id sends.
const int KEY_ROW_KEYS_MAX = 4;

// A command id and the keys it sends, in order. The ids of the keypad's buttons come first, in
// the keypad's order, each with its button's label.
struct KeyCommandRow {
    unsigned id;
    const char *label;  // "VOL\nUP" (a line break where the button breaks it); null without a button
    int count;
    const KeyCommand *keys[KEY_ROW_KEYS_MAX];
};
// Every command id that sends keys: also the one list of ids that the main window routes to them.
extern const KeyCommandRow KEY_COMMAND_TABLE[];
extern const int KEY_COMMAND_TABLE_SIZE;

// The row of an id, or null when the id sends no key.
const KeyCommandRow *FindKeyCommandRow(unsigned id);
// The row whose button label is the text (any case; a space for the label's line break), or null.
const KeyCommandRow *FindKeyCommandRowByLabel(const char *text);
// The key of that name (any case), or null.
const KeyCommand *FindKeyCommandByName(const char *text);
// A key's tag; KeyCommandOfTag gives the key back, or null for 0 and unknown tags.
unsigned short KeyCommandTag(const KeyCommand *key);
const KeyCommand *KeyCommandOfTag(unsigned short tag);
// The same word in any letter case, a line break in `word` matching a space in `text`.
bool SameWord(const char *word, const char *text);
