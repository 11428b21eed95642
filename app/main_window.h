// The main window: class registration and its window procedure.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "resources/resource_ids.h"

ATOM RegisterRemoteWindowClass(HINSTANCE instance);
LRESULT CALLBACK RemoteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Once the window shows: with a saved address (not 0.0.0.0) the focus goes to OK, whose
// accidental press is harmless, so that the first key typed reaches the box; without one it
// stays in the address field, where the address is typed.
// Started minimised, the same is done when the window is first restored.
void FocusWhereKeysWork(HWND window);
// The focus on OK, the default button for as long as it has the focus.
void FocusKeypad(HWND window);
