// Controls laid out from a table of 96-dpi rectangles: made at the window's dpi in one font, and
// moved and given a new font when the window reaches a monitor of another scale. The keypad and
// the dialogs (Find box, Wake box, Edit favourites) are all laid out this way.
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

// A control of a dialog made at run time from a table; a table lists them in creation order,
// which is the Tab order.
struct DialogControl {
    const char *window_class;
    int id;
    const char *label;
    ControlRect rect;  // pixels at 96 dpi
    DWORD style;       // besides WS_CHILD | WS_VISIBLE
};

// A dialog laid out from such a table: the table, and the client size and font at 96 dpi.
struct DialogLayout {
    const DialogControl *controls;
    int count;
    int width, height;
    LayoutFont font;
};

// WM_INITDIALOG: the table's controls made and laid out at the dialog's dpi in a font kept in
// *font (the dialog deletes it when it is destroyed), and the dialog sized to them, centred over
// the main window and wholly on its monitor where it fits.
void BuildDialog(HWND dialog, HWND main_window, const DialogLayout &layout, HFONT *font);
// WM_INITDIALOG's shared steps: the dialog keeps its state (the caller's, for as long as the
// dialog runs), which DialogState gives back (null before), then BuildDialog.
void BeginDialog(HWND dialog, void *state, HWND main_window, const DialogLayout &layout, HFONT *font);
void *DialogState(HWND dialog);
// What every such dialog answers alike, for its procedure to return after its own messages: the
// close box closes (IDCANCEL); on WM_DPICHANGED it takes the suggested rectangle and its controls
// and font follow; WM_GETDPISCALEDSIZE keeps the size linear (the client area scaled, with that
// dpi's frame) instead of the dialog manager's size of the template; on WM_DESTROY the font goes.
INT_PTR AnswerLayoutMessage(HWND dialog, const DialogLayout &layout, HFONT *font, UINT message, WPARAM wParam,
                            LPARAM lParam);
