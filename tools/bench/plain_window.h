// The yardstick programs' one window and message loop, made the way the remote makes its own.
#pragma once
#include <windows.h>

inline HWND CreatePlainWindow(HINSTANCE instance, const char *class_name, const char *title, WNDPROC proc,
                              int x, int width, int height)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = class_name;
    if (!RegisterClassA(&wc)) return NULL;
    return CreateWindowExA(0, class_name, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 50, width, height, NULL,
                           NULL, instance, NULL);
}

inline int RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
