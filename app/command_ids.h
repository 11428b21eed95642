// Command ids of the main window: the keypad's controls that send no key; the ids that send key
// commands are the key vocabulary's (keys/key_ids.h).
#pragma once

#include "keys/key_ids.h"

enum CommandId : unsigned {
    IDC_ADDRESS_LABEL = 1043,
    IDC_ADDRESS = 1044,
    IDC_FREE_TEXT = 1046,
    IDC_SEND_TEST = 1048,
};
