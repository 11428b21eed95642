// Edit favourites: the list of favourites by name, a Name and a Keys field, and the buttons that
// add, change, delete and move them. The keys are read as they are typed, and a line under the
// fields says which word is not a key. Every change is saved at once and the menu follows it.
#include "app/favourites.h"

#include "app/layout.h"
#include "app/settings.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "resources/resource_ids.h"

extern HINSTANCE g_Instance;  // the program's module, set by WinMain

namespace {

const DWORD TAB_STOP = WS_TABSTOP;
const DWORD LIST_STYLE = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
const DWORD FIELD_STYLE = TAB_STOP | WS_BORDER | ES_AUTOHSCROLL;

const DialogControl FAVOURITES_CONTROLS[] = {
    {"ListBox", IDC_FAV_LIST, "", {10, 10, 200, 232}, WS_GROUP | LIST_STYLE},
    {"Static", IDC_FAV_NAME_LABEL, "Name:", {220, 13, 44, 18}, 0},
    {"Edit", IDC_FAV_NAME, "", {266, 10, 204, 22}, FIELD_STYLE},
    {"Static", IDC_FAV_KEYS_LABEL, "Keys:", {220, 43, 44, 18}, 0},
    {"Edit", IDC_FAV_KEYS, "", {266, 40, 204, 22}, FIELD_STYLE},
    {"Static", IDC_FAV_CHECK, "", {220, 68, 250, 50}, 0},
    {"Button", IDC_FAV_ADD, "Add", {220, 124, 78, 24}, TAB_STOP | BS_DEFPUSHBUTTON},
    {"Button", IDC_FAV_CHANGE, "Change", {306, 124, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_DELETE, "Delete", {392, 124, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_UP, "Up", {220, 156, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDC_FAV_DOWN, "Down", {306, 156, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
    {"Button", IDCANCEL, "Close", {392, 218, 78, 24}, TAB_STOP | BS_PUSHBUTTON},
};
// A client area of 480 x 252 and a font of 14 pixels, at 96 dpi.
const DialogLayout FAVOURITES_LAYOUT = {FAVOURITES_CONTROLS, sizeof(FAVOURITES_CONTROLS) / sizeof(FAVOURITES_CONTROLS[0]),
                                        480, 252, {14, FW_NORMAL}};
// The fields take what a stored line may hold.
const int FIELD_TEXT_MAX = (int)FAVOURITE_LINE_MAX;

// The dialog's state; lives on the stack of OpenFavouritesDialog while the dialog runs.
struct FavouritesDialog {
    HWND main_window;
    FavouritesUse *use;  // the main window's: the list edited in place
    HFONT font;          // the dialog's; deleted when it closes or is replaced
};

FavouritesDialog *StateOf(HWND dialog) { return (FavouritesDialog *)GetWindowLongPtrA(dialog, DWLP_USER); }

std::string FieldText(HWND dialog, int id)
{
    std::string text(FIELD_TEXT_MAX + 1, '\0');
    text.resize((size_t)GetDlgItemTextA(dialog, id, &text[0], FIELD_TEXT_MAX + 1));
    return text;
}

int Selected(HWND dialog) { return (int)SendDlgItemMessageA(dialog, IDC_FAV_LIST, LB_GETCURSEL, 0, 0); }

// The list as the dialog shows it: a usable favourite by its name, any other line whole, marked.
void ShowList(HWND dialog, const FavouritesUse &use, int select)
{
    HWND list = GetDlgItem(dialog, IDC_FAV_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const Favourite &favourite : use.list) {
        std::string text = favourite.Usable() ? favourite.name : "(not usable) " + favourite.line;
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)text.c_str());
    }
    SendMessageA(list, LB_SETCURSEL, (WPARAM)select, 0);
}

// The line the fields make, and whether it may be stored; the check line says why not.
bool CheckFields(HWND dialog, const FavouritesUse &use, std::string *line)
{
    std::string name = FieldText(dialog, IDC_FAV_NAME), keys = FieldText(dialog, IDC_FAV_KEYS);
    *line = name + "=" + keys;
    Favourite read = ReadFavourite(*line);
    std::string said = read.problem;
    if (name.find('=') != std::string::npos) said = "a name has no '='";
    if (said.empty()) {
        int keys_read = 0;
        for (const KeyStep &step : read.steps) keys_read += step.kind == STEP_KEY;
        said = std::to_string(keys_read) + (keys_read == 1 ? " key" : " keys");
    }
    SetDlgItemTextA(dialog, IDC_FAV_CHECK, said.c_str());
    int selected = Selected(dialog);
    bool usable = read.Usable() && name.find('=') == std::string::npos;
    EnableWindow(GetDlgItem(dialog, IDC_FAV_ADD), usable && use.list.size() < (size_t)FAVOURITES_MAX);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_CHANGE), usable && selected >= 0);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_DELETE), selected >= 0);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_UP), selected > 0);
    EnableWindow(GetDlgItem(dialog, IDC_FAV_DOWN), selected >= 0 && selected + 1 < (int)use.list.size());
    return usable;
}

// The selected line into the fields: the name and the keys, or a line without '=' as keys.
void ShowSelected(HWND dialog, const FavouritesUse &use)
{
    int selected = Selected(dialog);
    if (selected < 0 || selected >= (int)use.list.size()) return;
    const std::string &line = use.list[(size_t)selected].line;
    size_t equals = line.find('=');
    SetDlgItemTextA(dialog, IDC_FAV_NAME, equals == std::string::npos ? "" : line.substr(0, equals).c_str());
    SetDlgItemTextA(dialog, IDC_FAV_KEYS, equals == std::string::npos ? line.c_str() : line.substr(equals + 1).c_str());
}

// Saves the list and fills the menu again, then shows the list with `select` chosen.
void Changed(HWND dialog, FavouritesUse *use, int select)
{
    SaveFavourites(use->list);
    FillFavouritesMenu(use);
    ShowList(dialog, *use, select);
    std::string line;
    CheckFields(dialog, *use, &line);
}

void Edit(HWND dialog, FavouritesUse *use, int id)
{
    std::vector<Favourite> &list = use->list;
    int selected = Selected(dialog);
    bool chosen = selected >= 0 && selected < (int)list.size();
    std::string line;
    bool usable = CheckFields(dialog, *use, &line);
    switch (id) {
    case IDC_FAV_ADD:
        if (!usable || list.size() >= (size_t)FAVOURITES_MAX) return;
        list.push_back(ReadFavourite(line));
        list.back().serial = ++use->next_serial;
        Changed(dialog, use, (int)list.size() - 1);
        return;
    case IDC_FAV_CHANGE:
        if (!usable || !chosen) return;
    {
        // The same entry, changed: a run of it under way or waiting is still known as it.
        unsigned serial = list[(size_t)selected].serial;
        list[(size_t)selected] = ReadFavourite(line);
        list[(size_t)selected].serial = serial;
    }
        Changed(dialog, use, selected);
        return;
    case IDC_FAV_DELETE:
        if (!chosen) return;
        list.erase(list.begin() + selected);
        Changed(dialog, use, selected < (int)list.size() ? selected : selected - 1);
        return;
    case IDC_FAV_UP:
    case IDC_FAV_DOWN: {
        int other = id == IDC_FAV_UP ? selected - 1 : selected + 1;
        if (!chosen || other < 0 || other >= (int)list.size()) return;
        std::swap(list[(size_t)selected], list[(size_t)other]);
        Changed(dialog, use, other);
        return;
    }
    }
}

BOOL OnInitDialog(HWND dialog, FavouritesDialog *box)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)box);
    BuildDialog(dialog, box->main_window, FAVOURITES_LAYOUT, &box->font);
    SendDlgItemMessageA(dialog, IDC_FAV_NAME, EM_LIMITTEXT, FAVOURITE_NAME_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_FAV_KEYS, EM_LIMITTEXT, FIELD_TEXT_MAX, 0);
    ShowList(dialog, *box->use, box->use->list.empty() ? -1 : 0);
    ShowSelected(dialog, *box->use);
    std::string line;
    CheckFields(dialog, *box->use, &line);
    SetFocus(GetDlgItem(dialog, box->use->list.empty() ? IDC_FAV_NAME : IDC_FAV_LIST));
    return FALSE;  // the focus is set
}

BOOL RouteCommand(HWND dialog, FavouritesDialog *box, WPARAM wParam)
{
    int id = LOWORD(wParam), code = HIWORD(wParam);
    std::string line;
    switch (id) {
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case IDOK:  // Enter: the default button, Add
        Edit(dialog, box->use, IDC_FAV_ADD);
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
        CheckFields(dialog, *box->use, &line);
        return TRUE;
    case IDC_FAV_NAME:
    case IDC_FAV_KEYS:
        if (code != EN_CHANGE) return FALSE;
        CheckFields(dialog, *box->use, &line);
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
