/* The main window's ids and private messages: its class name, the command ids of the keypad's
   controls and of the key commands, the system menu's items, the timers, the controls of Find
   box and Wake box, and the private messages the window takes. remote.rc reads the class name
   from here too, so it keeps to what the resource compiler reads. */
#ifndef HALCYRA_WINDOW_IDS_H
#define HALCYRA_WINDOW_IDS_H

#define REMOTE_WINDOW_CLASS_TEXT "VadoruRarid"

#ifndef RC_INVOKED
#include <winsock2.h>
#include <windows.h>

#include "keys/key_ids.h"

const char REMOTE_WINDOW_CLASS[] = REMOTE_WINDOW_CLASS_TEXT;

// The ids that send the box's keys are the key vocabulary's (keys/key_ids.h); these are the
// window's own.
enum CommandId : unsigned {
    IDC_ADDRESS_LABEL = 1043,
    IDC_ADDRESS = 1044,
    IDC_FREE_TEXT = 1046,
    IDC_SEND_TEST = 1048,
};

// Items of the system menu; below 0xF000 with the low four bits clear, as system commands need.
const UINT IDM_KEY_LIST = 0x0A10;       // shows the key list
const UINT IDM_FIND_BOX = 0x0A20;       // opens Find box
const UINT IDM_ALWAYS_ON_TOP = 0x0A50;  // keeps the window above others
const UINT IDM_WAKE_BOX = 0x0A60;       // opens Wake box
const UINT IDM_EDIT_FAVOURITES = 0x0A70;  // opens Edit favourites
const UINT IDM_WHY_NOT_SENT = 0x0A80;   // explains the delivery sign
const UINT IDM_KEYS_ANYWHERE = 0x0AA0;  // registers the keys that work in other programs
const UINT IDM_FOLLOW_BOX = 0x0A90;     // follows the box when it moves (checked while on)
const UINT IDM_FAVOURITE_FIRST = 0x0B00;  // the favourites, one every 0x10, as many as may be stored

// Timers of the main window.
const UINT_PTR IDT_KEY_PRESSED = 0x0A11;    // a button looks pressed for a moment after its key
const UINT_PTR IDT_BUTTON_REPEAT = 0x0A51;  // while a repeating button is held
const UINT_PTR IDT_FAVOURITE = 0x0A61;      // a favourite's keys before a pause, then the pause
const UINT_PTR IDT_HOT_KEY_HELD = 0x0AA1;   // while a key registered with the system is held

// Find box's controls.
enum FindBoxId {
    IDC_FIND_RANGE_LABEL = 1201,
    IDC_FIND_RANGE = 1202,
    IDC_FIND_SEARCH = 1203,
    IDC_FIND_LIST = 1204,
    IDC_FIND_STATUS = 1205,
    IDC_FIND_LIST_LABEL = 1206,
};

// Wake box's controls.
enum WakeBoxId {
    IDC_WAKE_HARDWARE_LABEL = 1301,
    IDC_WAKE_HARDWARE = 1302,
    IDC_WAKE_STATUS = 1303,
};

// Edit favourites' controls.
enum FavouritesDialogId {
    IDC_FAV_LIST = 1401,
    IDC_FAV_NAME_LABEL = 1402,
    IDC_FAV_NAME = 1403,
    IDC_FAV_KEYS_LABEL = 1404,
    IDC_FAV_KEYS = 1405,
    IDC_FAV_CHECK = 1406,
    IDC_FAV_ADD = 1407,
    IDC_FAV_CHANGE = 1408,
    IDC_FAV_DELETE = 1409,
    IDC_FAV_UP = 1410,
    IDC_FAV_DOWN = 1411,
    IDC_FAV_LIST_LABEL = 1412,
};

// Posted to itself: the focus rule, once the first restore of a minimised start is done.
const UINT WM_FOCUS_KEYS = 0x8020;
// Sent by a second start of the program: the window restores and comes to the front; returns 1.
const UINT WM_BRING_FORWARD = 0x8021;

// Private messages that the main window consumes without any action.
const UINT WM_REMOTE_RESERVED_1 = 0x8004;
const UINT WM_REMOTE_RESERVED_2 = 0x8005;

#endif /* RC_INVOKED */
#endif /* HALCYRA_WINDOW_IDS_H */
