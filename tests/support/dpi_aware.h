// For programs that read or place another program's windows: they declare themselves aware of
// each monitor's scale, so they see real pixels wherever the system would otherwise scale the
// coordinates of a program that is not aware (Windows 8.1 on, newer Wine). Looked up at run time.
#pragma once
#include <windows.h>

inline void DeclareDpiAware()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    typedef BOOL(WINAPI * SetContextFn)(HANDLE);
    SetContextFn set_context =
        (SetContextFn)(void *)GetProcAddress(user32, "SetProcessDpiAwarenessContext");
    // Per-monitor version 2, else version 1 (Windows 10 1607), else the system's scale.
    if (set_context && (set_context((HANDLE)-4) || set_context((HANDLE)-3))) return;
    typedef BOOL(WINAPI * SetAwareFn)();
    SetAwareFn set_aware = (SetAwareFn)(void *)GetProcAddress(user32, "SetProcessDPIAware");
    if (set_aware) set_aware();
}
