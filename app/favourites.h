// Favourites in the window: the submenu of the system menu that lists them, Ctrl+1 to Ctrl+9 for
// the first nine, and the run that sends a favourite's keys one after another to the box in use
// when it was chosen, pausing where it says /wait and sending the wake packet where it says
// /wake. One favourite runs at a time; those chosen meanwhile wait their turn. A run stops at its
// first key not sent, and those waiting for the same box are dropped with it.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "keys/favourites.h"

// A favourite's keys carry this mark in their tags, with the run's number in the rest of the
// high byte, so that the window knows its notices; a key's own tag is the low byte.
const unsigned short FAVOURITE_TAG_MARK = 0x8000;
const unsigned short FAVOURITE_RUN_MASK = 0xFF00;
const unsigned short FAVOURITE_KEY_TAG_MASK = 0x00FF;

// A favourite chosen to run: which entry it was, and its steps and box as they were when chosen.
struct ChosenFavourite {
    unsigned serial;             // the entry's own mark, kept as the list moves under it
    std::string name;
    std::vector<KeyStep> steps;
    unsigned char box[4];        // the box in use when it was chosen: all its keys go there
};

// What a run waits for before its next step.
enum FavouritePhase {
    FAV_NEXT_STEP,    // nothing: the next step may start
    FAV_KEYS_ENDING,  // the keys started so far to end (polled)
    FAV_PAUSING,      // a pause
    FAV_WAKING,       // the worker that sends the wake packet (WM_WAKE_SENT)
};

// The last run that stopped, for the sign's words about it.
struct StoppedFavourite {
    unsigned short mark;  // its tags' high byte, or 0
    std::string name;
    int keys_sent;
    int keys_total;
};

struct FavouritesUse {
    std::vector<Favourite> list;  // every stored line, in order, usable or not
    std::string keep_stored;      // why the stored value is not written over, or empty
    unsigned next_serial;         // the mark the next entry gets
    HMENU menu;                   // the submenu, the system menu's
    bool dialog_open;             // one editing dialog at a time
    bool menu_closed;             // a menu of the window closed, and no command came since
    bool running;                 // a favourite's keys are under way
    ChosenFavourite run;          // the one under way
    size_t next;                  // its next step
    FavouritePhase phase;
    unsigned short mark;          // the high byte of its keys' tags
    unsigned run_count;           // runs begun: the next mark
    int keys_started;             // its keys the transport took
    int keys_sent;                // of them, those wholly sent
    DWORD keys_deadline;          // the wait for its keys to end gives up at this tick
    unsigned pause_ms;            // the pause after the keys end
    StoppedFavourite stopped;
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
// IDT_FAVOURITE: the keys before a step have ended, a pause has, or a wake took too long.
void OnFavouriteTimer(HWND window);
// WM_TXN_SENT: counts the run's keys that reached the box.
void NoteFavouriteKeySent(HWND window, WPARAM wParam);
// WM_TXN_UNDELIVERED: a run's key not sent stops the run, and those waiting for its box.
// FAVOURITE_NOTICE_STOPPED: the notice's key was the run's, which has stopped, and the sign
// shows it; FAVOURITE_NOTICE_LATE: a key of a run already stopped, nothing more to show;
// FAVOURITE_NOTICE_OTHER: no favourite's key, for the window's own handling.
enum FavouriteNotice { FAVOURITE_NOTICE_OTHER, FAVOURITE_NOTICE_STOPPED, FAVOURITE_NOTICE_LATE };
FavouriteNotice StopFavouriteAtNotice(HWND window, WPARAM wParam, LPARAM lParam);
// WM_WAKE_SENT to the main window: a wake step has ended; always frees the outcome.
void OnFavouriteWakeSent(HWND window, LPARAM lParam);
// For the sign: "Favourite "NAME" stopped after N of its M keys: " when the tag is a key of the
// run under way or of the one that stopped last. False, with `lead` empty, otherwise.
bool FavouriteSignLead(HWND window, unsigned short tag, char *lead, int size);
// The message loop's step for Ctrl+1 to Ctrl+9 in the main window; true when it took the key.
bool TranslateFavouriteKey(HWND window, const MSG *msg);
// "Edit favourites...": the dialog, owned by the main window (favourites_dialog.cpp).
void OpenFavouritesDialog(HWND window);
