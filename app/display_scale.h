// Display scale: the keypad's pixel values are written for 96 dots per inch and scaled to the
// dpi of the window that shows them.
#pragma once
#include <windows.h>

const UINT BASE_DPI = 96;  // the dpi of the keypad table and the saved window sizes (100 %)

// value * dpi / 96, rounded half away from zero like the system's own scaling (MulDiv).
int ScaleForDpi(int value, UINT dpi);
// The window's dpi: GetDpiForWindow where the system has it (Windows 10 1607 on), else the dpi
// of the window's monitor from GetDpiForMonitor (Windows 8.1), else the system's dpi from the
// screen (Windows 7).
UINT WindowDpi(HWND window);
