// What only the transport's own files (and its tests) use: the hidden window's messages, the
// bounds, and how the files hand a transaction to one another.
#pragma once
#include "transport/winsock_session.h"  // start-up and clean-up, one at a time
#include "transport/command_transaction.h"

const UINT WM_TXN_START = 0x8001;      // to the hidden window: lParam is the transaction
const UINT WM_TXN_SOCKET = 0x8002;     // to the hidden window: posted by Winsock
const UINT_PTR IDT_TXN_READ = 0x8008;  // waiting for the box's data

const char SOCKET_WINDOW_CLASS[] = "MyWinSock Window";

const UINT TXN_READ_WAIT_MS = 5000;   // also bounds the wait for a box that never answers
// A connection attempt is given up after this long: a box on the local network takes a
// connection within milliseconds, and 4 s covers a busy wireless link and two lost SYNs, while
// the user learns within seconds that a key did not go.
const DWORD TXN_CONNECT_WAIT_MS = 4000;
// No exchange lasts longer than this from its connection attempt (a deadline in the worker's
// loop, not a timer: the hidden window knows no timer but IDT_TXN_READ).
const DWORD TXN_LIFETIME_MS = 30000;
// Once the key before it for the same box has sent its whole command, a key waits at most this
// long more for that key's exchange to end before it connects: time for the box to act on a
// key before the next one, while a box that never answers costs each key no more than this.
const DWORD TXN_ORDER_HOLD_MS = 500;
// Keys under way for one box (waiting their turn or in their exchange). A burst of a thousand
// keys fits; a sender that posts tens of thousands is refused beyond it, so that a box that
// never answers does not have keys queued for it for hours.
const int TXN_MAX_WAITING_PER_BOX = 1024;
// Boxes with keys under way at once: the one in the address field, and those whose keys were
// still under way when the address was changed. A key for one more box is refused.
const int TXN_MAX_BOXES = 16;
const DWORD TXN_STACK_RESERVE = 256 * 1024;  // small stacks: a burst of keys is many workers
// Workers alive at once; later transactions queue for a worker (a 32-bit process has room
// for only so many threads, under Wine fewer than a thousand).
const int TXN_MAX_WORKERS = 64;
// A box whose connection attempts hang holds two workers (the key trying, the next one set up
// and waiting for it), so such boxes can never keep the workers from a key for another box.
static_assert(2 * TXN_MAX_BOXES < TXN_MAX_WORKERS, "every box can have its workers");

// command_transaction.cpp: the copy of what Start was given, and its release.
CommandTransaction *MakeTransaction(HWND owner, const unsigned char *address, unsigned short port,
                                    const char *bytes, int length, unsigned short tag);
void ReleaseTransaction(CommandTransaction *txn);
void CountTransactionEnded();

// box_order.cpp: the order of one box's keys.
enum LinePlace {
    LINE_GO,    // hand it to a worker now (the key before it has begun its attempt, or none)
    LINE_HELD,  // it waits in its box's line; the key before it hands it on
    LINE_FULL,  // refused: its box, or the table of boxes, is full; nothing changed
};
TransactionTurn *NewTurn();
void LetGoOfTurn(TransactionTurn *turn);
// Puts the transactions (all for one box) last in its line, in order, all or none. LINE_GO: the
// first is to be handed to a worker, the others wait behind it; LINE_HELD: all wait. Call from
// the starting thread only.
LinePlace JoinBoxLine(CommandTransaction *const *txns, int count);
// Takes back transactions that JoinBoxLine has just let go (LINE_GO), when no worker could take
// the first.
void LeaveBoxLineUnstarted(CommandTransaction *const *txns, int count);
// The transaction has begun its connection attempt: the next key for its box, which may now
// get a worker and set itself up (to be handed to a worker by the caller), or null.
CommandTransaction *MarkConnectingInLine(CommandTransaction *txn);
// The transaction has sent its whole command (the key after it may connect): as above.
CommandTransaction *MarkSentInLine(CommandTransaction *txn);
// The transaction has ended and leaves its line: the next key, as above, or null.
CommandTransaction *MarkEndedInLine(CommandTransaction *txn);
// The transaction ended without its connection made: every key that joined its box's line
// before now ends unsent with the same error, so that none of them reaches the box late.
// Returns those not yet handed to a worker, taken out of the line (linked by next_waiting,
// oldest first) for the caller to end; one already handed on learns it from LineFailure.
CommandTransaction *FailKeysWaitingInLine(CommandTransaction *txn, int error);
// After its turn: the error of a key before it whose connection was not made, when this key
// joined its line before that key failed; 0 otherwise.
int LineFailure(const CommandTransaction *txn);
// Keys joined and not ended for a box (address and port), and room for how many more.
int KeysInLine(const unsigned char *address, unsigned short port);
int RoomInLine(const unsigned char *address, unsigned short port);
// On the transaction's worker, before it connects: waits until the key before it for its box
// has sent its whole command or ended, then at most TXN_ORDER_HOLD_MS for it to end.
void WaitForTurn(CommandTransaction *txn);

// workers.cpp: the worker cap and the queue for a worker.
// Gives the transaction a worker thread, or queues it for a worker that ends. False only when
// no thread could be made and no worker is alive to take it later (nothing changed then).
bool HandToWorker(CommandTransaction *txn);

// exchange.cpp: one transaction on the calling worker, from its hidden window to its release.
// Returns the worker's exit code.
DWORD RunTransaction(CommandTransaction *txn);
// Ends, unsent and without a worker, a key taken out of its line by FailKeysWaitingInLine,
// and releases it.
void EndUnsent(CommandTransaction *txn, int error);
LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

