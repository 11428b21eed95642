#include "app/keyboard_keys.h"

#include "app/key_repeat.h"
#include "app/media_keys.h"
#include "app/pressed_look.h"
#include "app/window_ids.h"
#include "app/window_state.h"

// Keys that the dialog manager uses (Tab, Enter, Escape, Space) are not here, and no control
// label carries an '&', so no letter here is a mnemonic.
const KeyboardKey KEYBOARD_KEYS[] = {
    {'0', IDC_DIGIT_0, "0"},
    {'1', IDC_DIGIT_1, "1"},
    {'2', IDC_DIGIT_2, "2"},
    {'3', IDC_DIGIT_3, "3"},
    {'4', IDC_DIGIT_4, "4"},
    {'5', IDC_DIGIT_5, "5"},
    {'6', IDC_DIGIT_6, "6"},
    {'7', IDC_DIGIT_7, "7"},
    {'8', IDC_DIGIT_8, "8"},
    {'9', IDC_DIGIT_9, "9"},
    {VK_NUMPAD0, IDC_DIGIT_0, "Num 0"},
    {VK_NUMPAD1, IDC_DIGIT_1, "Num 1"},
    {VK_NUMPAD2, IDC_DIGIT_2, "Num 2"},
    {VK_NUMPAD3, IDC_DIGIT_3, "Num 3"},
    {VK_NUMPAD4, IDC_DIGIT_4, "Num 4"},
    {VK_NUMPAD5, IDC_DIGIT_5, "Num 5"},
    {VK_NUMPAD6, IDC_DIGIT_6, "Num 6"},
    {VK_NUMPAD7, IDC_DIGIT_7, "Num 7"},
    {VK_NUMPAD8, IDC_DIGIT_8, "Num 8"},
    {VK_NUMPAD9, IDC_DIGIT_9, "Num 9"},
    {VK_UP, IDC_UP, "Up arrow"},
    {VK_DOWN, IDC_DOWN, "Down arrow"},
    {VK_LEFT, IDC_LEFT, "Left arrow"},
    {VK_RIGHT, IDC_RIGHT, "Right arrow"},
    {VK_BACK, IDC_BACK, "Backspace"},
    {VK_HOME, IDC_HOME, "Home"},
    {VK_PRIOR, IDC_CHAN_UP, "Page Up"},
    {VK_NEXT, IDC_CHAN_DOWN, "Page Down"},
    {VK_OEM_PLUS, IDC_VOL_UP, "+"},
    {VK_ADD, IDC_VOL_UP, "Num +"},
    {VK_OEM_MINUS, IDC_VOL_DOWN, "-"},
    {VK_SUBTRACT, IDC_VOL_DOWN, "Num -"},
    {'O', IDC_OK, "O"},
    {'P', IDC_PLAY, "P"},
    {'U', IDC_PAUSE, "U"},
    {'S', IDC_STOP, "S"},
    {'R', IDC_RECORD, "R"},
    {'F', IDC_FORWARD, "F"},
    {'V', IDC_REVERSE, "V"},
    {'I', IDC_INFO, "I"},
    {'G', IDC_GUIDE, "G"},
    {'M', IDC_MUTE, "M"},
    {'Z', IDC_ZOOM, "Z"},
};
const int KEYBOARD_KEY_COUNT = sizeof(KEYBOARD_KEYS) / sizeof(KEYBOARD_KEYS[0]);

namespace {

const KeyboardKey *FindKeyboardKey(UINT virtual_key)
{
    for (int i = 0; i < KEYBOARD_KEY_COUNT; ++i)
        if (KEYBOARD_KEYS[i].virtual_key == virtual_key) return &KEYBOARD_KEYS[i];
    return NULL;
}

bool IsTextField(HWND window, HWND control)
{
    return control == GetDlgItem(window, IDC_ADDRESS) || control == GetDlgItem(window, IDC_FREE_TEXT);
}

}  // namespace

bool TranslateKeypadKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN) return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Keys with Ctrl or Alt (AltGr is both) belong to the system and the dialog manager.
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return false;
    UINT virtual_key = (UINT)msg->wParam;
    bool repeat = (msg->lParam & KEY_WAS_DOWN) != 0;
    // A held key repeats, but never piles up commands behind one still under way.
    bool hold_back = repeat && RepeatWaits(window);
    if (IsMediaKey(virtual_key)) {
        NoteMediaKeyDown(&state->repeat, !hold_back);
        return hold_back;
    }
    if (IsTextField(window, msg->hwnd)) {
        // Typing edits the text; a held Enter sends the line again only once the last has gone.
        return virtual_key == VK_RETURN && repeat && FreeTextRepeatWaits(window);
    }
    // The dialog manager turns each repeat of a held Return on a button into a click.
    if (virtual_key == VK_RETURN) return hold_back;
    const KeyboardKey *key = FindKeyboardKey(virtual_key);
    if (!key) return false;
    if (!hold_back) ClickButton(window, &state->pressed, key->id);
    return true;
}

bool CtrlAloneDown()
{
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0;
}
