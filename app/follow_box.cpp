#include "app/follow_box.h"

#include <stdio.h>
#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"
#include "app/delivery_sign.h"
#include "app/find_box.h"
#include "app/key_commands.h"
#include "app/keypad.h"
#include "app/remote_control.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "keys/keys.h"
#include "transport/box_search.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"

namespace {

// The label's word while the sign says where the box went: as short as "Not sent", so that it
// fits the label; the sentence is in the explanation.
const char MOVED_LABEL_TEXT[] = "Moved";
const int FOLLOW_EXPLANATION_MAX = 256;

// The user is typing in the address field: its text changed since a key last reached the box
// (the field's modified flag) and it has the focus. Its address is not the box's to follow.
bool AddressBeingEdited(HWND window)
{
    HWND field = GetDlgItem(window, IDC_ADDRESS);
    return field && GetFocus() == field && SendMessageA(field, EM_GETMODIFY, 0, 0);
}

const char *KeyName(unsigned short tag)
{
    const KeyCommand *key = KeyCommandOfTag(tag & FAVOURITE_KEY_TAG_MASK);  // a favourite's run number left out
    return key ? key->name : NULL;
}

// The address field, the saved address, the recent boxes and the wake addresses take the new address.
void Follow(HWND window, RemoteWindowState *state, const MovedBoxFinding &finding, unsigned short failed_tag)
{
    RemoteControl *remote = state->remote;
    memcpy(remote->device_address, finding.found, 4);
    WriteAddressField(window, finding.found, IDC_ADDRESS);
    remote->SaveDeviceAddress();
    FollowRecentBox(&state->find_box, finding.old_address, finding.found);
    WakeAddresses *known = &state->wake_box.known;
    bool changed = ForgetWakeAddress(known, finding.old_address);
    if (AddWakeAddress(known, finding.found, finding.hardware) || changed) SaveWakeAddresses(*known);

    char now[IPV4_TEXT_SIZE], before[IPV4_TEXT_SIZE], explanation[FOLLOW_EXPLANATION_MAX];
    Ipv4Value::Of(finding.found).Format(now);
    Ipv4Value::Of(finding.old_address).Format(before);
    const char *key = KeyName(failed_tag);
    snprintf(explanation, sizeof(explanation),
             "The box is now at %s.\r\nIt no longer answered at %s; its hardware address answers at %s "
             "alone.\r\n%s%s was not sent: press it again.",
             now, before, now, key ? "Key " : "The free-text line", key ? key : "");
    ShowSignWords(window, &state->sign, MOVED_LABEL_TEXT, explanation);
}

// None or several: the sign keeps its reason; its explanation says what was looked for and found.
void DescribeFinding(HWND window, RemoteWindowState *state, const MovedBoxFinding &finding)
{
    FollowBoxUse *use = &state->follow;
    char hardware[HARDWARE_TEXT_SIZE], network[IPV4_TEXT_SIZE];
    unsigned char bytes[6];
    memcpy(bytes, finding.hardware, 6);
    HWAddrByteToStr(bytes, hardware);
    Ipv4Value::FromNumber(finding.range.first).Format(network);
    if (finding.choice == MOVED_BOX_SEVERAL)
        snprintf(use->finding, sizeof(use->finding),
                 "\r\nLooked for the box's hardware address %s in %s/24: %u addresses answered, %d of them with "
                 "it, so the box was not followed. Find box marks them.",
                 hardware, network, finding.answered, finding.matching);
    else
        snprintf(use->finding, sizeof(use->finding),
                 "\r\nLooked for the box's hardware address %s in %s/24: %u addresses answered, none with it.",
                 hardware, network, finding.answered);
    MarkBoxInFindBox(&state->find_box, finding.old_address, finding.hardware);
    AddToSignExplanation(window, &state->sign, use->finding);
}

void ShowFollowCheck(HWND window, bool on)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) CheckMenuItem(menu, IDM_FOLLOW_BOX, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void PrepareFollowBox(HWND window, FollowBoxUse *use)
{
    use->on = LoadFollowBox();
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING, IDM_FOLLOW_BOX, "Follow the &box when it moves");
    ShowFollowCheck(window, use->on);
}

void ToggleFollowBox(HWND window, FollowBoxUse *use)
{
    use->on = !use->on;
    SaveFollowBox(use->on);
    ShowFollowCheck(window, use->on);
    if (use->on) {
        // Turned on again: the next key that fails may look, in the burst under way too.
        use->searched_in_burst = false;
        use->finding[0] = '\0';
        return;
    }
    StopBoxSearch(use->search);  // off means no search, the one under way too
    use->search = NULL;
}

void NoteBoxAnswered(HWND window, FollowBoxUse *use)
{
    use->searched_in_burst = false;
    use->finding[0] = '\0';
    StopBoxSearch(use->search);  // it answers where it was
    use->search = NULL;
    // The field's text is the box's now: typing in it again starts an edit.
    SendDlgItemMessageA(window, IDC_ADDRESS, EM_SETMODIFY, FALSE, 0);
    if (RemoteWindowState *state = WindowStateOf(window)) state->find_box.mark = false;  // found
}

void LookForMovedBox(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam)
{
    FollowBoxUse *use = &state->follow;
    if (!NoConnectionMade(UndeliveredError(wParam))) return;
    Ipv4Value address = Ipv4Value::FromNotice((uintptr_t)lParam);
    bool same_box = memcmp(use->old_address, address.bytes, 4) == 0;
    if (!same_box) {
        // Another box in the field: a burst of its own.
        StopBoxSearch(use->search);
        use->search = NULL;
        use->searched_in_burst = false;
        use->finding[0] = '\0';
    }
    DWORD now = GetTickCount();
    if (!use->search && now - use->last_failure > FOLLOW_BURST_GAP_MS) {
        use->searched_in_burst = false;
        use->finding[0] = '\0';
    }
    use->last_failure = now;
    if (use->finding[0]) {
        AddToSignExplanation(window, &state->sign, use->finding);
        return;
    }
    if (!use->on || use->search || use->searched_in_burst || address.IsUnset()) return;
    // Only a box that a key has reached is followed: a pair that Wake box kept for an address
    // typed and never reached may name another device, or the wrong address for this one.
    unsigned char hardware[6];
    if (!IsRecentBox(&state->find_box, address.bytes) || !FindWakeAddress(state->wake_box.known, address.bytes, hardware) ||
        AddressBeingEdited(window))
        return;
    address.CopyTo(use->old_address);
    use->searched_in_burst = true;
    use->failed_tag = UndeliveredTag(wParam);
    use->search = StartMovedBoxSearch(window, address.bytes, hardware, UndeliveredError(wParam) == WSAECONNREFUSED,
                                      ++use->tag);
}

void OnMovedBoxFound(HWND window, RemoteWindowState *state, WPARAM wParam, LPARAM lParam)
{
    MovedBoxFinding *finding = (MovedBoxFinding *)lParam;
    FollowBoxUse *use = &state->follow;
    bool latest = use->search && (unsigned short)wParam == use->tag;
    if (latest) {
        StopBoxSearch(use->search);  // it has ended; the window lets go of it
        use->search = NULL;
    }
    // The field still holds the box searched for, and the user is not typing another.
    unsigned char in_use[4];
    bool wanted = latest && finding->searched && ReadBoxInUse(window, in_use) &&
                  memcmp(in_use, finding->old_address, 4) == 0 && !AddressBeingEdited(window);
    if (wanted && finding->choice == MOVED_BOX_ONE && memcmp(finding->found, finding->old_address, 4) != 0)
        Follow(window, state, *finding, use->failed_tag);
    else if (wanted && finding->choice != MOVED_BOX_ONE)
        DescribeFinding(window, state, *finding);
    delete finding;
}

void EndFollowBox(HWND window, FollowBoxUse *use)
{
    StopBoxSearch(use->search);
    use->search = NULL;
    // A finding posted before the stop would be lost with the queue: freed here.
    MSG msg;
    while (PeekMessageA(&msg, window, WM_MOVED_BOX_FOUND, WM_MOVED_BOX_FOUND, PM_REMOVE))
        delete (MovedBoxFinding *)msg.lParam;
}
