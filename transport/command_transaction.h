// One command delivered to the box over a TCP connection of its own, on a worker thread
// with a hidden window that receives the socket's notices as window messages. What callers use;
// the rest of the transport's shared declarations are in transport_internal.h.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Module instance: set by the entry point before anything else; the hidden windows use it.
extern HINSTANCE g_Instance;

// Notices to the owner window, posted.
const UINT WM_TXN_DONE = 0x8003;      // lParam is the TransactionResult (the owner owns it);
                                      // wParam the starter's tag in the high word
const UINT WM_TXN_SENT = 0x8006;      // the whole command was sent; wParam the starter's tag,
                                      // lParam the address
const UINT WM_TXN_RECEIVED = 0x8007;  // the first read of the reply was made
// Just before WM_TXN_DONE: the transaction ended without having sent its whole command
// (refused, unreachable, not accepted in time, send failed). Nothing to free.
// wParam: the Winsock error seen (low word) and the starter's tag (high word);
// lParam: the address, packed as Ipv4Value::Notice (as with WM_TXN_SENT).
const UINT WM_TXN_UNDELIVERED = 0x800A;

struct TransactionResult {
    int received_length;               // 0 when there was no reply
    unsigned char *received_bytes;     // heap copy of the reply, or null
    unsigned char device_address[4];
};

// Frees the reply copy, then the record; null does nothing.
void ReleaseTransactionResult(TransactionResult *result);

// One of several commands started as one (CommandTransaction::StartAll).
struct CommandPart {
    const char *bytes;
    int length;
    unsigned short tag;
};

struct TransactionTurn;  // where a transaction stands, for the one after it (box_order.cpp)
struct BoxLine;          // the keys under way for one box (box_order.cpp)

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
    // Its place among the keys for its box (address and port): see box_order.cpp.
    BoxLine *line;              // null once it has left its line, or if it never joined one
    TransactionTurn *previous;  // the turn of the key before it for the box, let go after the wait
    TransactionTurn *turn;      // its own, read by the key after it
    CommandTransaction *next_waiting;  // link in the one queue it waits in: its line, or workers'
    DWORD connect_tick;         // when the connection attempt began
    DWORD deadline;             // the worker's loop finishes the exchange at this tick
    bool read_timer_armed;
    bool winsock_started;
    bool finished;
    bool counted;               // Start counted it among the transactions under way
    bool connected;             // the box took the connection
    bool failed_in_line;        // ended because a key before it could not connect
    unsigned line_seq;          // its place among the keys that joined its box's line
    unsigned short tag;         // the starter's, echoed in WM_TXN_UNDELIVERED
    int failure;                // the Winsock error that kept the command from the box, or 0

    // Copies everything it is given and hands the transaction on (to a worker, or to wait for
    // its turn or for a worker); never waits for the network. Returns false, having posted
    // nothing, when it could not be started, or when TXN_MAX_WAITING_PER_BOX transactions for
    // the same box (address and port) are under way, or keys for TXN_MAX_BOXES other boxes are.
    // Call it from one thread only (the user-interface thread).
    // The tag is the starter's own (which key it was); the transport only hands it back.
    static bool Start(HWND owner, const unsigned char *address, unsigned short port,
                      const char *bytes, int length, unsigned short tag = 0);
    // Several commands for one box as one, in order: all of them start or none does (each is
    // made, and the line's room taken for all, before any can go), so that a button's keys
    // never go in part. False: none started and nothing will be posted.
    static bool StartAll(HWND owner, const unsigned char *address, unsigned short port,
                         const CommandPart *parts, int count);
    void Connect(HWND hidden);
    void SendCommand();
    int ReceiveReply();
    void Finish();
};

// Transactions started (Start returned true) that have not ended yet, whether or not their
// WM_TXN_DONE could be posted. Any thread may read it.
LONG TransactionsUnderWay();
// The same for one box (address and port): a held key repeats only while its box is idle.
int TransactionsUnderWayFor(const unsigned char *address, unsigned short port);
// How many more keys Start takes for that box now: a caller that starts several keys as one
// (a macro) starts all of them or none. Only the starting thread makes it smaller.
int TransactionRoomFor(const unsigned char *address, unsigned short port);
// The longest that `count` keys for one box can take, from their starts to their ends: each
// connects within its bound after the key before it has sent or ended, and the last exchange
// ends within its own bound. A caller that waits for every end bounds its wait with this.
DWORD TransactionsEndWithinMs(int count);

// The parts of a WM_TXN_UNDELIVERED notice.
inline int UndeliveredError(WPARAM wParam) { return (int)LOWORD(wParam); }
inline unsigned short UndeliveredTag(WPARAM wParam) { return HIWORD(wParam); }
inline unsigned short DoneTag(WPARAM wParam) { return HIWORD(wParam); }
// The address that a WM_TXN_SENT or WM_TXN_UNDELIVERED notice was for is
// Ipv4Value::FromNotice(lParam).
