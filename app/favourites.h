// Favourites in the window: the submenu of the system menu that lists them, Ctrl+1 to Ctrl+9 for
// the first nine, and the run that sends a favourite's keys one after another, pausing where it
// says /wait. One favourite runs at a time; those chosen meanwhile wait their turn.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <deque>
#include <vector>

#include "keys/favourites.h"

// A favourite chosen to run: its place in the list, and its steps as they were when chosen.
struct ChosenFavourite {
    int index;
    std::vector<KeyStep> steps;
};

struct FavouritesUse {
    std::vector<Favourite> list;  // every stored line, in order, usable or not
    HMENU menu;                   // the submenu, the system menu's
    bool dialog_open;             // one editing dialog at a time
    bool menu_closed;             // a menu of the window closed, and no command came since
    bool running;                 // a favourite's keys are under way
    ChosenFavourite run;          // the one under way
    size_t next;                  // its next step
    bool sending;                 // waiting for the keys before a pause to end
    unsigned pause_ms;            // that pause
    std::deque<ChosenFavourite> waiting;  // chosen while one ran, in the order chosen
};

// While the main window is created: the stored favourites and the submenu.
void PrepareFavourites(HWND window, FavouritesUse *use);
// The submenu again, after the list changed.
void FillFavouritesMenu(FavouritesUse *use);
// WM_SYSCOMMAND: true when the command is a favourite or "Edit favourites...".
bool OnFavouritesCommand(HWND window, UINT command, bool from_menu);
// Runs the favourite at that place, or queues it behind the one under way.
void ChooseFavourite(HWND window, int index);
// IDT_FAVOURITE: the keys before a pause have ended, or the pause has.
void OnFavouriteTimer(HWND window);
// The message loop's step for Ctrl+1 to Ctrl+9 in the main window; true when it took the key.
bool TranslateFavouriteKey(HWND window, const MSG *msg);
// "Edit favourites...": the dialog, owned by the main window (favourites_dialog.cpp).
void OpenFavouritesDialog(HWND window);
