#include "app/display_scale.h"

int ScaleForDpi(int value, UINT dpi)
{
    return MulDiv(value, (int)dpi, (int)BASE_DPI);
}

UINT WindowDpi(HWND window)
{
    // Resolved at run time, so that the program still starts where user32 lacks it.
    typedef UINT(WINAPI * GetDpiForWindowFunction)(HWND);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    GetDpiForWindowFunction get_dpi_for_window =
        user32 ? (GetDpiForWindowFunction)(void *)GetProcAddress(user32, "GetDpiForWindow") : NULL;
    UINT dpi = get_dpi_for_window ? get_dpi_for_window(window) : 0;
    if (dpi) return dpi;
    HDC screen = GetDC(NULL);
    if (!screen) return BASE_DPI;
    int system_dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    return system_dpi > 0 ? (UINT)system_dpi : BASE_DPI;
}
