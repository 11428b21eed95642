// Runs HalcyraRemote.exe as a separate process and looks at it from outside: its main window,
// its fields, and its threads, handles and memory.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <string>

struct RemoteProcess {
    PROCESS_INFORMATION info = {};
    HWND window = NULL;
};

// Starts the program and waits (bounded) until its main window exists and is visible.
bool LaunchRemote(const char *exe_path, RemoteProcess *remote, DWORD timeout_ms);
// Closes the main window and waits for the process; ends it by force after the timeout.
// Returns the exit code, or -1 when it had to be ended.
int CloseRemote(RemoteProcess *remote, DWORD timeout_ms);

std::string FieldText(HWND window, int id);
bool SetFieldText(HWND window, int id, const std::string &text);
// Sends WM_COMMAND and waits at most the hang bound for the window to take it.
bool SendCommandWithin(HWND window, WPARAM wParam, DWORD hang_bound_ms);
// A message round trip to the window within the bound: the window is not hung.
bool Responds(HWND window, DWORD hang_bound_ms);

// Finds the modal message box owned by `owner` (bounded wait), returns its text and caption,
// and dismisses it with OK.
bool DismissMessageBox(HWND owner, std::string *text, std::string *caption, DWORD timeout_ms);

struct ProcessFigures {
    int threads;
    int handles;           // -1 where the system cannot say
    SIZE_T private_bytes;  // commit charge
};
ProcessFigures FiguresOf(DWORD process_id);
