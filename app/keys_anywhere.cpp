#include "app/keys_anywhere.h"

#include <string>

#include "app/delivery_sign.h"
#include "app/key_repeat.h"
#include "app/pressed_look.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"

// Never Ctrl+Alt without Shift: on many layouts Ctrl+Alt is AltGr, and registering it would take
// characters such as { [ ] } from every program. The media keys send what their WM_APPCOMMAND
// sends (media_keys.cpp); the others what the same key without Ctrl+Alt+Shift sends, Enter
// being OK, the default button.
const UINT CTRL_ALT_SHIFT = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const HotKey HOT_KEYS[] = {
    {0, VK_VOLUME_UP, IDC_VOL_UP, "Volume Up"},
    {0, VK_VOLUME_DOWN, IDC_VOL_DOWN, "Volume Down"},
    {0, VK_VOLUME_MUTE, IDC_MUTE, "Mute"},
    {0, VK_MEDIA_PLAY_PAUSE, IDC_PAUSE, "Play/Pause"},
    {0, VK_MEDIA_STOP, IDC_STOP, "Stop"},
    {0, VK_MEDIA_NEXT_TRACK, IDC_FORWARD, "Next Track"},
    {0, VK_MEDIA_PREV_TRACK, IDC_REVERSE, "Previous Track"},
    {CTRL_ALT_SHIFT, VK_UP, IDC_UP, "Ctrl+Alt+Shift+Up"},
    {CTRL_ALT_SHIFT, VK_DOWN, IDC_DOWN, "Ctrl+Alt+Shift+Down"},
    {CTRL_ALT_SHIFT, VK_LEFT, IDC_LEFT, "Ctrl+Alt+Shift+Left"},
    {CTRL_ALT_SHIFT, VK_RIGHT, IDC_RIGHT, "Ctrl+Alt+Shift+Right"},
    {CTRL_ALT_SHIFT, VK_RETURN, IDC_OK, "Ctrl+Alt+Shift+Enter"},
    {CTRL_ALT_SHIFT, VK_BACK, IDC_BACK, "Ctrl+Alt+Shift+Backspace"},
    {CTRL_ALT_SHIFT, VK_PRIOR, IDC_CHAN_UP, "Ctrl+Alt+Shift+Page Up"},
    {CTRL_ALT_SHIFT, VK_NEXT, IDC_CHAN_DOWN, "Ctrl+Alt+Shift+Page Down"},
    {CTRL_ALT_SHIFT, '0', IDC_DIGIT_0, "Ctrl+Alt+Shift+0"},
    {CTRL_ALT_SHIFT, '1', IDC_DIGIT_1, "Ctrl+Alt+Shift+1"},
    {CTRL_ALT_SHIFT, '2', IDC_DIGIT_2, "Ctrl+Alt+Shift+2"},
    {CTRL_ALT_SHIFT, '3', IDC_DIGIT_3, "Ctrl+Alt+Shift+3"},
    {CTRL_ALT_SHIFT, '4', IDC_DIGIT_4, "Ctrl+Alt+Shift+4"},
    {CTRL_ALT_SHIFT, '5', IDC_DIGIT_5, "Ctrl+Alt+Shift+5"},
    {CTRL_ALT_SHIFT, '6', IDC_DIGIT_6, "Ctrl+Alt+Shift+6"},
    {CTRL_ALT_SHIFT, '7', IDC_DIGIT_7, "Ctrl+Alt+Shift+7"},
    {CTRL_ALT_SHIFT, '8', IDC_DIGIT_8, "Ctrl+Alt+Shift+8"},
    {CTRL_ALT_SHIFT, '9', IDC_DIGIT_9, "Ctrl+Alt+Shift+9"},
};
const int HOT_KEY_COUNT = sizeof(HOT_KEYS) / sizeof(HOT_KEYS[0]);
static_assert(sizeof(HOT_KEYS) / sizeof(HOT_KEYS[0]) <= HOT_KEY_MAX, "the window's state has a place for each key");

namespace {

const char KEYS_ANYWHERE_ITEM[] = "Keys work in &other programs";
// The ids given to RegisterHotKey, one per table row; an application's are below 0xC000.
const int HOT_KEY_ID_FIRST = 0x0AA0;
// Windows 7 on: the system's auto-repeat of a held key brings no further WM_HOTKEY, and the
// repeats are made here, by the remote's own rule. Wine takes the flag but repeats anyway.
const UINT NO_REPEAT = 0x4000;  // MOD_NOREPEAT
// While a key is held its release is looked for this often: more often than a key can be
// released and pressed again, so that a fresh press is told from a repeat.
const UINT HOT_KEY_WATCH_MS = 30;

// "A is taken by another program.", or "A, B and C are taken by other programs.", with as many
// names as fit and the number of the others.
void DescribeTaken(const KeysAnywhere *keys, char *text, int size)
{
    std::string names[HOT_KEY_MAX];
    int count = 0;
    for (int i = 0; i < HOT_KEY_COUNT; ++i)
        if (keys->taken[i]) names[count++] = HOT_KEYS[i].name;
    text[0] = '\0';
    for (int shown = count; shown > 0; --shown) {
        std::string sentence;
        for (int i = 0; i < shown; ++i) {
            bool last = i == shown - 1 && shown == count;
            if (i > 0) sentence += last ? " and " : ", ";
            sentence += names[i];
        }
        if (shown < count) sentence += " and " + std::to_string(count - shown) + " more keys";
        sentence += count == 1 ? " is taken by another program." : " are taken by other programs.";
        if ((int)sentence.size() < size) {
            lstrcpynA(text, sentence.c_str(), size);
            return;
        }
    }
}

void RegisterHotKeys(HWND window, KeysAnywhere *keys)
{
    bool any_taken = false;
    for (int i = 0; i < HOT_KEY_COUNT; ++i) {
        const HotKey &key = HOT_KEYS[i];
        keys->registered[i] = RegisterHotKey(window, HOT_KEY_ID_FIRST + i, key.modifiers | NO_REPEAT, key.virtual_key) != FALSE;
        keys->taken[i] = !keys->registered[i] && GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
        any_taken = any_taken || keys->taken[i];
    }
    RemoteWindowState *state = WindowStateOf(window);
    if (!any_taken || !state) return;
    DescribeTaken(keys, state->sign.explanation, sizeof(state->sign.explanation));
    ShowSignExplanation(window, &state->sign);
}

void UnregisterHotKeys(HWND window, KeysAnywhere *keys)
{
    KillTimer(window, IDT_HOT_KEY_HELD);
    keys->held = NULL;
    // A sign that still names the keys taken is over with them.
    RemoteWindowState *state = WindowStateOf(window);
    char taken[SIGN_EXPLANATION_MAX];
    DescribeTaken(keys, taken, sizeof(taken));
    if (state && state->sign.undelivered && taken[0] && lstrcmpA(taken, state->sign.explanation) == 0)
        ClearDeliverySign(window, &state->sign);
    for (int i = 0; i < HOT_KEY_COUNT; ++i) {
        if (keys->registered[i]) UnregisterHotKey(window, HOT_KEY_ID_FIRST + i);
        keys->registered[i] = false;
        keys->taken[i] = false;
    }
}

void ApplyKeysAnywhere(HWND window, KeysAnywhere *keys, bool on)
{
    CheckMenuItem(GetSystemMenu(window, FALSE), IDM_KEYS_ANYWHERE, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    keys->on = on;
    if (on)
        RegisterHotKeys(window, keys);
    else
        UnregisterHotKeys(window, keys);
}

bool Down(int virtual_key) { return GetAsyncKeyState(virtual_key) < 0; }

// The key and each of its modifiers are still down, wherever the focus is.
bool StillHeld(const HotKey &key)
{
    return Down((int)key.virtual_key) && (!(key.modifiers & MOD_CONTROL) || Down(VK_CONTROL)) &&
           (!(key.modifiers & MOD_ALT) || Down(VK_MENU)) && (!(key.modifiers & MOD_SHIFT) || Down(VK_SHIFT));
}

}  // namespace

void AddKeysAnywhereMenuItem(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING, IDM_KEYS_ANYWHERE, KEYS_ANYWHERE_ITEM);
}

void StartKeysAnywhere(HWND window, KeysAnywhere *keys)
{
    if (LoadKeysAnywhere()) ApplyKeysAnywhere(window, keys, true);  // off is the window as it always was
}

LRESULT ToggleKeysAnywhere(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return 0;
    bool on = !state->keys_anywhere.on;
    ApplyKeysAnywhere(window, &state->keys_anywhere, on);
    SaveKeysAnywhere(on);
    return 0;
}

LRESULT OnHotKey(HWND window, RemoteWindowState *state, WPARAM wParam)
{
    int row = (int)wParam - HOT_KEY_ID_FIRST;
    if (row < 0 || row >= HOT_KEY_COUNT || !state->keys_anywhere.registered[row]) return 0;
    // While a box of the window's is open its keys wait too; a click would open another.
    if (!IsWindowEnabled(window)) return 0;
    KeysAnywhere *keys = &state->keys_anywhere;
    // The same key again while it has been down since its press: a repeat from a system that
    // repeats despite MOD_NOREPEAT (Wine does); the remote's own repeats then stop.
    bool repeat = keys->held == &HOT_KEYS[row];
    if (repeat) keys->system_repeats = true;
    if (repeat && RepeatWaits(window)) return 0;
    // No timer while the click runs: its address check may show a box with a loop of its own.
    KillTimer(window, IDT_HOT_KEY_HELD);
    ClickButton(window, &state->pressed, HOT_KEYS[row].id);
    state = WindowStateOf(window);  // the click's box may have outlived the window
    if (!state || !state->keys_anywhere.registered[row]) return 0;
    keys = &state->keys_anywhere;
    if (!repeat) {
        keys->held = &HOT_KEYS[row];
        keys->system_repeats = false;
        keys->repeat_tick = GetTickCount();
        keys->repeat_gap_ms = FirstRepeatMs();
    }
    SetTimer(window, IDT_HOT_KEY_HELD, HOT_KEY_WATCH_MS, NULL);
    return 0;
}

LRESULT WatchHeldHotKey(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return 0;
    KeysAnywhere *keys = &state->keys_anywhere;
    const HotKey *held = keys->held;
    if (!held || !StillHeld(*held)) {
        KillTimer(window, IDT_HOT_KEY_HELD);
        keys->held = NULL;
        return 0;
    }
    if (keys->system_repeats || GetTickCount() - keys->repeat_tick < keys->repeat_gap_ms || !IsWindowEnabled(window))
        return 0;
    keys->repeat_tick = GetTickCount();
    keys->repeat_gap_ms = NextRepeatMs();
    // A held key repeats, but never piles up commands behind one still under way.
    if (RepeatWaits(window)) return 0;
    KillTimer(window, IDT_HOT_KEY_HELD);
    ClickButton(window, &state->pressed, held->id);
    state = WindowStateOf(window);
    if (state && state->keys_anywhere.held == held) SetTimer(window, IDT_HOT_KEY_HELD, HOT_KEY_WATCH_MS, NULL);
    return 0;
}

void StopKeysAnywhere(HWND window, KeysAnywhere *keys)
{
    for (bool &taken : keys->taken) taken = false;  // the sign goes with the window
    UnregisterHotKeys(window, keys);
}
