#include "app/held_button.h"

#include "app/key_commands.h"
#include "app/key_repeat.h"
#include "app/window_ids.h"
#include "app/window_state.h"

namespace {

const unsigned REPEATING_BUTTONS[] = {IDC_VOL_UP, IDC_VOL_DOWN, IDC_CHAN_UP, IDC_CHAN_DOWN,
                                      IDC_UP,     IDC_DOWN,     IDC_LEFT,    IDC_RIGHT};

bool Repeats(HWND window, HWND control)
{
    if (!control || GetParent(control) != window) return false;
    unsigned id = (unsigned)GetDlgCtrlID(control);
    for (unsigned repeating : REPEATING_BUTTONS)
        if (repeating == id) return true;
    return false;
}

void StopRepeating(HWND window, HeldButton *held)
{
    KillTimer(window, IDT_BUTTON_REPEAT);
    held->button = NULL;
    held->repeated = false;
}

}  // namespace

void WatchHeldButton(HWND window, const MSG *msg)
{
    bool down = msg->message == WM_LBUTTONDOWN || msg->message == WM_LBUTTONDBLCLK ||
                (msg->message == WM_KEYDOWN && msg->wParam == VK_SPACE && !(msg->lParam & KEY_WAS_DOWN));
    bool up = msg->message == WM_LBUTTONUP || (msg->message == WM_KEYUP && msg->wParam == VK_SPACE);
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return;
    HeldButton *held = &state->held;
    if (down && Repeats(window, msg->hwnd)) {
        StopRepeating(window, held);
        held->button = msg->hwnd;
        SetTimer(window, IDT_BUTTON_REPEAT, FirstRepeatMs(), NULL);
    } else if (up && msg->hwnd == held->button) {
        // After repeats the release sends nothing more: a button no longer pushed when it is
        // released reports no click (as when the pointer leaves it).
        if (held->repeated) SendMessageA(held->button, BM_SETSTATE, FALSE, 0);
        StopRepeating(window, held);
    }
}

LRESULT RepeatHeldButton(HWND window)
{
    // No timer while the click runs: its address check may show a box with a loop of its own.
    KillTimer(window, IDT_BUTTON_REPEAT);
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return 0;
    HWND button = state->held.button;
    // The button holds the capture from its press to its release; it loses it to a box or a
    // window that takes the input away.
    if (!button || GetCapture() != button) {
        StopRepeating(window, &state->held);
        return 0;
    }
    // Not pushed while the pointer is off the button; the same rule as a held key's repeats.
    if ((SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) && !RepeatWaits(window)) {
        state->held.repeated = true;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
        state = WindowStateOf(window);  // the click's box may have outlived the window
        if (!state) return 0;
    }
    if (state->held.button == button && GetCapture() == button)
        SetTimer(window, IDT_BUTTON_REPEAT, NextRepeatMs(), NULL);
    else
        StopRepeating(window, &state->held);
    return 0;
}
