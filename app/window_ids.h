/* The main window's ids and private messages: its class name, the command ids of the keypad's
   controls and of the key commands, the system menu's items, the timers, Find box's controls and
   the private messages the window takes. remote.rc reads the class name from here too, so it
   keeps to what the resource compiler reads. */
#ifndef HALCYRA_WINDOW_IDS_H
#define HALCYRA_WINDOW_IDS_H

#define REMOTE_WINDOW_CLASS_TEXT "VadoruRarid"

#ifndef RC_INVOKED
#include <winsock2.h>
#include <windows.h>

const char REMOTE_WINDOW_CLASS[] = REMOTE_WINDOW_CLASS_TEXT;

enum CommandId : unsigned {
    IDC_POWER = 1001,
    IDC_PAUSE = 1002,
    IDC_REVERSE = 1003,
    IDC_RECORD = 1004,
    IDC_STOP = 1005,
    IDC_FORWARD = 1006,
    IDC_HOME = 1007,
    IDC_OK = 1008,
    IDC_ZOOM = 1009,
    IDC_UP = 1010,
    IDC_DOWN = 1011,
    IDC_RIGHT = 1012,
    IDC_LEFT = 1013,
    IDC_BACK = 1014,
    IDC_VOL_UP = 1015,
    IDC_VOL_DOWN = 1016,
    IDC_MUTE = 1017,
    IDC_CHAN_DOWN = 1018,
    IDC_GUIDE = 1019,
    IDC_INFO = 1020,
    IDC_DIGIT_0 = 1021,
    IDC_DIGIT_1 = 1022,
    IDC_DIGIT_2 = 1023,
    IDC_DIGIT_3 = 1024,
    IDC_DIGIT_4 = 1025,
    IDC_DIGIT_5 = 1026,
    IDC_DIGIT_6 = 1027,
    IDC_DIGIT_7 = 1028,
    IDC_DIGIT_8 = 1029,
    IDC_DIGIT_9 = 1030,
    IDC_PUNCTUATION1 = 1031,
    IDC_PUNCTUATION2 = 1032,
    IDC_CHAN_UP = 1033,
    IDC_SELECT = 1034,
    IDC_PLAYPAUSE = 1036,
    IDC_PLAY = 1037,
    IDC_ACCEPT = 1038,
    IDC_ADDRESS_LABEL = 1043,
    IDC_ADDRESS = 1044,
    IDC_FREE_TEXT = 1046,
    IDC_SEND_TEST = 1048,
    IDC_DIGITS_705 = 1049,
    IDC_DIGITS_706 = 1050,
    IDC_MENU_OK_OK = 1051,
    IDC_MENU_RIGHT_OK_OK = 1052,
};

// Items of the system menu; below 0xF000 with the low four bits clear, as system commands need.
const UINT IDM_KEY_LIST = 0x0A10;       // shows the key list
const UINT IDM_FIND_BOX = 0x0A20;       // opens Find box
const UINT IDM_ALWAYS_ON_TOP = 0x0A50;  // keeps the window above others

// Timers of the main window.
const UINT_PTR IDT_KEY_PRESSED = 0x0A11;    // a button looks pressed for a moment after its key
const UINT_PTR IDT_BUTTON_REPEAT = 0x0A51;  // while a repeating button is held

// Find box's controls.
enum FindBoxId {
    IDC_FIND_RANGE_LABEL = 1201,
    IDC_FIND_RANGE = 1202,
    IDC_FIND_SEARCH = 1203,
    IDC_FIND_LIST = 1204,
    IDC_FIND_STATUS = 1205,
};

// Private messages that the main window consumes without any action.
const UINT WM_REMOTE_RESERVED_1 = 0x8004;
const UINT WM_REMOTE_RESERVED_2 = 0x8005;

#endif /* RC_INVOKED */
#endif /* HALCYRA_WINDOW_IDS_H */
