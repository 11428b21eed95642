#include "app/key_list.h"

#include "app/keyboard_keys.h"
#include "app/keypad.h"
#include "app/keys_anywhere.h"
#include "app/media_keys.h"
#include "app/window_ids.h"
#include "app/window_state.h"

namespace {

const int KEY_LIST_MAX = 3072;  // the whole list is about 900 characters, 1,700 with the keys anywhere

// Appends text, cutting it at the end of the buffer.
void Append(char *buffer, int *used, const char *text)
{
    while (*text && *used < KEY_LIST_MAX - 1) buffer[(*used)++] = *text++;
    buffer[*used] = '\0';
}

// The button's label on one line.
void AppendLabel(char *buffer, int *used, unsigned id)
{
    for (const KeypadControl &control : KEYPAD_CONTROLS) {
        if ((unsigned)control.id != id) continue;
        for (const char *c = ControlLabel(control); *c; ++c) {
            char one[2] = {*c == '\n' ? ' ' : *c, '\0'};
            Append(buffer, used, one);
        }
        return;
    }
}

// While "Keys work in other programs" is checked: each key the system gave the window, with the
// button it clicks, then the keys that other programs hold.
void AppendKeysAnywhere(char *list, int *used, const KeysAnywhere &keys)
{
    if (!keys.on) return;
    Append(list, used, "\n\nIn other programs too: ");
    int names_start = *used;
    for (int i = 0; i < HOT_KEY_COUNT; ++i) {
        if (!keys.registered[i]) continue;
        Append(list, used, *used == names_start ? "" : ", ");
        Append(list, used, HOT_KEYS[i].name);
        Append(list, used, " (");
        AppendLabel(list, used, HOT_KEYS[i].id);
        Append(list, used, ")");
    }
    if (*used == names_start) Append(list, used, "none");
    Append(list, used, ".");
    const char *before = "\nTaken by another program: ";
    for (int i = 0; i < HOT_KEY_COUNT; ++i) {
        if (!keys.taken[i]) continue;
        Append(list, used, before);
        Append(list, used, HOT_KEYS[i].name);
        before = ", ";
    }
}

}  // namespace

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
        for (const char *c = ControlLabel(control); *c; ++c) {
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
    if (RemoteWindowState *state = WindowStateOf(window)) AppendKeysAnywhere(list, &used, state->keys_anywhere);
    MessageBoxA(window, list, "Keyboard keys", MB_OK);
}
