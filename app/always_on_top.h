// "Always on top": a checked item of the window's system menu that keeps the window above
// others (a remote beside the video it controls); its state is a setting of its own.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Adds the item below the key list's, and applies the saved state: checked and topmost, or
// (missing or foreign value) neither, the window's style as it always was.
void AddAlwaysOnTopMenuItem(HWND window);
// The item was chosen: the other state, applied and saved at once. Returns 0 (handled).
LRESULT ToggleAlwaysOnTop(HWND window);
