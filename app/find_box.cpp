#include "app/find_box.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "address/ipv4_value.h"
#include "app/window_ids.h"
#include "app/accessible_names.h"
#include "address/address.h"
#include "app/keypad.h"
#include "app/keyboard_keys.h"
#include "app/layout.h"
#include "app/main_window.h"
#include "app/recent_boxes.h"
#include "app/settings.h"
#include "app/window_state.h"
#include "resources/resource_ids.h"
#include "transport/box_search.h"
#include "transport/command_transaction.h"
#include "transport/wake.h"

namespace {

const DWORD TAB_STOP = WS_TABSTOP;
const DWORD LIST_STYLE = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;

// Each label comes just before its control, which a screen reader names after it and its
// mnemonic moves to.
const DialogControl FIND_BOX_CONTROLS[] = {
    {"Static", IDC_FIND_RANGE_LABEL, "&Range:", {10, 13, 46, 18}, 0},
    {"Edit", IDC_FIND_RANGE, "", {58, 10, 146, 22}, WS_GROUP | TAB_STOP | WS_BORDER | ES_AUTOHSCROLL},
    {"Button", IDC_FIND_SEARCH, "&Search", {212, 9, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Static", IDC_FIND_LIST_LABEL, "&Boxes found:", {10, 40, 280, 16}, 0},
    {"ListBox", IDC_FIND_LIST, "", {10, 58, 280, 134}, LIST_STYLE},
    {"Static", IDC_FIND_STATUS, "", {10, 198, 280, 50}, SS_NOPREFIX},  // three lines: the longest message
    {"Button", IDOK, "&Use", {130, 254, 78, 24}, TAB_STOP | BS_DEFPUSHBUTTON},
    {"Button", IDCANCEL, "&Close", {212, 254, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
};
// A client area of 300 x 288 and a font of 14 pixels, at 96 dpi.
const DialogLayout FIND_BOX_LAYOUT = {FIND_BOX_CONTROLS, sizeof(FIND_BOX_CONTROLS) / sizeof(FIND_BOX_CONTROLS[0]), 300, 288,
                                      {14, FW_NORMAL}};
const int STATUS_TEXT_MAX = 160;
const char RECENT_MARK[] = "   (used before)";
const char HARDWARE_MARK[] = "(the box's hardware address)";

// The dialog's state; lives on the stack of OpenFindBox while the dialog runs.
struct FindBox {
    HWND main_window;
    const RecentBoxes *recent;  // the boxes used before, the main window's
    const FindBoxUse *use;      // the main window's, for the box to mark
    HFONT font;             // the dialog's; deleted when it closes or is replaced
    BoxSearch *search;      // the latest search, until the next one or the close; may be null
    unsigned short tag;     // the latest search's, carried by its notices
    bool searching;         // its scan has not ended
    unsigned total, tried, found;
};

FindBox *StateOf(HWND dialog) { return (FindBox *)DialogState(dialog); }

// A screen reader hears each new status, wherever the focus is.
void ShowStatus(HWND dialog, const char *text)
{
    SetDlgItemTextA(dialog, IDC_FIND_STATUS, text);
    AnnounceNameChange(GetDlgItem(dialog, IDC_FIND_STATUS));
}

void ShowCount(HWND dialog, const FindBox *box, const char *stage)
{
    char text[STATUS_TEXT_MAX];
    snprintf(text, sizeof(text), "%s%u of %u tried, %u found", stage, box->tried, box->total, box->found);
    ShowStatus(dialog, text);
}

// The close button stops a search under way, and otherwise closes.
void SetSearching(HWND dialog, FindBox *box, bool searching)
{
    box->searching = searching;
    SetDlgItemTextA(dialog, IDCANCEL, searching ? "&Cancel" : "&Close");
}

// An entry's address with its note, at its place in address order; returns its index. The
// list's item data is the address's number, which sorts.
int InsertEntry(HWND list, unsigned long address, const char *note)
{
    char text[IPV4_TEXT_SIZE + BOX_NAME_MAX + 8];
    Ipv4Value::FromNumber(address).Format(text);
    if (note && *note) {
        strcat(text, "   ");
        strncat(text, note, BOX_NAME_MAX - 1);
    }
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    int at = 0;
    while (at < count && (unsigned long)SendMessageA(list, LB_GETITEMDATA, at, 0) < address) ++at;
    at = (int)SendMessageA(list, LB_INSERTSTRING, at, (LPARAM)text);
    if (at >= 0) SendMessageA(list, LB_SETITEMDATA, at, (LPARAM)address);
    return at;
}

// Ends the latest search: nothing more of it is posted, and its worker ends by itself.
void StopSearch(FindBox *box)
{
    StopBoxSearch(box->search);
    box->search = NULL;
}

void StartSearch(HWND dialog, FindBox *box)
{
    char text[SEARCH_RANGE_TEXT_MAX + 2] = {0};
    GetDlgItemTextA(dialog, IDC_FIND_RANGE, text, sizeof(text));
    SearchRange range;
    int check = ParseSearchRange(text, &range);
    if (check != RANGE_OK) {
        ShowStatus(dialog, SearchRangeRule(check));  // nothing is asked
        return;
    }
    StopSearch(box);
    SendDlgItemMessageA(dialog, IDC_FIND_LIST, LB_RESETCONTENT, 0, 0);
    box->tag++;
    box->total = range.count;
    box->tried = box->found = 0;
    box->search = StartBoxSearch(dialog, range, box->tag);
    if (!box->search) {
        SetSearching(dialog, box, false);
        ShowStatus(dialog, "The search could not be started.");
        return;
    }
    SetSearching(dialog, box, true);
    ShowCount(dialog, box, "Searching: ");
}

// The chosen address goes into the main window's address field; the next key checks and keeps
// it as it does a typed one. Nothing is sent.
void UseSelection(HWND dialog, FindBox *box)
{
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    int selected = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected < 0) {
        ShowStatus(dialog, "Choose a box in the list first.");
        return;
    }
    Ipv4Value address = Ipv4Value::FromNumber((unsigned long)SendMessageA(list, LB_GETITEMDATA, selected, 0));
    WriteAddressField(box->main_window, address.bytes, IDC_ADDRESS);
    EndDialog(dialog, IDOK);
}

void ListRecentBoxes(HWND dialog, const RecentBoxes &recent)
{
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    // Most recent first: each goes below the ones before it, whatever its address.
    for (int i = 0; i < recent.count; ++i) {
        Ipv4Value address = Ipv4Value::Of(recent.addresses[i]);
        char text[IPV4_TEXT_SIZE + sizeof(RECENT_MARK)];
        address.Format(text);
        strcat(text, RECENT_MARK);
        int at = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)text);
        if (at >= 0) SendMessageA(list, LB_SETITEMDATA, at, (LPARAM)address.Number());
    }
    if (recent.count) SendMessageA(list, LB_SETCURSEL, 0, 0);
}

BOOL OnInitDialog(HWND dialog, FindBox *box)
{
    BeginDialog(dialog, box, box->main_window, FIND_BOX_LAYOUT, &box->font);
    GiveAccessibleName(GetDlgItem(dialog, IDC_FIND_RANGE), L"Range");
    GiveAccessibleName(GetDlgItem(dialog, IDC_FIND_LIST), L"Boxes found");
    SendDlgItemMessageA(dialog, IDC_FIND_RANGE, EM_LIMITTEXT, SEARCH_RANGE_TEXT_MAX, 0);
    char range[20] = "";
    bool offered = FindLocalNetwork(range);
    // The network where the box that moved was looked for.
    if (box->use->mark) {
        char network[IPV4_TEXT_SIZE];
        Ipv4Value::FromNumber(Ipv4Value::Of(box->use->mark_address).Number() & 0xFFFFFF00UL).Format(network);
        snprintf(range, sizeof(range), "%s/24", network);
        offered = true;
    }
    SetDlgItemTextA(dialog, IDC_FIND_RANGE, range);
    ListRecentBoxes(dialog, *box->recent);
    ShowStatus(dialog, !offered ? "No local network found: type a range such as 192.168.1.0/24, then Search."
                       : box->recent->count ? "Boxes used before are listed. Search asks every address of the range."
                                             : "Search asks every address of the range.");
    // The choice of a box used before is one Enter away; otherwise the range is.
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, box->recent->count ? IDC_FIND_LIST : IDC_FIND_RANGE),
                 TRUE);
    return FALSE;  // the focus is set
}

void OnDestroy(HWND dialog, FindBox *box)
{
    StopSearch(box);
    // Names posted before the stop would be lost with the window's queue: freed here.
    MSG msg;
    while (PeekMessageA(&msg, dialog, WM_SEARCH_NAME, WM_SEARCH_NAME, PM_REMOVE))
        ReleaseBoxName((BoxName *)msg.lParam);
}

BOOL RouteCommand(HWND dialog, FindBox *box, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_FIND_SEARCH:
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        StartSearch(dialog, box);
        return TRUE;
    case IDOK:
        UseSelection(dialog, box);
        return TRUE;
    case IDCANCEL:
        if (box->searching) {
            StopSearch(box);
            SetSearching(dialog, box, false);
            ShowCount(dialog, box, "Stopped: ");
        } else {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    case IDC_FIND_RANGE:
        // In the range field Enter searches, and Search is drawn as the default button.
        if (HIWORD(wParam) == EN_SETFOCUS) SendMessageA(dialog, DM_SETDEFID, IDC_FIND_SEARCH, 0);
        else if (HIWORD(wParam) == EN_KILLFOCUS) SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
        else return FALSE;
        return TRUE;
    case IDC_FIND_LIST:
        if (HIWORD(wParam) != LBN_DBLCLK) return FALSE;
        UseSelection(dialog, box);
        return TRUE;
    }
    return FALSE;
}

void OnFound(HWND dialog, FindBox *box, unsigned long address)
{
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    int at = InsertEntry(list, address, NULL);
    if (at >= 0 && SendMessageA(list, LB_GETCURSEL, 0, 0) < 0) SendMessageA(list, LB_SETCURSEL, at, 0);
    box->found++;
    ShowCount(dialog, box, box->searching ? "Searching: " : "");
}

// The entries whose address the neighbour table gives the box's hardware address are marked;
// the table is read once, after the search that filled it. The addresses are chosen first: an
// entry made again goes to its place in address order, which may be another index.
void MarkHardwareAddress(HWND dialog, const unsigned char *hardware)
{
    MIB_IPNETTABLE *table = ReadNeighbourTable();
    if (!table) return;
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    std::vector<unsigned long> marked;
    for (int i = 0; i < count; ++i) {
        Ipv4Value address = Ipv4Value::FromNumber((unsigned long)SendMessageA(list, LB_GETITEMDATA, i, 0));
        unsigned char found[6];
        if (PickNeighbourEntry(table, address.bytes, found) && memcmp(found, hardware, 6) == 0)
            marked.push_back(address.Number());
    }
    free(table);
    for (unsigned long address : marked) {
        for (int i = 0; i < count; ++i) {
            if ((unsigned long)SendMessageA(list, LB_GETITEMDATA, i, 0) != address) continue;
            bool selected = SendMessageA(list, LB_GETCURSEL, 0, 0) == i;
            SendMessageA(list, LB_DELETESTRING, i, 0);
            int at = InsertEntry(list, address, HARDWARE_MARK);
            if (selected && at >= 0) SendMessageA(list, LB_SETCURSEL, at, 0);
            break;
        }
    }
}

// A search that found boxes ends in the list, on its first box: one Enter uses it.
void OnTried(HWND dialog, FindBox *box, unsigned tried, bool done)
{
    box->tried = tried;
    if (done) SetSearching(dialog, box, false);
    if (done && box->use->mark) MarkHardwareAddress(dialog, box->use->mark_hardware);
    ShowCount(dialog, box, done ? "" : "Searching: ");
    if (!done || !box->found) return;
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)list, TRUE);
}

// The name goes beside its address: the entry is made again with it, keeping the selection.
void OnName(HWND dialog, BoxName *name)
{
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        if ((unsigned long)SendMessageA(list, LB_GETITEMDATA, i, 0) != name->address) continue;
        bool selected = SendMessageA(list, LB_GETCURSEL, 0, 0) == i;
        SendMessageA(list, LB_DELETESTRING, i, 0);
        int at = InsertEntry(list, name->address, name->name);
        if (selected && at >= 0) SendMessageA(list, LB_SETCURSEL, at, 0);
        break;
    }
    ReleaseBoxName(name);
}

INT_PTR CALLBACK FindBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FindBox *box = StateOf(dialog);
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, (FindBox *)lParam);
    if (!box) return FALSE;
    switch (message) {
    case WM_COMMAND:
        return RouteCommand(dialog, box, wParam);
    case WM_SEARCH_FOUND:
        if (wParam == box->tag && box->search) OnFound(dialog, box, Ipv4Value::FromNotice((uintptr_t)lParam).Number());
        return TRUE;
    case WM_SEARCH_TRIED:
    case WM_SEARCH_DONE:
        if (wParam == box->tag && box->search) OnTried(dialog, box, (unsigned)lParam, message == WM_SEARCH_DONE);
        return TRUE;
    case WM_SEARCH_NAME:
        if (wParam == box->tag && box->search) OnName(dialog, (BoxName *)lParam);
        else ReleaseBoxName((BoxName *)lParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(dialog, box);
        break;  // and the font goes
    }
    // The close box closes, a search under way or not.
    return AnswerLayoutMessage(dialog, FIND_BOX_LAYOUT, &box->font, message, wParam, lParam);
}

// The boxes used before are read the first time they are needed, not while the program starts.
void NeedRecentBoxes(FindBoxUse *use)
{
    if (use->recent_boxes_read) return;
    LoadRecentBoxes(&use->recent_boxes);
    use->recent_boxes_read = true;
}

}  // namespace

void PrepareFindBox(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING, IDM_FIND_BOX, "&Find box...");
}

void OpenFindBox(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state || state->find_box.open) return;
    state->find_box.open = true;
    NeedRecentBoxes(&state->find_box);
    FindBox box = {window, &state->find_box.recent_boxes, &state->find_box, NULL, NULL, 0, false, 0, 0, 0};
    INT_PTR chosen = DialogBoxParamA(g_Instance, MAKEINTRESOURCEA(IDD_FIND_BOX), window, FindBoxProc, (LPARAM)&box);
    state = WindowStateOf(window);  // the main window may have gone while the dialog ran
    if (!state) return;
    state->find_box.open = false;
    // The next key typed goes to the chosen box, not into the address field.
    if (chosen == IDOK) FocusKeypad(window);
}

void NoteSentAddress(FindBoxUse *use, LPARAM lParam)
{
    Ipv4Value address = Ipv4Value::FromNotice((uintptr_t)lParam);
    // 0.0.0.0 names no box (Wine reaches the machine itself there); it is never offered.
    if (address.IsUnset()) return;
    NeedRecentBoxes(use);
    if (AddRecentBox(&use->recent_boxes, address.bytes)) SaveRecentBoxes(use->recent_boxes);
}

void FollowRecentBox(FindBoxUse *use, const unsigned char *from, const unsigned char *to)
{
    NeedRecentBoxes(use);
    if (MoveRecentBox(&use->recent_boxes, from, to)) SaveRecentBoxes(use->recent_boxes);
}

bool IsRecentBox(FindBoxUse *use, const unsigned char *address)
{
    NeedRecentBoxes(use);
    return RecentBoxIndex(use->recent_boxes, address) >= 0;
}

void MarkBoxInFindBox(FindBoxUse *use, const unsigned char *old_address, const unsigned char *hardware)
{
    use->mark = true;
    memcpy(use->mark_address, old_address, 4);
    memcpy(use->mark_hardware, hardware, 6);
}

bool TranslateFindBoxKey(HWND window, const MSG *msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != 'F') return false;
    if (msg->hwnd != window && !IsChild(window, msg->hwnd)) return false;
    // Ctrl+F alone: with Alt too it is AltGr, which types a character.
    if (!CtrlAloneDown()) return false;
    OpenFindBox(window);
    return true;
}
