// Names that screen readers read for controls that would otherwise be named after the nearest
// static text before them: the two text fields of the main window and the list of Find box. Such
// a control answers WM_GETOBJECT with the system's own accessible object for it, wrapped so that
// only its name is its own. Works through Active Accessibility on every Windows since 7 and on Wine.
#pragma once
#include <windows.h>

// The control answers every client-object request with NAME (kept as given: a string constant).
// The control keeps its own behaviour otherwise; oleacc.dll is loaded only once a reader asks.
void GiveAccessibleName(HWND control, const wchar_t *name);

// Marks the control as an assertive live region (Windows 8 on), so that a reader speaks its new
// name on EVENT_OBJECT_LIVEREGIONCHANGED whatever has the focus. False where the system keeps no
// such annotation (Windows 7; Wine answers E_NOTIMPL): its name changes are still raised.
bool MakeLiveRegion(HWND control);

// The screen reader is told that the control's name (its text, for a static) has changed.
void AnnounceNameChange(HWND control);
