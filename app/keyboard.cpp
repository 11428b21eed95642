#include "app/keyboard.h"

#include "app/command_ids.h"
#include "app/key_commands.h"
#include "app/keypad.h"
#include "transport/command_transaction.h"

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

// Media and browser keys, as keyboards and remote receivers deliver them.
const AppCommandKey APP_COMMAND_KEYS[] = {
    {APPCOMMAND_VOLUME_UP, IDC_VOL_UP, "Volume Up"},
    {APPCOMMAND_VOLUME_DOWN, IDC_VOL_DOWN, "Volume Down"},
    {APPCOMMAND_VOLUME_MUTE, IDC_MUTE, "Mute"},
    {APPCOMMAND_MEDIA_PLAY_PAUSE, IDC_PAUSE, "Play/Pause"},
    {APPCOMMAND_MEDIA_PLAY, IDC_PLAY, "Play"},
    {APPCOMMAND_MEDIA_PAUSE, IDC_PAUSE, "Pause"},
    {APPCOMMAND_MEDIA_STOP, IDC_STOP, "Stop"},
    {APPCOMMAND_MEDIA_RECORD, IDC_RECORD, "Record"},
    {APPCOMMAND_MEDIA_FAST_FORWARD, IDC_FORWARD, "Fast Forward"},
    {APPCOMMAND_MEDIA_NEXTTRACK, IDC_FORWARD, "Next Track"},
    {APPCOMMAND_MEDIA_REWIND, IDC_REVERSE, "Rewind"},
    {APPCOMMAND_MEDIA_PREVIOUSTRACK, IDC_REVERSE, "Previous Track"},
    {APPCOMMAND_MEDIA_CHANNEL_UP, IDC_CHAN_UP, "Channel Up"},
    {APPCOMMAND_MEDIA_CHANNEL_DOWN, IDC_CHAN_DOWN, "Channel Down"},
    {APPCOMMAND_BROWSER_BACKWARD, IDC_BACK, "Browser Back"},
    {APPCOMMAND_BROWSER_HOME, IDC_HOME, "Browser Home"},
};
const int APP_COMMAND_KEY_COUNT = sizeof(APP_COMMAND_KEYS) / sizeof(APP_COMMAND_KEYS[0]);

namespace {

const LPARAM KEY_WAS_DOWN = 1 << 30;  // WM_KEYDOWN: the key was already down (an auto-repeat)
const int KEY_LIST_MAX = 2048;         // the whole list is about 900 characters

HWND g_PressedButton = NULL;  // the button that looks pressed, or null; UI thread only

// A device that sends media keys without key-downs repeats a held key as the same
// WM_APPCOMMAND again and again, a few times a second. UI thread only.
const DWORD APP_COMMAND_REPEAT_MS = 500;  // longer than the gap between a held key's repeats
int g_LastAppCommand = 0;
DWORD g_LastAppCommandTick = 0;
bool g_MediaKeyDownPassed = false;  // the next WM_APPCOMMAND comes from a key-down judged here

const KeyboardKey *FindKeyboardKey(UINT virtual_key)
{
    for (int i = 0; i < KEYBOARD_KEY_COUNT; ++i)
        if (KEYBOARD_KEYS[i].virtual_key == virtual_key) return &KEYBOARD_KEYS[i];
    return NULL;
}

// Media and browser keys become WM_APPCOMMAND in default processing; their repeats are held
// back here like those of the table's keys.
bool IsMediaKey(UINT virtual_key) { return virtual_key >= VK_BROWSER_BACK && virtual_key <= VK_LAUNCH_APP2; }

bool IsTextField(HWND window, HWND control)
{
    return control == GetDlgItem(window, IDC_ADDRESS) || control == GetDlgItem(window, IDC_FREE_TEXT);
}

// The button looks pressed for a moment; a click's command then takes the usual way.
void ClickButton(HWND window, unsigned id)
{
    ReleasePressedLook(window);
    HWND button = GetDlgItem(window, (int)id);
    if (button) {
        SendMessageA(button, BM_SETSTATE, TRUE, 0);
        g_PressedButton = button;
        SetTimer(window, IDT_KEY_PRESSED, KEY_PRESSED_LOOK_MS, NULL);
    }
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

// A repeat: the same command as the WM_APPCOMMAND before it, soon after it, and not from a
// key-down that the keyboard step has already judged.
bool IsAppCommandRepeat(int command)
{
    DWORD now = GetTickCount();
    bool repeat = !g_MediaKeyDownPassed && command == g_LastAppCommand &&
                  now - g_LastAppCommandTick <= APP_COMMAND_REPEAT_MS;
    g_MediaKeyDownPassed = false;
    g_LastAppCommand = command;
    g_LastAppCommandTick = now;
    return repeat;
}

// Appends text, cutting it at the end of the buffer.
void Append(char *buffer, int *used, const char *text)
{
    while (*text && *used < KEY_LIST_MAX - 1) buffer[(*used)++] = *text++;
    buffer[*used] = '\0';
}

}  // namespace

bool TranslateKeypadKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN) return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Keys with Ctrl or Alt (AltGr is both) belong to the system and the dialog manager.
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    UINT virtual_key = (UINT)msg->wParam;
    bool repeat = (msg->lParam & KEY_WAS_DOWN) != 0;
    // A held key repeats, but never piles up commands behind one still under way for its box.
    bool hold_back = repeat && CommandUnderWayForBoxInUse(window);
    if (IsMediaKey(virtual_key)) {
        g_MediaKeyDownPassed = !hold_back;
        return hold_back;
    }
    if (IsTextField(window, msg->hwnd)) return false;  // typing edits the text
    // The dialog manager turns each repeat of a held Return on a button into a click.
    if (virtual_key == VK_RETURN) return hold_back;
    const KeyboardKey *key = FindKeyboardKey(virtual_key);
    if (!key) return false;
    if (!hold_back) ClickButton(window, key->id);
    return true;
}

bool RouteAppCommand(HWND window, LPARAM lParam)
{
    // The mouse's side buttons (browser back and forward) keep their meaning.
    if (GET_DEVICE_LPARAM(lParam) == FAPPCOMMAND_MOUSE) return false;
    int command = GET_APPCOMMAND_LPARAM(lParam);
    bool repeat = IsAppCommandRepeat(command);
    for (int i = 0; i < APP_COMMAND_KEY_COUNT; ++i) {
        if (APP_COMMAND_KEYS[i].app_command != command) continue;
        // Held back like a held key's repeats: taken, so the system does not act on it either.
        if (!repeat || !CommandUnderWayForBoxInUse(window)) ClickButton(window, APP_COMMAND_KEYS[i].id);
        return true;
    }
    return false;
}

void ReleasePressedLook(HWND window)
{
    KillTimer(window, IDT_KEY_PRESSED);
    if (g_PressedButton && IsWindow(g_PressedButton)) SendMessageA(g_PressedButton, BM_SETSTATE, FALSE, 0);
    g_PressedButton = NULL;
}

void AddKeyListMenuItem(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(menu, MF_STRING, IDM_KEY_LIST, "&Keyboard keys...");
}

// One line per keypad button that has keys, in the keypad's order: "LABEL: key, key, ...".
void ShowKeyList(HWND window)
{
    char list[KEY_LIST_MAX] = {0};
    int used = 0;
    Append(list, &used, "Each key acts as a click on its button while the focus is not in a text field.\n\n");
    for (const KeypadControl &control : KEYPAD_CONTROLS) {
        if (control.kind != KEYPAD_BUTTON) continue;
        int line_start = used;
        for (const char *c = control.label; *c; ++c) {
            char one[2] = {*c == '\n' ? ' ' : *c, '\0'};
            Append(list, &used, one);
        }
        Append(list, &used, ":");
        int names_start = used;
        for (int i = 0; i < KEYBOARD_KEY_COUNT; ++i) {
            if (KEYBOARD_KEYS[i].id != (unsigned)control.id) continue;
            Append(list, &used, used == names_start ? " " : ", ");
            Append(list, &used, KEYBOARD_KEYS[i].name);
        }
        for (int i = 0; i < APP_COMMAND_KEY_COUNT; ++i) {
            if (APP_COMMAND_KEYS[i].id != (unsigned)control.id) continue;
            Append(list, &used, used == names_start ? " " : ", ");
            Append(list, &used, APP_COMMAND_KEYS[i].name);
        }
        if (used == names_start) {  // a button without keys has no line
            used = line_start;
            list[used] = '\0';
        } else {
            Append(list, &used, "\n");
        }
    }
    Append(list, &used, "\nMedia and browser keys act in the text fields too.");
    MessageBoxA(window, list, "Keyboard keys", MB_OK);
}
