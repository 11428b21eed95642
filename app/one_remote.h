// One remote per user session: a second start of the program brings the first one's window to
// the front and ends, so that only one window saves its position and address on close.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Called first thing by the entry point. Returns -1 when this process is the user's remote and
// goes on to open its window; otherwise the exit code of this second start: 0 once the first
// window is restored and in front, 1 when no first window showed within the bound. The named
// object that marks the first is held for the rest of the process.
int BringFirstRemoteForward();
// WM_BRING_FORWARD, in the first: restores the window if minimised and brings it (or the box it
// shows) to the front. Returns 1.
LRESULT OnBringForward(HWND window);
