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

namespace {

// The window's outer size for a client area of this size (pixels at 96 dpi) at the dpi: the frame
// of that dpi where the system can tell it (AdjustWindowRectExForDpi, Windows 10 1607 on), else
// the frame of the system's scale.
SIZE FrameForDpi(HWND window, const DialogLayout &layout, UINT dpi)
{
    typedef BOOL(WINAPI * AdjustWindowRectExForDpiFunction)(RECT *, DWORD, BOOL, DWORD, UINT);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    AdjustWindowRectExForDpiFunction adjust_for_dpi =
        user32 ? (AdjustWindowRectExForDpiFunction)(void *)GetProcAddress(user32, "AdjustWindowRectExForDpi") : NULL;
    RECT frame = {0, 0, ScaleForDpi(layout.width, dpi), ScaleForDpi(layout.height, dpi)};
    DWORD style = (DWORD)GetWindowLongA(window, GWL_STYLE), ex_style = (DWORD)GetWindowLongA(window, GWL_EXSTYLE);
    if (!adjust_for_dpi || !adjust_for_dpi(&frame, style, FALSE, ex_style, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
    return size;
}

// Every control's rectangle and the font for the dpi; the old font goes once no control holds it.
void LayOutDialog(HWND dialog, const DialogLayout &layout, UINT dpi, HFONT *font)
{
    HFONT new_font = CreateLayoutFont(layout.font, dpi);
    for (int i = 0; i < layout.count; ++i)
        if (HWND child = GetDlgItem(dialog, layout.controls[i].id)) PlaceControl(child, layout.controls[i].rect, dpi, new_font);
    KeepNewFont(font, new_font);
}

void PlaceDialog(HWND dialog, HWND main_window, const DialogLayout &layout, UINT dpi)
{
    SIZE frame = FrameForDpi(dialog, layout, dpi);
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

}  // namespace

void BuildDialog(HWND dialog, HWND main_window, const DialogLayout &layout, HFONT *font)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
    for (int i = 0; i < layout.count; ++i) {
        const DialogControl &control = layout.controls[i];
        CreateControl(dialog, instance, control.window_class, WS_CHILD | WS_VISIBLE | control.style, ControlRect{},
                      control.id, control.label);
    }
    UINT dpi = WindowDpi(dialog);
    LayOutDialog(dialog, layout, dpi, font);
    PlaceDialog(dialog, main_window, layout, dpi);
}

void BeginDialog(HWND dialog, void *state, HWND main_window, const DialogLayout &layout, HFONT *font)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)state);
    BuildDialog(dialog, main_window, layout, font);
}

void *DialogState(HWND dialog) { return (void *)GetWindowLongPtrA(dialog, DWLP_USER); }

INT_PTR AnswerLayoutMessage(HWND dialog, const DialogLayout &layout, HFONT *font, UINT message, WPARAM wParam,
                            LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DPICHANGED: {
        UINT dpi = TakeSuggestedRect(dialog, wParam, lParam);
        if (!dpi) return FALSE;
        LayOutDialog(dialog, layout, dpi, font);
        return TRUE;
    }
    case WM_GETDPISCALEDSIZE_MESSAGE: {
        SIZE *size = (SIZE *)lParam;
        if (!size || !wParam) return FALSE;
        *size = FrameForDpi(dialog, layout, (UINT)wParam);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    case WM_DESTROY:
        if (*font) DeleteObject(*font);
        *font = NULL;
        return FALSE;
    }
    return FALSE;
}
