#include "app/favourites.h"

#include "app/key_repeat.h"
#include "app/keyboard_keys.h"
#include "app/remote_control.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "settings/registry.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"

namespace {

// How often a run looks whether the keys before a pause have ended: short beside any pause
// worth writing, long enough to cost nothing.
const UINT FAVOURITE_POLL_MS = 50;
// Ctrl+1 to Ctrl+9 reach the first nine items of the submenu.
const int FAVOURITE_SHORTCUTS = 9;
// Of a line that is not usable the menu shows its start: enough to know it again.
const size_t MENU_LINE_SHOWN = 40;

FavouritesUse *UseOf(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    return state ? &state->favourites : NULL;
}

// A name as a menu shows it: '&' doubled, so that it is not taken for a mnemonic.
std::string MenuText(const Favourite &favourite, int place)
{
    std::string text;
    for (char c : favourite.Usable() ? favourite.name : favourite.line) text += c == '&' ? "&&" : std::string(1, c);
    if (!favourite.Usable()) text = "(not usable) " + text.substr(0, MENU_LINE_SHOWN);
    if (place < FAVOURITE_SHORTCUTS) text += "\tCtrl+" + std::to_string(place + 1);
    return text;
}

void EndRun(HWND window, FavouritesUse *use)
{
    KillTimer(window, IDT_FAVOURITE);
    use->running = false;
    use->sending = false;
    use->run.steps.clear();
}

// Sends the keys up to the next pause, or to the end, as one button's keys go; at a pause, waits
// for them to end and then for the pause. At the end the next favourite waiting starts.
void Advance(HWND window, FavouritesUse *use)
{
    RemoteWindowState *state = WindowStateOf(window);
    while (use->running) {
        const std::vector<KeyStep> &steps = use->run.steps;
        if (use->next >= steps.size()) {
            EndRun(window, use);
            if (use->waiting.empty()) return;
            use->run = use->waiting.front();
            use->waiting.pop_front();
            use->running = true;
            use->next = 0;
            continue;
        }
        std::vector<const KeyCommand *> keys;
        while (use->next < steps.size() && steps[use->next].kind == STEP_KEY) keys.push_back(steps[use->next++].key);
        if (!keys.empty()) {
            // Read from the address field for every part, as a button press reads it.
            if (!state->remote->CheckAddress(window) ||
                !state->remote->SendKeys(window, keys.data(), (int)keys.size())) {
                EndRun(window, use);
                use->waiting.clear();
                return;
            }
        }
        if (use->next < steps.size() && steps[use->next].kind == STEP_WAIT) {
            use->pause_ms = steps[use->next++].wait_ms;
            use->sending = true;
            if (SetTimer(window, IDT_FAVOURITE, FAVOURITE_POLL_MS, NULL)) return;
            EndRun(window, use);  // no timer: the rest is not sent rather than sent without its pause
            use->waiting.clear();
            return;
        }
    }
}

}  // namespace

void FillFavouritesMenu(FavouritesUse *use)
{
    if (!use->menu) return;
    while (GetMenuItemCount(use->menu) > 0) DeleteMenu(use->menu, 0, MF_BYPOSITION);
    for (size_t i = 0; i < use->list.size() && i < (size_t)FAVOURITES_MAX; ++i)
        AppendMenuA(use->menu, MF_STRING | (use->list[i].Usable() ? 0 : MF_GRAYED), IDM_FAVOURITE_FIRST + 0x10 * (UINT)i,
                    MenuText(use->list[i], (int)i).c_str());
    if (!use->list.empty()) AppendMenuA(use->menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(use->menu, MF_STRING, IDM_EDIT_FAVOURITES, "&Edit favourites...");
}

void PrepareFavourites(HWND window, FavouritesUse *use)
{
    LoadFavourites(&use->list);
    HMENU system = GetSystemMenu(window, FALSE);
    use->menu = system ? CreatePopupMenu() : NULL;
    if (!use->menu) return;
    // The system menu owns the submenu from here on and destroys it with the window.
    if (!AppendMenuA(system, MF_POPUP, (UINT_PTR)use->menu, "Fa&vourites")) {
        DestroyMenu(use->menu);
        use->menu = NULL;
        return;
    }
    FillFavouritesMenu(use);
}

bool OnFavouritesCommand(HWND window, UINT command, bool from_menu)
{
    // The dialog opens only from the menu: a posted id opens no window that waits for the user.
    if (command == IDM_EDIT_FAVOURITES) {
        if (from_menu) OpenFavouritesDialog(window);
        return from_menu;
    }
    if (command < IDM_FAVOURITE_FIRST || command >= IDM_FAVOURITE_FIRST + 0x10 * FAVOURITES_MAX) return false;
    ChooseFavourite(window, (int)((command - IDM_FAVOURITE_FIRST) / 0x10));
    return true;
}

void ChooseFavourite(HWND window, int index)
{
    FavouritesUse *use = UseOf(window);
    if (!use || index < 0 || index >= (int)use->list.size() || index >= FAVOURITES_MAX) return;
    if (!use->list[(size_t)index].Usable()) return;
    // A favourite under way or already waiting is not started a second time.
    if (use->running && use->run.index == index) return;
    for (const ChosenFavourite &chosen : use->waiting)
        if (chosen.index == index) return;
    ChosenFavourite chosen = {index, use->list[(size_t)index].steps};
    if (use->running) {
        use->waiting.push_back(chosen);
        return;
    }
    use->run = chosen;
    use->running = true;
    use->next = 0;
    Advance(window, use);
}

void OnFavouriteTimer(HWND window)
{
    FavouritesUse *use = UseOf(window);
    RemoteWindowState *state = WindowStateOf(window);
    if (!use || !use->running) {
        KillTimer(window, IDT_FAVOURITE);
        return;
    }
    if (use->sending) {
        // The transport ends every key within its bounds, so this wait ends too.
        if (TransactionsUnderWayFor(state->remote->device_address, DEVICE_COMMAND_PORT) > 0) return;
        use->sending = false;
        SetTimer(window, IDT_FAVOURITE, use->pause_ms ? use->pause_ms : USER_TIMER_MINIMUM, NULL);
        return;
    }
    KillTimer(window, IDT_FAVOURITE);
    Advance(window, use);
}

bool TranslateFavouriteKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam < '1' || msg->wParam > '9') return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Ctrl+digit alone: with Alt too it is AltGr, which types a character.
    if (!CtrlAloneDown()) return false;
    // A held key does not choose the favourite again with every repeat.
    if ((msg->lParam & KEY_WAS_DOWN) == 0) ChooseFavourite(window, (int)(msg->wParam - '1'));
    return true;
}
