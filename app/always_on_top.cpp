#include "app/always_on_top.h"

#include "app/settings.h"
#include "app/window_ids.h"

namespace {

// T: Wine's system menu has an item of its own on A.
const char ALWAYS_ON_TOP_ITEM[] = "Always on &top";

void ApplyAlwaysOnTop(HWND window, bool on)
{
    CheckMenuItem(GetSystemMenu(window, FALSE), IDM_ALWAYS_ON_TOP, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

void AddAlwaysOnTopMenuItem(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuA(menu, MF_STRING, IDM_ALWAYS_ON_TOP, ALWAYS_ON_TOP_ITEM);
    if (LoadAlwaysOnTop()) ApplyAlwaysOnTop(window, true);  // off is the window as it always was
}

LRESULT ToggleAlwaysOnTop(HWND window)
{
    bool on = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0;
    ApplyAlwaysOnTop(window, on);
    SaveAlwaysOnTop(on);
    return 0;
}
