// Controls laid out from a table of 96-dpi rectangles: made at the window's dpi in one font, and
// moved and given a new font when the window reaches a monitor of another scale. The keypad and
// Find box are both laid out this way.
#pragma once
#include <windows.h>

struct ControlRect {
    int x, y, width, height;  // pixels of the client area at 96 dpi
};

// The font of a window's controls: "Arial" of this height (pixels at 96 dpi) and weight.
struct LayoutFont {
    int height;
    int weight;  // FW_...
};

HFONT CreateLayoutFont(const LayoutFont &face, UINT dpi);
// Each value scaled on its own: controls that touch at 96 dpi still touch at the usual scales.
ControlRect ScaledRect(const ControlRect &rect, UINT dpi);
// A child control at the rectangle, in pixels as given.
HWND CreateControl(HWND parent, HINSTANCE instance, const char *window_class, DWORD style,
                   const ControlRect &rect, int id, const char *label);
// The control takes its rectangle for the dpi and the font (without one it keeps its own).
void PlaceControl(HWND control, const ControlRect &rect, UINT dpi, HFONT font);
// After every control has the new font the old one is deleted; without a new one they all keep
// the old.
void KeepNewFont(HFONT *font, HFONT new_font);
// WM_DPICHANGED: the window takes the rectangle that the system suggests. Returns the new dpi,
// or 0 when the message did not come from the system.
UINT TakeSuggestedRect(HWND window, WPARAM wParam, LPARAM lParam);
// Asks for a window's size at a new dpi (Windows 10 1703 on); not in the Windows 7 headers.
const UINT WM_GETDPISCALEDSIZE_MESSAGE = 0x02E4;

// The window's outer size for a client area of this size (pixels at 96 dpi) at the dpi: the frame
// of that dpi where the system can tell it (AdjustWindowRectExForDpi, Windows 10 1607 on), else
// the frame of the system's scale.
SIZE FrameForDpi(HWND window, int width_96, int height_96, UINT dpi);
// A dialog of this client size (pixels at 96 dpi) scaled for the dpi, centred over the main window
// and wholly on its monitor where it fits.
void PlaceDialog(HWND dialog, HWND main_window, int width_96, int height_96, UINT dpi);
// WM_GETDPISCALEDSIZE in a dialog procedure: the size for the new dpi stays linear (the client
// area scaled, with that dpi's frame) instead of the dialog manager's size of the template.
INT_PTR AnswerDpiScaledSize(HWND dialog, int width_96, int height_96, WPARAM wParam, LPARAM lParam);
