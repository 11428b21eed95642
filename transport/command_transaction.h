// One command delivered to the box over a TCP connection of its own, on a worker thread
// with a hidden window that receives the socket's notices as window messages.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Module instance: set by the entry point before anything else; the hidden windows use it.
extern HINSTANCE g_Instance;

const UINT WM_TXN_START = 0x8001;     // to the hidden window: lParam is the transaction
const UINT WM_TXN_SOCKET = 0x8002;    // to the hidden window: posted by Winsock
const UINT WM_TXN_DONE = 0x8003;      // to the owner: lParam is the TransactionResult (it owns it)
const UINT WM_TXN_SENT = 0x8006;      // to the owner: the whole command was sent; lParam the address
const UINT WM_TXN_RECEIVED = 0x8007;  // to the owner: the first read of the reply was made
// To the owner, just before WM_TXN_DONE: the transaction ended without having sent its whole
// command (refused, unreachable, not accepted in time, send failed). Nothing to free.
// wParam: the Winsock error seen (low word) and the starter's tag (high word);
// lParam: the four address bytes, first byte lowest (as with WM_TXN_SENT). Decoded below.
const UINT WM_TXN_UNDELIVERED = 0x800A;
const UINT_PTR IDT_TXN_READ = 0x8008;  // waiting for the box's data

const UINT TXN_READ_WAIT_MS = 5000;   // also bounds the wait for a box that never answers
// No exchange lasts longer than this from its connection attempt (a deadline in the worker's
// loop, not a timer: the hidden window knows no timer but IDT_TXN_READ).
const DWORD TXN_LIFETIME_MS = 30000;
// Once the previous transaction has sent its whole command, the next one waits at most this
// long for it to end: time for the box to act on a key before the next one, while a box that
// never answers costs each key no more than this.
const DWORD TXN_ORDER_HOLD_MS = 500;
const DWORD TXN_STACK_RESERVE = 256 * 1024;  // small stacks: a burst of keys is many workers
// Workers alive at once; later transactions queue for a worker (a 32-bit process has room
// for only so many threads, under Wine fewer than a thousand).
const int TXN_MAX_WORKERS = 64;

const char SOCKET_WINDOW_CLASS[] = "MyWinSock Window";

struct TransactionResult {
    int received_length;               // 0 when there was no reply
    unsigned char *received_bytes;     // heap copy of the reply, or null
    unsigned char device_address[4];
};

// Frees the reply copy, then the record; null does nothing.
void ReleaseTransactionResult(TransactionResult *result);

// Where a transaction stands, as seen by the one started after it (command_transaction.cpp).
struct TransactionTurn;

struct CommandTransaction {
    SOCKET socket;
    HWND hidden_window;
    HWND owner_window;
    unsigned char device_address[4];
    unsigned short port;
    char *command_bytes;
    int command_length;
    int send_offset;
    unsigned char *reply_bytes;
    int reply_length;
    // Order at the box: a transaction connects once the one before it has sent its whole
    // command or ended, and then waits at most TXN_ORDER_HOLD_MS for it to end.
    TransactionTurn *previous;  // the predecessor's turn, let go after the wait; may be null
    TransactionTurn *turn;      // this one's, read by its successor; may be null
    DWORD connect_tick;         // when the connection attempt began
    DWORD deadline;             // the worker's loop finishes the exchange at this tick
    bool read_timer_armed;
    bool winsock_started;
    bool finished;
    CommandTransaction *next_pending;  // queue link while it waits for a worker
    unsigned short tag;         // the starter's, echoed in WM_TXN_UNDELIVERED
    int failure;                // the Winsock error that kept the command from the box, or 0

    // Copies everything it is given and starts the worker (or queues it for one when many are
    // under way); never waits for the network. Returns false when it could not be started.
    // Call it from one thread only (the user-interface thread): it chains the transactions.
    // The tag is the starter's own (which key it was); the transport only hands it back.
    static bool Start(HWND owner, const unsigned char *address, unsigned short port,
                      const char *bytes, int length, unsigned short tag = 0);
    void Connect(HWND hidden);
    void SendCommand();
    int ReceiveReply();
    void Finish();
};

// Transactions started (Start returned true) that have not ended yet, whether or not their
// WM_TXN_DONE could be posted. Any thread may read it.
LONG TransactionsUnderWay();

// The parts of a WM_TXN_UNDELIVERED notice.
inline int UndeliveredError(WPARAM wParam) { return (int)LOWORD(wParam); }
inline unsigned short UndeliveredTag(WPARAM wParam) { return HIWORD(wParam); }
// The address that a WM_TXN_SENT or WM_TXN_UNDELIVERED notice was for.
inline void NoticeAddress(LPARAM lParam, unsigned char *address)
{
    for (int i = 0; i < 4; ++i) address[i] = (unsigned char)((DWORD)lParam >> (8 * i));
}

DWORD WINAPI TransactionThread(LPVOID param);
LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
