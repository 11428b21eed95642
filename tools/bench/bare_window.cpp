// The yardstick for start-up time: a bare Win32 window with one edit field, built with the
// same toolchain and started the same way as the remote.
#include <windows.h>

#include "tools/bench/plain_window.h"

static LRESULT CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    HWND window = CreatePlainWindow(instance, "BareWindow", "Bare", BareProc, 50, 200, 500);
    if (!window) return 1;
    CreateWindowExA(0, "Edit", "ready", WS_CHILD | WS_VISIBLE | WS_BORDER, 60, 6, 120, 20, window,
                    (HMENU)1044, instance, NULL);
    ShowWindow(window, show);
    return RunMessageLoop();
}
