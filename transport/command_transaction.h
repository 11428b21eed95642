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
const UINT WM_TXN_SENT = 0x8006;      // to the owner: the whole command was sent
const UINT WM_TXN_RECEIVED = 0x8007;  // to the owner: the first read of the reply was made
// To the owner, just before WM_TXN_DONE: the transaction ended without having sent its whole
// command (refused, unreachable, not accepted in time, send failed). Nothing to free.
const UINT WM_TXN_UNDELIVERED = 0x800A;
const UINT_PTR IDT_TXN_READ = 0x8008;      // waiting for the box's data
const UINT_PTR IDT_TXN_LIFETIME = 0x8009;  // upper bound on a whole exchange

const UINT TXN_READ_WAIT_MS = 5000;   // also bounds the wait for a box that never answers
const UINT TXN_LIFETIME_MS = 30000;
const DWORD TXN_ORDER_HOLD_MS = 1000; // how long a transaction waits for the one before it to end
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

struct TransactionTurn {
    HANDLE started;
    HANDLE done;
};

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
    // Order at the box: each transaction waits for the one started before it to begin, then
    // (bounded) for it to end. Both events are manual-reset; either handle may be null.
    TransactionTurn previous;  // the previous transaction's events; closed after the wait
    TransactionTurn turn;      // this one's: `started` before it connects, `done` once it reported
    bool winsock_started;
    bool finished;
    CommandTransaction *next_pending;  // queue link while it waits for a worker

    // Copies everything it is given and starts the worker (or queues it for one when many are
    // under way); never waits for the network. Returns false when it could not be started.
    // Call it from one thread only (the user-interface thread): it chains the transactions.
    static bool Start(HWND owner, const unsigned char *address, unsigned short port,
                      const char *bytes, int length);
    void Connect(HWND hidden);
    void SendCommand();
    int ReceiveReply();
    void Finish();
};

DWORD WINAPI TransactionThread(LPVOID param);
LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
