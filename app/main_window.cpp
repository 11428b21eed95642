#include "app/main_window.h"

#include <new>

#include "address/ipv4_value.h"
#include "app/accessible_names.h"
#include "app/always_on_top.h"
#include "app/window_ids.h"
#include "app/delivery_sign.h"
#include "app/favourites.h"
#include "app/held_button.h"
#include "app/find_box.h"
#include "app/follow_box.h"
#include "app/key_commands.h"
#include "app/key_list.h"
#include "app/keys_anywhere.h"
#include "app/layout.h"
#include "app/media_keys.h"
#include "app/one_remote.h"
#include "app/pressed_look.h"
#include "app/remote_control.h"
#include "app/wake_box.h"
#include "app/window_state.h"
#include "transport/box_search.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"
#include "transport/wake.h"

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

// The state goes on the window once the controller is built, so that the messages that arrive
// while it is built are all left to the dialog manager.
LRESULT OnCreate(HWND window, LPARAM lParam)
{
    RemoteWindowState *state = new (std::nothrow) RemoteWindowState();
    if (!state) return -1;
    state->remote = CreateRemoteControl(window, (const CREATESTRUCTA *)lParam);
    if (!state->remote) {
        delete state;
        return -1;  // the window never runs without its controller
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)state);
    // A screen reader would name each field after the static text before it.
    GiveAccessibleName(GetDlgItem(window, IDC_ADDRESS), L"Box address");
    GiveAccessibleName(GetDlgItem(window, IDC_FREE_TEXT), L"Text to send");
    AddKeyListMenuItem(window);
    AddAlwaysOnTopMenuItem(window);
    AddKeysAnywhereMenuItem(window);
    PrepareFindBox(window);
    PrepareWakeBox(window, &state->wake_box);
    PrepareDeliverySign(window);
    PrepareFavourites(window, &state->favourites);
    StartKeysAnywhere(window, &state->keys_anywhere);  // last: a key it cannot have shows the sign
    PrepareFollowBox(window, &state->follow);
    return 0;
}

LRESULT OnDestroy(HWND window, RemoteWindowState *state)
{
    // A window whose creation failed has nothing worth saving.
    if (state) {
        // Hardware addresses posted by a look-up would be lost with the queue: freed here.
        MSG msg;
        while (PeekMessageA(&msg, window, WM_WAKE_LEARNED, WM_WAKE_LEARNED, PM_REMOVE))
            delete (LearnedHardwareAddress *)msg.lParam;
        while (PeekMessageA(&msg, window, WM_WAKE_SENT, WM_WAKE_SENT, PM_REMOVE)) delete (WakeOutcome *)msg.lParam;
        StopKeysAnywhere(window, &state->keys_anywhere);
        EndFollowBox(window, &state->follow);
        DestroyDeliverySignTip(&state->sign);
        state->remote->SaveWindowRect(window);
        DestroyRemoteControl(state->remote);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete state;
    }
    PostQuitMessage(0);
    return 0;
}

// The window is now on a monitor of another scale: it takes the rectangle that the system
// suggests, and the keypad follows with the new dpi.
LRESULT OnDpiChanged(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam)
{
    UINT dpi = TakeSuggestedRect(window, wParam, lParam);
    if (!dpi) return 0;  // not from the system
    // While the window is created (a saved position on another monitor) the keypad is not
    // built yet; it is then built at the new dpi.
    if (!state) return 0;
    state->remote->ScaleKeypad(dpi);
    PlaceDeliverySignTip(window, &state->sign);
    return 0;
}

// Matches the whole wParam, so only notification code 0 (a click, Enter, Escape) is routed.
bool RouteCommand(HWND window, RemoteControl *remote, WPARAM wParam)
{
    if (wParam == IDOK || wParam == IDC_SEND_TEST) {
        remote->SendFreeText(window);
        return true;
    }
    if (wParam == IDCANCEL) {
        DestroyWindow(window);
        return true;
    }
    // A submenu of the system menu may come as WM_COMMAND, once the menu has closed (Wine sends
    // its items so).
    RemoteWindowState *state = WindowStateOf(window);
    bool from_menu = state && state->favourites.menu_closed;
    if (state) state->favourites.menu_closed = false;
    if (HIWORD(wParam) == 0 && OnFavouritesCommand(window, (UINT)wParam, from_menu)) return true;
    // The key-command table is the one list of routed ids.
    if (FindKeyCommandRow((unsigned)wParam)) {
        if (remote->CheckAddress(window)) remote->SendKeyCommands(window, (unsigned)wParam);
        return true;
    }
    return false;
}

LRESULT OnTransactionDone(LPARAM lParam)
{
    ReleaseTransactionResult((TransactionResult *)lParam);
    return 0;
}

// True when the timer is one of the window's.
bool OnTimer(HWND window, RemoteWindowState *state, WPARAM wParam)
{
    switch (wParam) {
    case IDT_BUTTON_REPEAT:
        RepeatHeldButton(window);
        return true;
    case IDT_KEY_PRESSED:
        ReleasePressedLook(window, &state->pressed);
        return true;
    case IDT_FAVOURITE:
        OnFavouriteTimer(window);
        return true;
    case IDT_HOT_KEY_HELD:
        WatchHeldHotKey(window);
        return true;
    }
    return false;
}

// True when the command is one of the items that the window adds to its system menu.
bool OnSysCommand(HWND window, WPARAM wParam)
{
    switch (wParam & 0xFFF0) {
    case IDM_ALWAYS_ON_TOP:
        ToggleAlwaysOnTop(window);
        return true;
    case IDM_KEYS_ANYWHERE:
        ToggleKeysAnywhere(window);
        return true;
    case IDM_FIND_BOX:
        OpenFindBox(window);
        return true;
    case IDM_WAKE_BOX:
        OpenWakeBox(window);
        return true;
    case IDM_KEY_LIST:
        ShowKeyList(window);
        return true;
    case IDM_FOLLOW_BOX:
        if (RemoteWindowState *state = WindowStateOf(window)) ToggleFollowBox(window, &state->follow);
        return true;
    case IDM_WHY_NOT_SENT:
        if (RemoteWindowState *state = WindowStateOf(window)) ExplainDeliverySign(window, &state->sign);
        return true;
    }
    return OnFavouritesCommand(window, (UINT)(wParam & 0xFFF0), true);
}

// Notices for a box no longer in the address field change nothing: the sign speaks of the box
// in use, and a late success from an old box does not move it up the recent boxes.
LRESULT OnTransactionSent(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam)
{
    NoteFavouriteKeySent(window, wParam);
    if (!NoticeIsForBoxInUse(window, lParam)) return 0;
    NoteSentAddress(&state->find_box, lParam);
    LearnHardwareAddress(window, &state->wake_box, lParam);
    NoteBoxAnswered(window, &state->follow);
    return ClearDeliverySign(window, &state->sign);
}

LRESULT OnTransactionUndelivered(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam)
{
    // A favourite's first key not sent stops it and shows the sign, whatever box the field holds.
    FavouriteNotice favourite = StopFavouriteAtNotice(window, wParam, lParam);
    if (favourite == FAVOURITE_NOTICE_LATE || !NoticeIsForBoxInUse(window, lParam)) return 0;
    if (favourite == FAVOURITE_NOTICE_OTHER) {
        bool offer_wake = NoConnectionMade(UndeliveredError(wParam)) && WakeAddressKnown(state->wake_box, lParam);
        ShowDeliverySign(window, &state->sign, wParam, lParam, offer_wake);
    }
    LookForMovedBox(window, state, wParam, lParam);
    return 0;
}

}  // namespace

RemoteWindowState *WindowStateOf(HWND window)
{
    return (RemoteWindowState *)GetWindowLongPtrA(window, GWLP_USERDATA);
}

LRESULT CALLBACK RemoteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RemoteWindowState *state = WindowStateOf(window);
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, lParam);
    case WM_DESTROY:
        return OnDestroy(window, state);
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_INITDIALOG:
        return 0;
    case WM_COMMAND:
        if (state && RouteCommand(window, state->remote, wParam)) return 0;
        break;
    case WM_TXN_DONE:
        return OnTransactionDone(lParam);
    case WM_TXN_SENT:
        if (!state) break;
        return OnTransactionSent(window, state, wParam, lParam);
    case WM_WAKE_LEARNED:
        if (state) KeepHardwareAddress(&state->wake_box, lParam);
        else delete (LearnedHardwareAddress *)lParam;
        return 0;
    case WM_MOVED_BOX_FOUND:
        if (state) OnMovedBoxFound(window, state, wParam, lParam);
        else delete (MovedBoxFinding *)lParam;
        return 0;
    case WM_WAKE_SENT:
        if (state) OnFavouriteWakeSent(window, lParam);
        else delete (WakeOutcome *)lParam;
        return 0;
    case WM_TXN_UNDELIVERED:
        if (!state) break;
        return OnTransactionUndelivered(window, state, wParam, lParam);
    case WM_CTLCOLORSTATIC:
        if (!state) break;
        if (HBRUSH brush = DeliverySignColours(&state->sign, (HDC)wParam, (HWND)lParam)) return (LRESULT)brush;
        break;
    case WM_APPCOMMAND:
        if (state && RouteAppCommand(window, state, lParam)) return TRUE;
        break;
    case WM_TIMER:
        if (state && OnTimer(window, state, wParam)) return 0;
        break;
    case WM_SYSCOMMAND:
        if (OnSysCommand(window, wParam)) return 0;
        break;
    case WM_EXITMENULOOP:
        if (state) state->favourites.menu_closed = true;
        break;
    case WM_SIZE:
        // Posted: the dialog manager gives the focus back to its control once the restore is done.
        if (state && state->focus_on_restore && wParam != SIZE_MINIMIZED) PostMessageA(window, WM_FOCUS_KEYS, 0, 0);
        break;
    case WM_FOCUS_KEYS:
        FocusWhereKeysWork(window);
        return 0;
    case WM_HOTKEY:
        if (state) OnHotKey(window, state, wParam);
        return 0;
    case WM_BRING_FORWARD:
        return OnBringForward(window);
    case WM_DPICHANGED:
        return OnDpiChanged(window, state, wParam, lParam);
    case WM_GETDPISCALEDSIZE_MESSAGE:
        return FALSE;  // the plain proportional size, not the dialog manager's size of the template
    case WM_REMOTE_RESERVED_1:
    case WM_REMOTE_RESERVED_2:
        return 0;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}

void FocusKeypad(HWND window)
{
    HWND ok = GetDlgItem(window, IDC_OK);
    // Through the dialog manager, so that OK is the default button too: Enter sends "press OK".
    if (ok) SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)ok, TRUE);
}

void FocusWhereKeysWork(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return;
    // Started minimised, the rule is applied once the window is first restored.
    state->focus_on_restore = IsIconic(window) != FALSE;
    if (state->focus_on_restore) return;
    if (!Ipv4Value::Of(state->remote->device_address).IsUnset()) FocusKeypad(window);
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
