// The main window: class registration and its window procedure.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include "resources/resource_ids.h"

struct RemoteControl;

const char REMOTE_WINDOW_CLASS[] = "VadoruRarid";

// The single controller, set while WM_CREATE is handled; only the UI thread touches it.
extern RemoteControl *g_RemoteControl;

ATOM RegisterRemoteWindowClass(HINSTANCE instance);
LRESULT CALLBACK RemoteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
