#include "app/one_remote.h"

#include <sddl.h>

#include "app/window_ids.h"

namespace {

// In the session's own namespace, and per user within it: two users each have their own.
const char REMOTE_MUTEX_PREFIX[] = "Local\\Halcyra Remote ";
const int REMOTE_MUTEX_NAME_MAX = MAX_PATH;  // the object manager's bound on a name
// The first may still be starting (the object made, no window yet): its window shows within a
// second or two, even under Wine.
const DWORD FIRST_WINDOW_WAIT_MS = 5000;
const DWORD FIRST_WINDOW_POLL_MS = 50;
const UINT BRING_FORWARD_WAIT_MS = 5000;  // a first window that does not answer by then is hung

// "Local\Halcyra Remote " and the user's SID as text; without the SID, the session's alone.
void RemoteMutexName(char *name, int size)
{
    lstrcpynA(name, REMOTE_MUTEX_PREFIX, size);
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD length = 0;
    char *sid = NULL;
    if (GetTokenInformation(token, TokenUser, user, sizeof(user), &length) &&
        ConvertSidToStringSidA(((TOKEN_USER *)user)->User.Sid, &sid)) {
        int used = lstrlenA(name);
        lstrcpynA(name + used, sid, size - used);
        LocalFree(sid);
    }
    CloseHandle(token);
}

// The first's own thread restores it and takes the front, with the right to do so that this
// process, just started by the user, passes on; this process asks for the front too, since
// either may be the one that the system lets through.
int BringForward(HWND first)
{
    DWORD first_process = 0;
    GetWindowThreadProcessId(first, &first_process);
    AllowSetForegroundWindow(first_process);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(first, WM_BRING_FORWARD, 0, 0, SMTO_ABORTIFHUNG, BRING_FORWARD_WAIT_MS, &answer) ||
        answer != 1)
        return 1;
    SetForegroundWindow(GetLastActivePopup(first));
    return 0;
}

}  // namespace

int BringFirstRemoteForward()
{
    char name[REMOTE_MUTEX_NAME_MAX];
    RemoteMutexName(name, sizeof(name));
    // Owned by this thread when it is made here; the system releases it when the process ends,
    // after the window has saved its settings.
    HANDLE mutex = CreateMutexA(NULL, TRUE, name);
    if (!mutex) return -1;  // nothing to tell a first by: this one runs
    if (GetLastError() != ERROR_ALREADY_EXISTS) return -1;
    DWORD start = GetTickCount();
    for (;;) {
        HWND first = FindWindowA(REMOTE_WINDOW_CLASS, NULL);
        if (first && IsWindowVisible(first) && BringForward(first) == 0) {
            CloseHandle(mutex);
            return 0;
        }
        // The first has ended meanwhile, or its window is closing and no longer answers: this
        // one takes its place once the first process is gone.
        DWORD waited = WaitForSingleObject(mutex, FIRST_WINDOW_POLL_MS);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return -1;
        if (waited == WAIT_FAILED || GetTickCount() - start >= FIRST_WINDOW_WAIT_MS) break;
    }
    CloseHandle(mutex);
    return 1;
}

LRESULT OnBringForward(HWND window)
{
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    // A box or dialog of the window's stays in front of it.
    SetForegroundWindow(GetLastActivePopup(window));
    return 1;
}
