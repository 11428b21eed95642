// Entry point: registers the main window's class, creates the window from its template,
// and runs the message loop: Ctrl+F, Ctrl+1 to Ctrl+9, F1, held buttons and keypad keys first, then the dialog
// manager's keyboard handling.
#include "app/delivery_sign.h"
#include "app/favourites.h"
#include "app/find_box.h"
#include "app/held_button.h"
#include "app/keyboard_keys.h"
#include "app/main_window.h"
#include "app/one_remote.h"
#include "app/wake_box.h"
#include "transport/command_transaction.h"

HINSTANCE g_Instance = NULL;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command)
{
    g_Instance = instance;
    int second_start = BringFirstRemoteForward();  // a second start ends here, settings untouched
    if (second_start >= 0) return second_start;
    if (!RegisterRemoteWindowClass(instance)) return -1;
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_REMOTE), NULL, NULL, 0);
    if (!window) return 1;  // without a window nothing would ever end the loop
    ShowWindow(window, show_command);
    FocusWhereKeysWork(window);

    MSG msg = {};
    int status;
    while ((status = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (status == -1) break;
        if (TranslateFindBoxKey(window, &msg)) continue;
        if (TranslateWakeBoxKey(window, &msg)) continue;
        if (TranslateFavouriteKey(window, &msg)) continue;
        if (TranslateSignKey(window, &msg)) continue;
        WatchHeldButton(window, &msg);
        if (TranslateKeypadKey(window, &msg)) continue;
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    DestroyWindow(window);
    return status == -1 ? 1 : (int)msg.wParam;
}
