#include "app/key_list.h"

#include "app/keyboard_keys.h"
#include "app/keypad.h"
#include "app/media_keys.h"
#include "app/window_ids.h"

namespace {

const int KEY_LIST_MAX = 2048;  // the whole list is about 900 characters

// Appends text, cutting it at the end of the buffer.
void Append(char *buffer, int *used, const char *text)
{
    while (*text && *used < KEY_LIST_MAX - 1) buffer[(*used)++] = *text++;
    buffer[*used] = '\0';
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
    MessageBoxA(window, list, "Keyboard keys", MB_OK);
}
