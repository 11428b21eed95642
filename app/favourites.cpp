#include "app/favourites.h"

#include "address/ipv4_value.h"
#include "app/delivery_sign.h"
#include "app/key_repeat.h"
#include "app/keyboard_keys.h"
#include "app/remote_control.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "settings/registry.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"
#include "transport/wake.h"

#include <stdio.h>
#include <string.h>

namespace {

// How often a run looks whether the keys before a pause have ended: short beside any pause
// worth writing, long enough to cost nothing.
const UINT FAVOURITE_POLL_MS = 50;
// Ctrl+1 to Ctrl+9 reach the first nine items of the submenu.
const int FAVOURITE_SHORTCUTS = 9;
// Of a line that is not usable the menu shows its start: enough to know it again.
const size_t MENU_LINE_SHOWN = 40;
// Room for the sign's first words about a favourite: its name and two counts.
const int FAVOURITE_LEAD_SIZE = FAVOURITE_NAME_MAX * 4 + 64;
// A key's notices are posted before the transport counts it ended; beyond the keys' own bound
// this long more is allowed for them to be read.
const DWORD FAVOURITE_NOTICE_SLACK_MS = 1000;
// The wake worker sends for a few hundred milliseconds; past this its notice was lost.
const UINT FAVOURITE_WAKE_WAIT_MS = WAKE_SENDS * WAKE_INTERVAL_MS + 5000;

FavouritesUse *UseOf(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    return state ? &state->favourites : NULL;
}

// A name as a menu shows it: '&' doubled, so that it is not taken for a mnemonic.
std::wstring MenuText(const Favourite &favourite, int place)
{
    std::wstring shown = WideOfUtf8(favourite.Usable() ? favourite.name : favourite.line), text;
    if (!favourite.Usable()) shown = shown.substr(0, MENU_LINE_SHOWN);
    for (wchar_t c : shown) text += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    if (!favourite.Usable()) text = L"(not usable) " + text;
    if (place < FAVOURITE_SHORTCUTS) text += L"\tCtrl+" + std::to_wstring(place + 1);
    return text;
}

int KeyCount(const std::vector<KeyStep> &steps)
{
    int count = 0;
    for (const KeyStep &step : steps) count += step.kind == STEP_KEY;
    return count;
}

void EndRun(HWND window, FavouritesUse *use)
{
    KillTimer(window, IDT_FAVOURITE);
    use->running = false;
    use->phase = FAV_NEXT_STEP;
    use->run.steps.clear();
}

// The next favourite waiting becomes the run, with a mark of its own for its keys' tags.
void BeginNext(FavouritesUse *use)
{
    use->run = use->waiting.front();
    use->waiting.pop_front();
    use->running = true;
    use->next = 0;
    use->phase = FAV_NEXT_STEP;
    use->mark = (unsigned short)(FAVOURITE_TAG_MARK | ((use->run_count++ & 0x7F) << 8));
    use->keys_started = 0;
    use->keys_sent = 0;
}

// The run ends where it is: its later steps are dropped, and so are the favourites waiting for
// its box, which were meant to follow it there. The sign's words are kept for FavouriteSignLead.
void StopRun(HWND window, FavouritesUse *use)
{
    use->stopped.mark = use->mark;
    use->stopped.name = use->run.name;
    use->stopped.keys_sent = use->keys_sent;
    use->stopped.keys_total = KeyCount(use->run.steps);
    unsigned char box[4];
    memcpy(box, use->run.box, sizeof(box));
    EndRun(window, use);
    for (size_t i = use->waiting.size(); i-- > 0;)
        if (memcmp(use->waiting[i].box, box, sizeof(box)) == 0) use->waiting.erase(use->waiting.begin() + (long)i);
}

// Stops the run for a reason that is no key's: the sign says which favourite and why.
void StopRunSaying(HWND window, FavouritesUse *use, const char *why)
{
    StopRun(window, use);
    RemoteWindowState *state = WindowStateOf(window);
    if (!state) return;
    char lead[FAVOURITE_LEAD_SIZE];
    FavouriteSignLead(window, use->stopped.mark, lead, sizeof(lead));
    snprintf(state->sign.explanation, sizeof(state->sign.explanation), "%s%s.", lead, why);
    ShowSignExplanation(window, &state->sign);
}

// Starts the keys from `next` up to the next step that is not a key, as one button's keys go
// (all or none), to the run's box whatever the address field holds now. False when they did not
// start: the transport's sign is up, and the run has stopped.
bool StartKeys(HWND window, FavouritesUse *use)
{
    RemoteWindowState *state = WindowStateOf(window);
    const std::vector<KeyStep> &steps = use->run.steps;
    std::vector<const KeyCommand *> keys;
    while (use->next < steps.size() && steps[use->next].kind == STEP_KEY) keys.push_back(steps[use->next++].key);
    RemoteControl *remote = state->remote;
    unsigned char held[4];
    memcpy(held, remote->device_address, sizeof(held));
    memcpy(remote->device_address, use->run.box, sizeof(held));
    bool started = remote->SendKeys(window, keys.data(), (int)keys.size(), use->mark);
    memcpy(remote->device_address, held, sizeof(held));  // the box a button or the text line goes to
    if (!started) {
        StopRun(window, use);
        return false;
    }
    use->keys_started += (int)keys.size();
    // Its keys end within the bound of every key now under way for the box, the box's earlier
    // keys (a button pressed meanwhile) in line before them included.
    int in_line = TransactionsUnderWayFor(use->run.box, DEVICE_COMMAND_PORT);
    use->keys_deadline = GetTickCount() + TransactionsEndWithinMs(in_line > (int)keys.size() ? in_line : (int)keys.size()) +
                         FAVOURITE_NOTICE_SLACK_MS;
    return true;
}

// A wake step, once the keys before it have ended: the packet for the run's box with the
// hardware address the step gives, or the one known for the box.
void StartWakeStep(HWND window, FavouritesUse *use, const KeyStep &step)
{
    RemoteWindowState *state = WindowStateOf(window);
    unsigned char hardware[6];
    if (step.hardware_given) {
        memcpy(hardware, step.hardware, sizeof(hardware));
    } else if (!FindWakeAddress(state->wake_box.known, use->run.box, hardware)) {
        char dotted[IPV4_TEXT_SIZE];
        Ipv4Value::Of(use->run.box).Format(dotted);
        std::string why = std::string("no hardware address is known for ") + dotted +
                          " to wake it (the remote learns it once a key reached the box; or give it after /wake)";
        StopRunSaying(window, use, why.c_str());
        return;
    }
    if (!StartWake(window, use->run.box, hardware, use->mark)) {
        StopRunSaying(window, use, "the wake packet could not be sent (no thread for it)");
        return;
    }
    use->phase = FAV_WAKING;
    // Bounds the wait for a worker whose notice could not be posted.
    if (!SetTimer(window, IDT_FAVOURITE, FAVOURITE_WAKE_WAIT_MS, NULL))
        StopRunSaying(window, use, "no timer was left to wait for the wake packet");
}

// Takes the run's next step and returns once it waits for something (a key's end, a pause, a
// wake); a run that ends makes way for the next one waiting. Every round of the loop starts a
// step and returns, or ends a run and takes one from the queue, so the rounds are bounded by
// the steps and the queue's length.
void Advance(HWND window, FavouritesUse *use)
{
    while (use->running || !use->waiting.empty()) {
        if (!use->running) {
            BeginNext(use);
            continue;
        }
        if (use->phase != FAV_NEXT_STEP) return;
        const std::vector<KeyStep> &steps = use->run.steps;
        bool keys_under_way = use->keys_sent < use->keys_started;
        if (use->next < steps.size() && steps[use->next].kind == STEP_KEY) {
            if (!StartKeys(window, use)) continue;
            keys_under_way = true;
        }
        // A pause, a wake and the end come after the keys before them have ended, so that the
        // run knows they were all sent.
        if (keys_under_way) {
            use->phase = FAV_KEYS_ENDING;
            if (SetTimer(window, IDT_FAVOURITE, FAVOURITE_POLL_MS, NULL)) return;
            StopRunSaying(window, use, "no timer was left to wait for its keys");
            continue;
        }
        if (use->next >= steps.size()) {
            EndRun(window, use);
            continue;
        }
        const KeyStep &step = steps[use->next++];
        if (step.kind == STEP_WAIT) {
            use->phase = FAV_PAUSING;
            if (SetTimer(window, IDT_FAVOURITE, step.wait_ms ? step.wait_ms : USER_TIMER_MINIMUM, NULL)) return;
            StopRunSaying(window, use, "no timer was left for its pause");  // not sent without its pause
        } else if (step.kind == STEP_WAKE) {
            StartWakeStep(window, use, step);
        } else {
            // Free text is refused when a favourite is read; a step of another kind is not run.
            StopRunSaying(window, use, "a step that a favourite does not run (a free-text line)");
        }
    }
}

}  // namespace

void FillFavouritesMenu(FavouritesUse *use)
{
    if (!use->menu) return;
    while (GetMenuItemCount(use->menu) > 0) DeleteMenu(use->menu, 0, MF_BYPOSITION);
    for (size_t i = 0; i < use->list.size() && i < (size_t)FAVOURITES_MAX; ++i)
        AppendMenuW(use->menu, MF_STRING | (use->list[i].Usable() ? 0 : MF_GRAYED), IDM_FAVOURITE_FIRST + 0x10 * (UINT)i,
                    MenuText(use->list[i], (int)i).c_str());
    if (!use->list.empty()) AppendMenuA(use->menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(use->menu, MF_STRING, IDM_EDIT_FAVOURITES, "&Edit favourites...");
}

void PrepareFavourites(HWND window, FavouritesUse *use)
{
    LoadFavourites(&use->list, &use->keep_stored);
    for (Favourite &favourite : use->list) favourite.serial = ++use->next_serial;
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
    const Favourite &favourite = use->list[(size_t)index];
    if (!favourite.Usable()) return;
    // A favourite under way or already waiting is not started a second time; one whose steps have
    // all started, and that only waits for its last keys to end, may be chosen again.
    if (use->running && use->run.serial == favourite.serial && use->next < use->run.steps.size()) return;
    for (const ChosenFavourite &chosen : use->waiting)
        if (chosen.serial == favourite.serial) return;
    ChosenFavourite chosen;
    chosen.serial = favourite.serial;
    chosen.name = favourite.name;
    chosen.steps = favourite.steps;
    // The address field is checked once, now, as a button press checks it.
    RemoteWindowState *state = WindowStateOf(window);
    if (!state->remote->CheckAddress(window)) return;
    use = UseOf(window);  // the message box's loop may have closed the window
    if (!use) return;
    memcpy(chosen.box, WindowStateOf(window)->remote->device_address, sizeof(chosen.box));
    use->waiting.push_back(chosen);
    if (!use->running) Advance(window, use);
}

void OnFavouriteTimer(HWND window)
{
    FavouritesUse *use = UseOf(window);
    if (!use || !use->running) {
        KillTimer(window, IDT_FAVOURITE);
        return;
    }
    switch (use->phase) {
    case FAV_KEYS_ENDING: {
        // Every key's notice comes before the transport counts it ended; a notice that could
        // not be posted is given up on once the keys' bound has passed.
        bool all_sent = use->keys_sent >= use->keys_started;
        bool late = (LONG)(GetTickCount() - use->keys_deadline) >= 0;
        bool box_idle = TransactionsUnderWayFor(use->run.box, DEVICE_COMMAND_PORT) == 0;
        if (!late && !(all_sent && box_idle)) return;
        KillTimer(window, IDT_FAVOURITE);
        if (!all_sent) {
            StopRunSaying(window, use, "its keys were not heard of as sent in time");
            break;
        }
        use->phase = FAV_NEXT_STEP;
        break;
    }
    case FAV_PAUSING:
        KillTimer(window, IDT_FAVOURITE);
        use->phase = FAV_NEXT_STEP;
        break;
    case FAV_WAKING:
        StopRunSaying(window, use, "the wake packet's worker did not answer in time");
        break;
    default:
        KillTimer(window, IDT_FAVOURITE);
        break;
    }
    Advance(window, use);
}

void NoteFavouriteKeySent(HWND window, WPARAM wParam)
{
    FavouritesUse *use = UseOf(window);
    // The tag is in the high word, as in WM_TXN_UNDELIVERED.
    if (use && use->running && (UndeliveredTag(wParam) & FAVOURITE_RUN_MASK) == use->mark) ++use->keys_sent;
}

FavouriteNotice StopFavouriteAtNotice(HWND window, WPARAM wParam, LPARAM lParam)
{
    FavouritesUse *use = UseOf(window);
    RemoteWindowState *state = WindowStateOf(window);
    unsigned short tag = UndeliveredTag(wParam);
    if (!use || !(tag & FAVOURITE_TAG_MARK)) return FAVOURITE_NOTICE_OTHER;
    // The keys behind the first one not sent fail with it: the sign keeps the first.
    if (!use->running || (tag & FAVOURITE_RUN_MASK) != use->mark) return FAVOURITE_NOTICE_LATE;
    StopRun(window, use);
    // Shown whatever box the field holds now: the sign names the favourite's box.
    bool offer_wake = NoConnectionMade(UndeliveredError(wParam)) && WakeAddressKnown(state->wake_box, lParam);
    ShowDeliverySign(window, &state->sign, wParam, lParam, offer_wake);
    Advance(window, use);
    return FAVOURITE_NOTICE_STOPPED;
}

void OnFavouriteWakeSent(HWND window, LPARAM lParam)
{
    WakeOutcome *outcome = (WakeOutcome *)lParam;
    FavouritesUse *use = UseOf(window);
    bool ours = use && use->running && use->phase == FAV_WAKING && outcome && outcome->tag == use->mark;
    bool sent = outcome && outcome->sent.Any();
    delete outcome;
    if (!ours) return;
    KillTimer(window, IDT_FAVOURITE);
    if (sent) use->phase = FAV_NEXT_STEP;
    else StopRunSaying(window, use, "the wake packet could not be sent");
    Advance(window, use);
}

bool FavouriteSignLead(HWND window, unsigned short tag, char *lead, int size)
{
    lead[0] = '\0';
    FavouritesUse *use = UseOf(window);
    if (!use || !(tag & FAVOURITE_TAG_MARK)) return false;
    unsigned short mark = tag & FAVOURITE_RUN_MASK;
    const std::string *name;
    int sent, total;
    if (use->running && mark == use->mark) {
        name = &use->run.name;
        sent = use->keys_sent;
        total = KeyCount(use->run.steps);
    } else if (mark == use->stopped.mark) {
        name = &use->stopped.name;
        sent = use->stopped.keys_sent;
        total = use->stopped.keys_total;
    } else {
        return false;
    }
    // The sign's words are in the system's code page: a character outside it shows as '?'.
    snprintf(lead, (size_t)size, "Favourite \"%s\" stopped after %d of its %d keys: ", AnsiOfUtf8(*name).c_str(), sent,
             total);
    return true;
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
