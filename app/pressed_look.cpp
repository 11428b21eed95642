#include "app/pressed_look.h"

#include "app/window_ids.h"

void ClickButton(HWND window, PressedLook *look, unsigned id)
{
    ReleasePressedLook(window, look);
    HWND button = GetDlgItem(window, (int)id);
    if (button) {
        SendMessageA(button, BM_SETSTATE, TRUE, 0);
        look->button = button;
        SetTimer(window, IDT_KEY_PRESSED, KEY_PRESSED_LOOK_MS, NULL);
    }
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

void ReleasePressedLook(HWND window, PressedLook *look)
{
    KillTimer(window, IDT_KEY_PRESSED);
    if (look->button && IsWindow(look->button)) SendMessageA(look->button, BM_SETSTATE, FALSE, 0);
    look->button = NULL;
}
