#include "app/layout.h"

#include "app/display_scale.h"

HFONT CreateLayoutFont(const LayoutFont &face, UINT dpi)
{
    return CreateFontA(ScaleForDpi(face.height, dpi), 0, 0, 0, face.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

ControlRect ScaledRect(const ControlRect &rect, UINT dpi)
{
    ControlRect scaled = {ScaleForDpi(rect.x, dpi), ScaleForDpi(rect.y, dpi), ScaleForDpi(rect.width, dpi),
                          ScaleForDpi(rect.height, dpi)};
    return scaled;
}

HWND CreateControl(HWND parent, HINSTANCE instance, const char *window_class, DWORD style,
                   const ControlRect &rect, int id, const char *label)
{
    return CreateWindowExA(0, window_class, label, style, rect.x, rect.y, rect.width, rect.height,
                           parent, (HMENU)(INT_PTR)id, instance, NULL);
}

void PlaceControl(HWND control, const ControlRect &rect, UINT dpi, HFONT font)
{
    ControlRect scaled = ScaledRect(rect, dpi);
    SetWindowPos(control, NULL, scaled.x, scaled.y, scaled.width, scaled.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (font) SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE);
}

void KeepNewFont(HFONT *font, HFONT new_font)
{
    if (!new_font) return;
    if (*font) DeleteObject(*font);
    *font = new_font;
}

UINT TakeSuggestedRect(HWND window, WPARAM wParam, LPARAM lParam)
{
    const RECT *suggested = (const RECT *)lParam;
    UINT dpi = LOWORD(wParam);
    if (!suggested || !dpi) return 0;
    SetWindowPos(window, NULL, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return dpi;
}

SIZE FrameForDpi(HWND window, int width_96, int height_96, UINT dpi)
{
    typedef BOOL(WINAPI * AdjustWindowRectExForDpiFunction)(RECT *, DWORD, BOOL, DWORD, UINT);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    AdjustWindowRectExForDpiFunction adjust_for_dpi =
        user32 ? (AdjustWindowRectExForDpiFunction)(void *)GetProcAddress(user32, "AdjustWindowRectExForDpi") : NULL;
    RECT frame = {0, 0, ScaleForDpi(width_96, dpi), ScaleForDpi(height_96, dpi)};
    DWORD style = (DWORD)GetWindowLongA(window, GWL_STYLE), ex_style = (DWORD)GetWindowLongA(window, GWL_EXSTYLE);
    if (!adjust_for_dpi || !adjust_for_dpi(&frame, style, FALSE, ex_style, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
    return size;
}

void PlaceDialog(HWND dialog, HWND main_window, int width_96, int height_96, UINT dpi)
{
    SIZE frame = FrameForDpi(dialog, width_96, height_96, dpi);
    int width = frame.cx, height = frame.cy;
    RECT owner;
    GetWindowRect(main_window, &owner);
    int x = (owner.left + owner.right - width) / 2, y = (owner.top + owner.bottom - height) / 2;
    HMONITOR monitor = MonitorFromWindow(main_window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {  // wholly on the owner's monitor where it fits
        if (x + width > info.rcWork.right) x = info.rcWork.right - width;
        if (y + height > info.rcWork.bottom) y = info.rcWork.bottom - height;
        if (x < info.rcWork.left) x = info.rcWork.left;
        if (y < info.rcWork.top) y = info.rcWork.top;
    }
    SetWindowPos(dialog, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR AnswerDpiScaledSize(HWND dialog, int width_96, int height_96, WPARAM wParam, LPARAM lParam)
{
    SIZE *size = (SIZE *)lParam;
    if (!size || !wParam) return FALSE;
    *size = FrameForDpi(dialog, width_96, height_96, (UINT)wParam);
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    return TRUE;
}
