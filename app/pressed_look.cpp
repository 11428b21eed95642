#include "app/pressed_look.h"

#include "app/window_ids.h"

namespace {

HWND g_PressedButton = NULL;  // the button that looks pressed, or null; UI thread only

}  // namespace

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

void ReleasePressedLook(HWND window)
{
    KillTimer(window, IDT_KEY_PRESSED);
    if (g_PressedButton && IsWindow(g_PressedButton)) SendMessageA(g_PressedButton, BM_SETSTATE, FALSE, 0);
    g_PressedButton = NULL;
}
