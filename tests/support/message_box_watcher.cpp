#include "tests/support/message_box_watcher.h"

namespace {

const DWORD POLL_MS = 10;
const DWORD SHOW_WAIT_MS = 5000;     // for a box that exists but is not yet visible
const DWORD DISMISS_WAIT_MS = 5000;  // for the box to go after each way of closing it

std::string ClassOf(HWND window)
{
    char name[64] = {0};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string TextOf(HWND window)
{
    char text[512] = {0};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    if (ClassOf(window) == "#32770") ((std::vector<HWND> *)param)->push_back(window);
    return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param)
{
    SeenMessageBox *box = (SeenMessageBox *)param;
    if (!IsWindowVisible(child)) return TRUE;
    std::string kind = ClassOf(child);
    if (_stricmp(kind.c_str(), "Static") == 0) {
        std::string text = TextOf(child);
        if (!text.empty()) box->text += (box->text.empty() ? "" : "\n") + text;
    } else if (_stricmp(kind.c_str(), "Button") == 0) {
        ++box->button_count;
        if (GetDlgCtrlID(child) == IDOK) box->has_ok = true;
    }
    return TRUE;
}

bool WaitGone(HWND box, DWORD ms)
{
    for (DWORD waited = 0; waited < ms; waited += POLL_MS) {
        if (!IsWindow(box)) return true;
        Sleep(POLL_MS);
    }
    return !IsWindow(box);
}

SeenMessageBox Read(HWND box)
{
    for (DWORD waited = 0; !IsWindowVisible(box) && waited < SHOW_WAIT_MS; waited += POLL_MS)
        Sleep(POLL_MS);
    SeenMessageBox seen;
    seen.owner = GetWindow(box, GW_OWNER);
    seen.owner_disabled = seen.owner && !IsWindowEnabled(seen.owner);
    seen.caption = TextOf(box);
    EnumChildWindows(box, ReadChild, (LPARAM)&seen);
    return seen;
}

// Closes a box with a click on OK; if that does not close it, with the command that OK sends,
// then with WM_CLOSE. Returns whether the click alone closed it.
bool Dismiss(HWND box)
{
    HWND ok = GetDlgItem(box, IDOK);
    DWORD_PTR ignored;
    if (ok) SendMessageTimeoutA(ok, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    if (WaitGone(box, DISMISS_WAIT_MS)) return true;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
    if (!WaitGone(box, DISMISS_WAIT_MS)) {
        PostMessageA(box, WM_CLOSE, 0, 0);
        WaitGone(box, DISMISS_WAIT_MS);
    }
    return false;
}

}  // namespace

bool MessageBoxWatcher::Start(HWND window)
{
    Stop();
    watched = window;
    thread_id = GetWindowThreadProcessId(window, NULL);
    if (!thread_id) return false;
    stopping = false;
    worker = std::thread([this] {
        while (!stopping) {
            std::vector<HWND> dialogs;
            EnumThreadWindows(thread_id, CollectDialog, (LPARAM)&dialogs);
            for (HWND box : dialogs) {
                // Recorded before the click, so a caller whose modal loop has returned finds it.
                size_t index;
                {
                    std::lock_guard<std::mutex> hold(lock);
                    seen.push_back(Read(box));
                    index = seen.size() - 1;
                }
                bool clicked = Dismiss(box);
                std::lock_guard<std::mutex> hold(lock);
                seen[index].dismissed = clicked;
            }
            Sleep(POLL_MS);
        }
    });
    return true;
}

void MessageBoxWatcher::Stop()
{
    stopping = true;
    if (worker.joinable()) worker.join();
}

size_t MessageBoxWatcher::Count()
{
    std::lock_guard<std::mutex> hold(lock);
    return seen.size();
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen()
{
    std::lock_guard<std::mutex> hold(lock);
    return seen;
}
