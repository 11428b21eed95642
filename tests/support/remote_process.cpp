#include "tests/support/remote_process.h"

#include <psapi.h>

#include <vector>

#include "app/window_ids.h"
#include "tests/support/thread_count.h"

namespace {

struct FindState {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param)
{
    FindState *state = (FindState *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[32] = {0};
    GetClassNameA(window, name, sizeof(name));
    if (pid == state->pid && lstrcmpA(name, REMOTE_WINDOW_CLASS) == 0) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM param)
{
    HWND *io = (HWND *)param;  // io[0] owner in, io[1] box out
    char name[32] = {0};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, "#32770") == 0 && GetWindow(window, GW_OWNER) == io[0] && IsWindowVisible(window)) {
        io[1] = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool LaunchRemote(const char *exe_path, RemoteProcess *remote, DWORD timeout_ms)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string command = std::string("\"") + exe_path + "\"";
    if (!CreateProcessA(exe_path, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &remote->info))
        return false;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        FindState state = {remote->info.dwProcessId, NULL};
        EnumWindows(FindMainWindow, (LPARAM)&state);
        if (state.found && IsWindowVisible(state.found)) {
            remote->window = state.found;
            return true;
        }
        Sleep(1);
    }
    return false;
}

int CloseRemote(RemoteProcess *remote, DWORD timeout_ms)
{
    if (!remote->info.hProcess) return -1;
    if (remote->window) PostMessageA(remote->window, WM_CLOSE, 0, 0);
    int code = -1;
    if (WaitForSingleObject(remote->info.hProcess, timeout_ms) == WAIT_OBJECT_0) {
        DWORD exit_code = 0;
        GetExitCodeProcess(remote->info.hProcess, &exit_code);
        code = (int)exit_code;
    } else {
        TerminateProcess(remote->info.hProcess, 99);
        WaitForSingleObject(remote->info.hProcess, 5000);
    }
    CloseHandle(remote->info.hProcess);
    CloseHandle(remote->info.hThread);
    remote->info = PROCESS_INFORMATION();
    remote->window = NULL;
    return code;
}

std::string FieldText(HWND window, int id)
{
    HWND field = GetDlgItem(window, id);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(field, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return "";
    std::vector<char> text(length + 1, 0);
    DWORD_PTR got = 0;
    SendMessageTimeoutA(field, WM_GETTEXT, text.size(), (LPARAM)text.data(), SMTO_ABORTIFHUNG, 2000, &got);
    return std::string(text.data(), got);
}

bool SetFieldText(HWND window, int id, const std::string &text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(GetDlgItem(window, id), WM_SETTEXT, 0, (LPARAM)text.c_str(),
                               SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

bool SendCommandWithin(HWND window, WPARAM wParam, DWORD hang_bound_ms)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COMMAND, wParam, 0, SMTO_ABORTIFHUNG, hang_bound_ms, &result) != 0;
}

bool Responds(HWND window, DWORD hang_bound_ms)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, hang_bound_ms, &result) != 0;
}

bool DismissMessageBox(HWND owner, std::string *text, std::string *caption, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        HWND io[2] = {owner, NULL};
        EnumWindows(FindOwnedBox, (LPARAM)io);
        if (io[1]) {
            char buffer[256] = {0};
            GetWindowTextA(io[1], buffer, sizeof(buffer));
            *caption = buffer;
            buffer[0] = 0;
            GetDlgItemTextA(io[1], 0xFFFF, buffer, sizeof(buffer));  // the message's static text
            *text = buffer;
            PostMessageA(io[1], WM_COMMAND, IDOK, 0);
            // Wait until it is gone so the next action meets an enabled owner.
            for (int i = 0; i < 2000 && IsWindow(io[1]); ++i) Sleep(1);
            return true;
        }
        Sleep(5);
    }
    return false;
}

ProcessFigures FiguresOf(DWORD process_id)
{
    ProcessFigures figures = {CountThreadsOf(process_id), -1, 0};
    // The system's handle table names each handle's process (works on Windows and Wine).
    typedef LONG(WINAPI * QueryFn)(ULONG, PVOID, ULONG, PULONG);
    struct Entry { ULONG pid; BYTE type; BYTE flags; USHORT value; PVOID object; ULONG access; };
    QueryFn query = (QueryFn)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    if (query) {
        std::vector<BYTE> buffer(1 << 20);
        for (int attempt = 0; attempt < 5; ++attempt) {
            ULONG needed = 0;
            LONG status = query(16 /* SystemHandleInformation */, buffer.data(), (ULONG)buffer.size(), &needed);
            if (status == 0) {
                ULONG count = *(ULONG *)buffer.data();
                const Entry *entries = (const Entry *)(buffer.data() + sizeof(ULONG_PTR));
                figures.handles = 0;
                for (ULONG i = 0; i < count; ++i) figures.handles += entries[i].pid == process_id;
                break;
            }
            buffer.resize(buffer.size() * 4);
        }
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
    if (process) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof(counters)))
            figures.private_bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
        CloseHandle(process);
    }
    return figures;
}
