// Edit favourites: the list of favourites by name, a Name and a Keys field, and the buttons that
// add, change, delete and move them. The keys are read as they are typed, and a line under the
// fields says which word is not a key, or that the name is taken. Every change is saved at once
// and the menu follows it; a stored value that could not be read whole is never saved over.
#include "app/favourites.h"

#include "app/accessible_names.h"
#include "app/layout.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "resources/resource_ids.h"
#include "settings/registry.h"

extern HINSTANCE g_Instance;  // the program's module, set by WinMain

namespace {

const DWORD TAB_STOP = WS_TABSTOP;
const DWORD LIST_STYLE = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
const DWORD FIELD_STYLE = TAB_STOP | WS_BORDER | ES_AUTOHSCROLL;

const DialogControl FAVOURITES_CONTROLS[] = {
    {"Static", IDC_FAV_LIST_LABEL, "&Favourites:", {10, 8, 200, 18}, 0},
    {"ListBox", IDC_FAV_LIST, "", {10, 28, 200, 214}, WS_GROUP | LIST_STYLE},
    {"Static", IDC_FAV_NAME_LABEL, "&Name:", {220, 13, 44, 18}, 0},
    {"Edit", IDC_FAV_NAME, "", {266, 10, 204, 22}, FIELD_STYLE},
    {"Static", IDC_FAV_KEYS_LABEL, "&Keys:", {220, 43, 44, 18}, 0},
    {"Edit", IDC_FAV_KEYS, "", {266, 40, 204, 22}, FIELD_STYLE},
    {"Static", IDC_FAV_CHECK, "", {220, 68, 250, 50}, SS_NOPREFIX},  // a typed '&' shows as typed
    // No default button: Enter in a field comes as IDOK, which changes the selected entry or adds.
    {"Button", IDC_FAV_ADD, "&Add", {220, 124, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_CHANGE, "C&hange", {306, 124, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_DELETE, "&Delete", {392, 124, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_UP, "&Up", {220, 156, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_DOWN, "Do&wn", {306, 156, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDCANCEL, "&Close", {392, 218, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
};
// A client area of 480 x 252 and a font of 14 pixels, at 96 dpi.
const DialogLayout FAVOURITES_LAYOUT = {FAVOURITES_CONTROLS, sizeof(FAVOURITES_CONTROLS) / sizeof(FAVOURITES_CONTROLS[0]),
                                        480, 252, {14, FW_NORMAL}};
// The fields take what a stored line may hold.
const int FIELD_TEXT_MAX = (int)FAVOURITE_LINE_MAX;
// The controls that show names and keys as typed, made again with the wide functions.
const int WIDE_CONTROLS[] = {IDC_FAV_LIST, IDC_FAV_NAME, IDC_FAV_KEYS, IDC_FAV_CHECK};
const int CLASS_NAME_MAX = 32;  // "ListBox", "Edit", "Static"

// The dialog's state; lives on the stack of OpenFavouritesDialog while the dialog runs.
struct FavouritesDialog {
    HWND main_window;
    FavouritesUse *use;  // the main window's: the list edited in place
    HFONT font;          // the dialog's; deleted when it closes or is replaced
};

FavouritesDialog *StateOf(HWND dialog) { return (FavouritesDialog *)DialogState(dialog); }

// The table's control made again as a wide window in its place in the Tab order, so that it
// holds names in any script; where that fails the first one stays.
void MakeWide(HWND dialog, int id)
{
    HWND narrow = GetDlgItem(dialog, id);
    wchar_t window_class[CLASS_NAME_MAX];
    if (!narrow || !GetClassNameW(narrow, window_class, CLASS_NAME_MAX)) return;
    RECT rect;
    GetWindowRect(narrow, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, (POINT *)&rect, 2);
    HWND wide = CreateWindowExW((DWORD)GetWindowLongW(narrow, GWL_EXSTYLE), window_class, L"",
                                (DWORD)GetWindowLongW(narrow, GWL_STYLE), rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, dialog, (HMENU)(INT_PTR)id, g_Instance, NULL);
    if (!wide) return;
    SetWindowPos(wide, narrow, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(wide, WM_SETFONT, SendMessageW(narrow, WM_GETFONT, 0, 0), FALSE);
    DestroyWindow(narrow);
}

std::string FieldText(HWND dialog, int id)
{
    std::wstring text(FIELD_TEXT_MAX + 1, L'\0');
    text.resize((size_t)GetDlgItemTextW(dialog, id, &text[0], FIELD_TEXT_MAX + 1));
    return Utf8OfWide(text.data(), text.size());
}

void SetFieldText(HWND dialog, int id, const std::string &text)
{
    SetDlgItemTextW(dialog, id, WideOfUtf8(text).c_str());
}

int Selected(HWND dialog) { return (int)SendDlgItemMessageW(dialog, IDC_FAV_LIST, LB_GETCURSEL, 0, 0); }

// The list as the dialog shows it: a usable favourite by its name, any other line whole, marked.
void ShowList(HWND dialog, const FavouritesUse &use, int select)
{
    HWND list = GetDlgItem(dialog, IDC_FAV_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const Favourite &favourite : use.list) {
        std::string text = favourite.Usable() ? favourite.name : "(not usable) " + favourite.line;
        SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)WideOfUtf8(text).c_str());
    }
    SendMessageW(list, LB_SETCURSEL, (WPARAM)select, 0);
}

// The entry other than `except` whose name is `name` in any case, or -1.
int SameName(const FavouritesUse &use, const std::string &name, int except)
{
    std::wstring wide = WideOfUtf8(name);
    for (size_t i = 0; i < use.list.size(); ++i)
        if ((int)i != except && !use.list[i].name.empty() && lstrcmpiW(WideOfUtf8(use.list[i].name).c_str(), wide.c_str()) == 0)
            return (int)i;
    return -1;
}

// The check line's words, announced to a screen reader when they change.
void SetCheckLine(HWND dialog, const std::string &said)
{
    if (FieldText(dialog, IDC_FAV_CHECK) == said) return;
    SetFieldText(dialog, IDC_FAV_CHECK, said);
    AnnounceNameChange(GetDlgItem(dialog, IDC_FAV_CHECK));
}

// A control just disabled gives the focus on to the next one that takes it.
void KeepFocusUsable(HWND dialog)
{
    HWND focus = GetFocus();
    if (!focus || IsWindowEnabled(focus) || GetParent(focus) != dialog) return;
    HWND next = GetNextDlgTabItem(dialog, focus, FALSE);
    SendMessageW(dialog, WM_NEXTDLGCTL, (WPARAM)(next ? next : GetDlgItem(dialog, IDC_FAV_NAME)), TRUE);
}

// What the fields may do to the list: the line they make, and whether it may be added as a new
// entry and whether it may replace the selected one; the check line says why not.
struct FieldsCheck {
    std::string line;
    bool may_add;
    bool may_change;
};

FieldsCheck CheckFields(HWND dialog, const FavouritesUse &use)
{
    std::string name = FieldText(dialog, IDC_FAV_NAME), keys = FieldText(dialog, IDC_FAV_KEYS);
    FieldsCheck check = {name + "=" + keys, false, false};
    Favourite read = ReadFavourite(check.line);
    std::string said = read.problem;
    if (name.find('=') != std::string::npos) said = "a name has no '='";
    int selected = Selected(dialog);
    bool chosen = selected >= 0 && selected < (int)use.list.size();
    bool usable = said.empty();
    int same = usable ? SameName(use, read.name, -1) : -1;
    if (usable) {
        int keys_read = 0;
        for (const KeyStep &step : read.steps) keys_read += step.kind == STEP_KEY;
        said = std::to_string(keys_read) + (keys_read == 1 ? " key" : " keys");
        if (same >= 0 && !(chosen && same == selected))
            said = "a favourite named \"" + use.list[(size_t)same].name + "\" exists: Change it, or give another name";
    }
    // A stored value that could not be read whole is shown but never written over.
    bool may_save = use.keep_stored.empty();
    if (!may_save) said = "Not saved: " + use.keep_stored + ".";
    check.may_add = may_save && usable && same < 0 && use.list.size() < (size_t)FAVOURITES_MAX;
    check.may_change = may_save && usable && chosen && SameName(use, read.name, selected) < 0;
    SetCheckLine(dialog, said);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_ADD), check.may_add);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_CHANGE), check.may_change);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_DELETE), may_save && chosen);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_UP), may_save && selected > 0);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_DOWN), may_save && chosen && selected + 1 < (int)use.list.size());
    KeepFocusUsable(dialog);
    return check;
}

// The selected line into the fields: the name and the keys, or a line without '=' as keys.
void ShowSelected(HWND dialog, const FavouritesUse &use)
{
    int selected = Selected(dialog);
    if (selected < 0 || selected >= (int)use.list.size()) return;
    const std::string &line = use.list[(size_t)selected].line;
    size_t equals = line.find('=');
    SetFieldText(dialog, IDC_FAV_NAME, equals == std::string::npos ? "" : line.substr(0, equals));
    SetFieldText(dialog, IDC_FAV_KEYS, equals == std::string::npos ? line : line.substr(equals + 1));
}

// Saves the list and fills the menu again, then shows the list with `select` chosen. A list
// that would not fit the value is not kept: the list goes back to `before`.
void Changed(HWND dialog, FavouritesUse *use, int select, const std::vector<Favourite> &before)
{
    bool fits = FavouritesValueBytes(use->list) <= FAVOURITES_VALUE_MAX;
    if (!fits) use->list = before;
    MarkFavouritesBeyondMenu(&use->list);  // a line that came within the menu's 20 is usable
    if (fits) SaveFavourites(use->list);
    FillFavouritesMenu(use);
    ShowList(dialog, *use, fits ? select : Selected(dialog));
    CheckFields(dialog, *use);
    if (!fits) SetCheckLine(dialog, "Not saved: the favourites would be larger than the 64 KiB stored.");
}

void Edit(HWND dialog, FavouritesUse *use, int id)
{
    std::vector<Favourite> &list = use->list;
    std::vector<Favourite> before = list;
    int selected = Selected(dialog);
    bool chosen = selected >= 0 && selected < (int)list.size();
    FieldsCheck check = CheckFields(dialog, *use);
    if (!use->keep_stored.empty()) return;
    switch (id) {
    case IDC_FAV_ADD:
        if (!check.may_add) return;
        list.push_back(ReadFavourite(check.line));
        list.back().serial = ++use->next_serial;
        Changed(dialog, use, (int)list.size() - 1, before);
        return;
    case IDC_FAV_CHANGE: {
        if (!check.may_change) return;
        // The same entry, changed: a run of it under way or waiting is still known as it.
        unsigned serial = list[(size_t)selected].serial;
        list[(size_t)selected] = ReadFavourite(check.line);
        list[(size_t)selected].serial = serial;
        Changed(dialog, use, selected, before);
        return;
    }
    case IDC_FAV_DELETE:
        if (!chosen) return;
        list.erase(list.begin() + selected);
        Changed(dialog, use, selected < (int)list.size() ? selected : selected - 1, before);
        // The fields show the entry selected in its place, never the deleted one's text over it;
        // with none left they keep that text, which Add puts back.
        ShowSelected(dialog, *use);
        CheckFields(dialog, *use);
        return;
    case IDC_FAV_UP:
    case IDC_FAV_DOWN: {
        int other = id == IDC_FAV_UP ? selected - 1 : selected + 1;
        if (!chosen || other < 0 || other >= (int)list.size()) return;
        std::swap(list[(size_t)selected], list[(size_t)other]);
        Changed(dialog, use, other, before);
        return;
    }
    }
}

// Enter: the selected entry changes when the fields were edited from it; otherwise the fields
// are added as a new entry.
void OnEnter(HWND dialog, FavouritesUse *use)
{
    int selected = Selected(dialog);
    bool chosen = selected >= 0 && selected < (int)use->list.size();
    std::string line = FieldText(dialog, IDC_FAV_NAME) + "=" + FieldText(dialog, IDC_FAV_KEYS);
    if (chosen && line == use->list[(size_t)selected].line) return;  // nothing edited: no copy of it
    Edit(dialog, use, chosen ? IDC_FAV_CHANGE : IDC_FAV_ADD);
}

BOOL OnInitDialog(HWND dialog, FavouritesDialog *box)
{
    BeginDialog(dialog, box, box->main_window, FAVOURITES_LAYOUT, &box->font);
    for (int id : WIDE_CONTROLS) MakeWide(dialog, id);
    GiveAccessibleName(GetDlgItem(dialog, IDC_FAV_LIST), L"Favourites");
    SendDlgItemMessageW(dialog, IDC_FAV_NAME, EM_LIMITTEXT, FAVOURITE_NAME_MAX, 0);
    SendDlgItemMessageW(dialog, IDC_FAV_KEYS, EM_LIMITTEXT, FIELD_TEXT_MAX, 0);
    ShowList(dialog, *box->use, box->use->list.empty() ? -1 : 0);
    ShowSelected(dialog, *box->use);
    CheckFields(dialog, *box->use);
    SetFocus(GetDlgItem(dialog, box->use->list.empty() ? IDC_FAV_NAME : IDC_FAV_LIST));
    return FALSE;  // the focus is set
}

BOOL RouteCommand(HWND dialog, FavouritesDialog *box, WPARAM wParam)
{
    int id = LOWORD(wParam), code = HIWORD(wParam);
    switch (id) {
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case IDOK:  // Enter
        OnEnter(dialog, box->use);
        return TRUE;
    case IDC_FAV_ADD:
    case IDC_FAV_CHANGE:
    case IDC_FAV_DELETE:
    case IDC_FAV_UP:
    case IDC_FAV_DOWN:
        if (code == BN_CLICKED) Edit(dialog, box->use, id);
        return TRUE;
    case IDC_FAV_LIST:
        if (code != LBN_SELCHANGE) return FALSE;
        ShowSelected(dialog, *box->use);
        CheckFields(dialog, *box->use);
        return TRUE;
    case IDC_FAV_NAME:
    case IDC_FAV_KEYS:
        if (code != EN_CHANGE) return FALSE;
        CheckFields(dialog, *box->use);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK FavouritesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FavouritesDialog *box = StateOf(dialog);
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, (FavouritesDialog *)lParam);
    if (!box) return FALSE;
    if (message == WM_COMMAND) return RouteCommand(dialog, box, wParam);
    return AnswerLayoutMessage(dialog, FAVOURITES_LAYOUT, &box->font, message, wParam, lParam);
}

}  // namespace

void OpenFavouritesDialog(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (!state || state->favourites.dialog_open) return;
    state->favourites.dialog_open = true;
    FavouritesDialog box = {window, &state->favourites, NULL};
    DialogBoxParamA(g_Instance, MAKEINTRESOURCEA(IDD_FAVOURITES), window, FavouritesDialogProc, (LPARAM)&box);
    state = WindowStateOf(window);  // the main window may have gone while the dialog ran
    if (state) state->favourites.dialog_open = false;
}
