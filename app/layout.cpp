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
