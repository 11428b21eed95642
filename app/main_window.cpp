#include "app/main_window.h"

#include <new>

#include "app/always_on_top.h"
#include "app/command_ids.h"
#include "app/delivery_sign.h"
#include "app/held_button.h"
#include "app/find_box.h"
#include "app/key_commands.h"
#include "app/keyboard.h"
#include "app/recent_boxes.h"
#include "app/remote_control.h"
#include "transport/command_transaction.h"

RemoteControl *g_RemoteControl = NULL;

RemoteControl *CreateRemoteControl(HWND window, const CREATESTRUCTA *creation)
{
    RemoteControl *remote = new (std::nothrow) RemoteControl;
    if (!remote) return NULL;
    remote->keypad_font = NULL;
    for (unsigned char &byte : remote->device_address) byte = 0;
    for (HWND &control : remote->keypad_controls) control = NULL;
    remote->LoadDeviceAddress();
    remote->BuildKeypad(window, creation);
    return remote;
}

void DestroyRemoteControl(RemoteControl *remote)
{
    remote->SaveDeviceAddress();
    if (remote->keypad_font) DeleteObject(remote->keypad_font);
    delete remote;
}

namespace {

// Private messages that the main window consumes without any action.
const UINT WM_REMOTE_RESERVED_1 = 0x8004;
const UINT WM_REMOTE_RESERVED_2 = 0x8005;
// Asks for the window's size at a new dpi (Windows 10 1703 on); not in the Windows 7 headers.
const UINT WM_GETDPISCALEDSIZE_MESSAGE = 0x02E4;

LRESULT OnCreate(HWND window, LPARAM lParam)
{
    RemoteControl *remote = CreateRemoteControl(window, (const CREATESTRUCTA *)lParam);
    if (!remote) return -1;  // the window never runs without its controller
    g_RemoteControl = remote;
    AddKeyListMenuItem(window);
    AddAlwaysOnTopMenuItem(window);
    CreateDeliverySignTip(window);
    PrepareFindBox(window);
    return 0;
}

LRESULT OnDestroy(HWND window)
{
    DestroyDeliverySignTip();
    // A window whose creation failed has nothing worth saving.
    if (g_RemoteControl) {
        g_RemoteControl->SaveWindowRect(window);
        DestroyRemoteControl(g_RemoteControl);
        g_RemoteControl = NULL;
    }
    PostQuitMessage(0);
    return 0;
}

// The window is now on a monitor of another scale: it takes the rectangle that the system
// suggests, and the keypad follows with the new dpi.
LRESULT OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    const RECT *suggested = (const RECT *)lParam;
    UINT dpi = LOWORD(wParam);
    if (!suggested || !dpi) return 0;  // not from the system
    SetWindowPos(window, NULL, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_RemoteControl) g_RemoteControl->ScaleKeypad(dpi);
    PlaceDeliverySignTip(window);
    return 0;
}

// Matches the whole wParam, so only notification code 0 (a click, Enter, Escape) is routed.
bool RouteCommand(HWND window, WPARAM wParam)
{
    if (wParam == IDOK || wParam == IDC_SEND_TEST) {
        g_RemoteControl->SendFreeText(window);
        return true;
    }
    if (wParam == IDCANCEL) {
        DestroyWindow(window);
        return true;
    }
    // The key-command table is the one list of routed ids.
    if (FindKeyCommandRow((unsigned)wParam)) {
        if (g_RemoteControl->CheckAddress(window))
            g_RemoteControl->SendKeyCommands(window, (unsigned)wParam);
        return true;
    }
    return false;
}

LRESULT OnTransactionDone(LPARAM lParam)
{
    ReleaseTransactionResult((TransactionResult *)lParam);
    return 0;
}

// Notices for a box no longer in the address field change nothing: the sign speaks of the box
// in use, and a late success from an old box does not move it up the recent boxes.
LRESULT OnTransactionSent(HWND window, LPARAM lParam)
{
    if (!NoticeIsForBoxInUse(window, lParam)) return 0;
    NoteSentAddress(lParam);
    return ClearDeliverySign(window);
}

LRESULT OnTransactionUndelivered(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (!NoticeIsForBoxInUse(window, lParam)) return 0;
    return ShowDeliverySign(window, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK RemoteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, lParam);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_INITDIALOG:
        return 0;
    case WM_COMMAND:
        if (g_RemoteControl && RouteCommand(window, wParam)) return 0;
        break;
    case WM_TXN_DONE:
        return OnTransactionDone(lParam);
    case WM_TXN_SENT:
        return OnTransactionSent(window, lParam);
    case WM_TXN_UNDELIVERED:
        return OnTransactionUndelivered(window, wParam, lParam);
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = DeliverySignColours((HDC)wParam, (HWND)lParam)) return (LRESULT)brush;
        break;
    case WM_APPCOMMAND:
        if (g_RemoteControl && RouteAppCommand(window, lParam)) return TRUE;
        break;
    case WM_TIMER:
        if (wParam == IDT_BUTTON_REPEAT) return RepeatHeldButton(window);
        if (wParam != IDT_KEY_PRESSED) break;
        ReleasePressedLook(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ALWAYS_ON_TOP) return ToggleAlwaysOnTop(window);
        if ((wParam & 0xFFF0) == IDM_FIND_BOX) {
            OpenFindBox(window);
            return 0;
        }
        if ((wParam & 0xFFF0) != IDM_KEY_LIST) break;
        ShowKeyList(window);
        return 0;
    case WM_DPICHANGED:
        return OnDpiChanged(window, wParam, lParam);
    case WM_GETDPISCALEDSIZE_MESSAGE:
        return FALSE;  // the plain proportional size, not the dialog manager's size of the template
    case WM_REMOTE_RESERVED_1:
    case WM_REMOTE_RESERVED_2:
        return 0;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}

void FocusWhereKeysWork(HWND window)
{
    // Started minimised, the window takes the dialog's usual focus once it is restored.
    if (!g_RemoteControl || IsIconic(window)) return;
    const unsigned char *address = g_RemoteControl->device_address;
    if ((address[0] | address[1] | address[2] | address[3]) == 0) return;
    HWND ok = GetDlgItem(window, IDC_OK);
    if (ok) SetFocus(ok);
}

ATOM RegisterRemoteWindowClass(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RemoteWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_REMOTE));
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = REMOTE_WINDOW_CLASS;
    return RegisterClassA(&wc);
}
