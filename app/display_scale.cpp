#include "app/display_scale.h"

#include "transport/system_library.h"

namespace {

// GetDpiForMonitor (shcore.dll, Windows 8.1 on): the effective dpi of the window's monitor.
UINT MonitorDpi(HWND window)
{
    typedef HRESULT(WINAPI * GetDpiForMonitorFunction)(HMONITOR, int, UINT *, UINT *);
    const int MDT_EFFECTIVE_DPI_VALUE = 0;  // MONITOR_DPI_TYPE; not in the Windows 7 headers
    HMODULE shcore = LoadSystemLibrary("shcore.dll");
    if (!shcore) return 0;  // Windows 7
    GetDpiForMonitorFunction get_dpi_for_monitor =
        (GetDpiForMonitorFunction)(void *)GetProcAddress(shcore, "GetDpiForMonitor");
    UINT dpi_x = 0, dpi_y = 0;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (!get_dpi_for_monitor || !monitor || get_dpi_for_monitor(monitor, MDT_EFFECTIVE_DPI_VALUE, &dpi_x, &dpi_y) != S_OK)
        dpi_x = 0;
    FreeLibrary(shcore);
    return dpi_x;
}

}  // namespace

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
    UINT dpi = get_dpi_for_window ? get_dpi_for_window(window) : MonitorDpi(window);
    if (dpi) return dpi;
    HDC screen = GetDC(NULL);
    if (!screen) return BASE_DPI;
    int system_dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    return system_dpi > 0 ? (UINT)system_dpi : BASE_DPI;
}
