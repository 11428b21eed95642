// The key-command table: which key commands each command id sends, and the address field
// that every key command checks first.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "transport/command_protocol.h"

// One row of the key-command table: the key commands that a command id sends, in order.
struct KeyCommandRow {
    unsigned id;
    int count;
    const KeyCommand *keys[4];
};
// The row of an id, or null when the id sends no key command. The table is also the one list
// of ids that the main window routes to the key commands.
const KeyCommandRow *FindKeyCommandRow(unsigned id);
extern const KeyCommandRow KEY_COMMAND_TABLE[];
extern const int KEY_COMMAND_TABLE_SIZE;

// Reads the address field; on a valid single address writes its bytes and returns 1,
// otherwise returns 0 and leaves the address as it was.
int ReadAddressField(HWND window, unsigned char *address, int field_id);

// The box in use is the one whose address the field holds now. Only notices for it reach the
// sign and the recent boxes, and a held key's repeats wait only for its commands.
bool ReadBoxInUse(HWND window, unsigned char *address);
bool CommandUnderWayForBoxInUse(HWND window);
bool NoticeIsForBoxInUse(HWND window, LPARAM lParam);

// The tag a key command's transaction carries: its place in ALL_KEY_COMMANDS plus 1; 0 is a
// free-text line. KeyCommandOfTag gives the key command back, or null for 0 and unknown tags.
unsigned short KeyCommandTag(const KeyCommand *key);
const KeyCommand *KeyCommandOfTag(unsigned short tag);
