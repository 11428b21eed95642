// The main window's state, reached from the window itself (GWLP_USERDATA): the controller and
// what each of the window's concerns keeps between messages. UI thread only.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "app/delivery_sign.h"
#include "app/favourites.h"
#include "app/find_box.h"
#include "app/held_button.h"
#include "app/key_repeat.h"
#include "app/keys_anywhere.h"
#include "app/pressed_look.h"
#include "app/wake_box.h"

struct RemoteControl;

struct RemoteWindowState {
    RemoteControl *remote;  // the single controller, built while WM_CREATE is handled
    PressedLook pressed;
    KeyRepeat repeat;
    HeldButton held;
    DeliverySign sign;
    FindBoxUse find_box;
    WakeBoxUse wake_box;
    FavouritesUse favourites;
    KeysAnywhere keys_anywhere;
    bool focus_on_restore;  // started minimised: the focus rule waits for the first restore
};

// The window's state: null while WM_CREATE builds it and once WM_DESTROY has freed it. A step
// that may run a message loop of its own (a box, a dialog) asks again afterwards, since the
// window may be gone by then.
RemoteWindowState *WindowStateOf(HWND window);
