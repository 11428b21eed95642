// The yardstick for press-to-wire latency: a window that, for every WM_COMMAND, starts a fresh
// thread doing a blocking connect, send, read and close. Any design with a thread per key pays
// at least this much. Usage: floor_window.exe 127.0.0.N (loopback only; port 8089).
#include <winsock2.h>
#include <windows.h>

#include "tools/bench/plain_window.h"

static sockaddr_in g_Box;

static DWORD WINAPI FloorThread(LPVOID)
{
    static const char command[] = "press POWER\r\n";  // the NUL ends the command, as the remote's
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return 0;
    if (connect(s, (sockaddr *)&g_Box, sizeof(g_Box)) == 0 && send(s, command, sizeof(command), 0) > 0) {
        DWORD timeout = 5000;  // a box that never answers cannot keep the thread
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char *)&timeout, sizeof(timeout));
        char reply[1250];
        recv(s, reply, sizeof(reply), 0);
        shutdown(s, SD_SEND);
    }
    closesocket(s);
    return 0;
}

static LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        HANDLE thread = CreateThread(NULL, 0, FloorThread, NULL, 0, NULL);
        if (thread) CloseHandle(thread);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show)
{
    g_Box.sin_family = AF_INET;
    g_Box.sin_port = htons(8089);
    g_Box.sin_addr.s_addr = inet_addr(command_line);
    if ((ntohl(g_Box.sin_addr.s_addr) >> 24) != 127) return 2;  // loopback only
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    HWND window = CreatePlainWindow(instance, "FloorWindow", "Floor", FloorProc, 300, 200, 100);
    if (!window) return 1;
    ShowWindow(window, show);
    RunMessageLoop();
    WSACleanup();
    return 0;
}
