// Media and browser keys, as keyboards and remote receivers deliver them (WM_APPCOMMAND), each
// naming the command id of a keypad button; the key then goes the way of a click.
#pragma once
#include <winsock2.h>
#include <windows.h>

struct RemoteWindowState;

struct AppCommandKey {
    int app_command;  // APPCOMMAND_...
    unsigned id;
    const char *name;
};

extern const AppCommandKey APP_COMMAND_KEYS[];
extern const int APP_COMMAND_KEY_COUNT;

// Media and browser keys become WM_APPCOMMAND in default processing; their repeats are held
// back here like those of the table's keys.
inline bool IsMediaKey(UINT virtual_key) { return virtual_key >= VK_BROWSER_BACK && virtual_key <= VK_LAUNCH_APP2; }
// WM_APPCOMMAND: true when the command is one of the table's and was sent as a click, or was
// dropped as a repeat while a command is under way; commands from the mouse are left alone.
bool RouteAppCommand(HWND window, RemoteWindowState *state, LPARAM lParam);
