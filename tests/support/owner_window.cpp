#include "tests/support/owner_window.h"
#include "address/ipv4_value.h"

#include "tests/support/thread_count.h"

namespace {

const char OWNER_CLASS[] = "HalcyraTestOwner";

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    OwnerWindow *owner = (OwnerWindow *)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (owner && (message == WM_TXN_SENT || message == WM_TXN_RECEIVED || message == WM_TXN_DONE ||
                  message == WM_TXN_UNDELIVERED)) {
        OwnerEvent event = {};
        event.message = message;
        event.wparam = wParam;
        if (message == WM_TXN_DONE) {
            TransactionResult *result = (TransactionResult *)lParam;
            event.has_result = result != NULL;
            if (result) {
                event.reply_null = result->received_bytes == NULL;
                if (result->received_bytes)
                    event.reply.assign((const char *)result->received_bytes, result->received_length);
                memcpy(event.address, result->device_address, 4);
            }
            ReleaseTransactionResult(result);
        }
        if (message == WM_TXN_UNDELIVERED) {
            Ipv4Value::FromNotice((uintptr_t)lParam).CopyTo(event.address);
        }
        owner->events.push_back(event);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool OwnerWindow::Create()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = OWNER_CLASS;
    RegisterClassA(&wc);
    window = CreateWindowExA(0, OWNER_CLASS, "owner", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                             GetModuleHandleA(NULL), NULL);
    if (!window) return false;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)this);
    return true;
}

void OwnerWindow::Destroy()
{
    if (window) DestroyWindow(window);
    window = NULL;
}

size_t OwnerWindow::Count(UINT message) const
{
    size_t n = 0;
    for (const OwnerEvent &e : events) n += e.message == message;
    return n;
}

static void PumpOnce(DWORD wait_ms)
{
    MsgWaitForMultipleObjects(0, NULL, FALSE, wait_ms, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool OwnerWindow::PumpUntilDone(size_t done_count, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (Count(WM_TXN_DONE) < done_count) {
        if (GetTickCount() - start > timeout_ms) return false;
        PumpOnce(20);
    }
    return true;
}

void OwnerWindow::PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) PumpOnce(20);
}

int ThreadCount() { return CountThreadsOf(GetCurrentProcessId()); }

int HandleCount()
{
    // Probing every handle value works the same on Windows and Wine.
    int count = 0;
    DWORD flags;
    for (ULONG_PTR value = 4; value < 0x4000; value += 4)
        count += GetHandleInformation((HANDLE)value, &flags) ? 1 : 0;
    return count;
}

bool WaitForThreadCount(int target, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (ThreadCount() > target) {
        if (GetTickCount() - start > timeout_ms) return false;
        PumpOnce(20);
    }
    return true;
}
