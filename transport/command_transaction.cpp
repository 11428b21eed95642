#include "transport/command_transaction.h"

#include <stdlib.h>
#include <string.h>

#include "address/address.h"
#include "transport/command_protocol.h"
#include "transport/winsock_session.h"

// Shared by a transaction and its successor; freed by the last of the two to let go. Its
// stage only rises and is written under the lock; a successor that finds it TURN_ENDED goes on
// without taking the lock.
struct TransactionTurn {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    volatile LONG stage;    // TURN_WAITING, TURN_SENT, TURN_ENDED
    volatile LONG holders;  // 2 at first: the transaction and its successor
};

namespace {

enum { TURN_WAITING = 0, TURN_SENT = 1, TURN_ENDED = 2 };

// The turn of the transaction started last, for the next one; only the starting thread
// touches it.
TransactionTurn *g_LastTurn = NULL;

// Workers alive and the transactions waiting for one, oldest first; shared by the starting
// thread and the workers, so guarded by a lock that is never held across a system call.
SRWLOCK g_WorkerLock = SRWLOCK_INIT;
int g_ActiveWorkers = 0;
CommandTransaction *g_PendingHead = NULL;
CommandTransaction *g_PendingTail = NULL;

// Started transactions that have not ended.
volatile LONG g_UnderWay = 0;

// The hidden windows' class is registered once for the process.
volatile LONG g_ClassRegistered = 0;

const long TXN_SOCKET_EVENTS = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

TransactionTurn *NewTurn()
{
    TransactionTurn *turn = (TransactionTurn *)malloc(sizeof(TransactionTurn));
    if (!turn) return NULL;
    InitializeSRWLock(&turn->lock);
    InitializeConditionVariable(&turn->changed);
    turn->stage = TURN_WAITING;
    turn->holders = 2;
    return turn;
}

void LetGoOfTurn(TransactionTurn *turn)
{
    if (turn && InterlockedDecrement(&turn->holders) == 0) free(turn);
}

LONG StageOf(TransactionTurn *turn) { return InterlockedCompareExchange(&turn->stage, 0, 0); }

void AdvanceTurn(TransactionTurn *turn, LONG stage)
{
    if (!turn || StageOf(turn) >= stage) return;
    AcquireSRWLockExclusive(&turn->lock);
    turn->stage = stage;
    ReleaseSRWLockExclusive(&turn->lock);
    WakeAllConditionVariable(&turn->changed);
}

// Keeps the order of the box's connections: waits until the previous transaction has sent its
// whole command or ended, however long that takes (it ends within its own bounds, so the wait
// does too, and no bound here can run out along a long chain of waiting transactions), then at
// most TXN_ORDER_HOLD_MS for it to end. A predecessor already ended costs nothing.
void WaitForTurn(CommandTransaction *txn)
{
    TransactionTurn *previous = txn->previous;
    txn->previous = NULL;
    if (!previous) return;
    if (StageOf(previous) < TURN_ENDED) {
        AcquireSRWLockExclusive(&previous->lock);
        while (previous->stage < TURN_SENT)
            SleepConditionVariableSRW(&previous->changed, &previous->lock, INFINITE, 0);
        DWORD hold_start = GetTickCount();
        while (previous->stage < TURN_ENDED) {
            DWORD held = GetTickCount() - hold_start;
            if (held >= TXN_ORDER_HOLD_MS) break;
            SleepConditionVariableSRW(&previous->changed, &previous->lock, TXN_ORDER_HOLD_MS - held, 0);
        }
        ReleaseSRWLockExclusive(&previous->lock);
    }
    LetGoOfTurn(previous);
}

void ReleaseTransaction(CommandTransaction *txn)
{
    free(txn->command_bytes);
    free(txn->reply_bytes);
    LetGoOfTurn(txn->previous);
    LetGoOfTurn(txn->turn);
    free(txn);
}

// Replaces the held reply with a copy of bytes; an allocation failure leaves no reply.
void HoldReply(CommandTransaction *txn, const char *bytes, int count)
{
    free(txn->reply_bytes);
    txn->reply_bytes = NULL;
    txn->reply_length = 0;
    if (count <= 0) return;
    txn->reply_bytes = (unsigned char *)malloc(count);
    if (!txn->reply_bytes) return;
    memcpy(txn->reply_bytes, bytes, count);
    txn->reply_length = count;
}

void CloseTransactionSocket(CommandTransaction *txn)
{
    shutdown(txn->socket, SD_SEND);
    closesocket(txn->socket);
    txn->socket = INVALID_SOCKET;
}

// Hands the reply to the owner. If the owner is gone, the result is freed here instead.
void PostResult(CommandTransaction *txn)
{
    TransactionResult *result = (TransactionResult *)malloc(sizeof(TransactionResult));
    if (result) {
        result->received_length = 0;
        result->received_bytes = NULL;
        memcpy(result->device_address, txn->device_address, 4);
        if (txn->reply_length > 0) {
            result->received_bytes = (unsigned char *)malloc(txn->reply_length);
            if (result->received_bytes) {
                memcpy(result->received_bytes, txn->reply_bytes, txn->reply_length);
                result->received_length = txn->reply_length;
            }
        }
    }
    // Without memory the owner still hears that the transaction ended, with no result.
    if (!PostMessageA(txn->owner_window, WM_TXN_DONE, 0, (LPARAM)result))
        ReleaseTransactionResult(result);
}

void RegisterSocketWindowClass()
{
    if (InterlockedCompareExchange(&g_ClassRegistered, 0, 0)) return;
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = SocketWindowProc;
    wc.hInstance = g_Instance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = SOCKET_WINDOW_CLASS;
    // Two first workers may both try; the second fails harmlessly.
    if (RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        InterlockedExchange(&g_ClassRegistered, 1);
}

HANDLE CreateWorker(CommandTransaction *txn)
{
    return CreateThread(NULL, TXN_STACK_RESERVE, TransactionThread, txn,
                        STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
}

// True when the caller is to create a worker for the transaction (its place is taken); false
// when the transaction was queued for the place of a worker that ends.
bool TakeWorkerPlaceOrQueue(CommandTransaction *txn)
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    bool place = g_ActiveWorkers < TXN_MAX_WORKERS && !g_PendingHead;
    if (place) {
        ++g_ActiveWorkers;
    } else {
        txn->next_pending = NULL;
        if (g_PendingTail) g_PendingTail->next_pending = txn;
        else g_PendingHead = txn;
        g_PendingTail = txn;
    }
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return place;
}

// A worker that is done hands its place to the oldest queued transaction; null: no one waits,
// and the place is given back.
CommandTransaction *NextQueued()
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    CommandTransaction *next = g_PendingHead;
    if (next) {
        g_PendingHead = next->next_pending;
        if (!g_PendingHead) g_PendingTail = NULL;
    } else {
        --g_ActiveWorkers;
    }
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return next;
}

void GiveBackWorkerPlace()
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    --g_ActiveWorkers;
    ReleaseSRWLockExclusive(&g_WorkerLock);
}

// Runs the worker's messages until the hidden window's quit. The exchange is finished when its
// deadline passes: the whole-exchange bound, or the wait for a box that never answers.
void RunExchange(CommandTransaction *txn)
{
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD wait = INFINITE;  // once finished, the quit is on its way
        if (!txn->finished) {
            LONG left = (LONG)(txn->deadline - GetTickCount());
            if (left <= 0) {
                txn->Finish();
                continue;
            }
            wait = (DWORD)left;
        }
        MsgWaitForMultipleObjectsEx(0, NULL, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// One transaction on the calling worker, from the hidden window to the release. The set-up
// comes before the wait for the previous transaction, so that a key held back connects the
// moment its turn comes. Returns the worker's exit code.
DWORD RunTransaction(CommandTransaction *txn)
{
    DWORD exit_code = 0;
    RegisterSocketWindowClass();
    // A message-only window: it is never shown, and it needs nothing of the display
    // (Wine's X11 driver corrupts its heap when many threads make top-level windows at once).
    // A pop-up has no frame to lay out: under Wine it is made in half the time of an
    // overlapped window, on every key's way to the box.
    HWND hidden = CreateWindowExA(0, SOCKET_WINDOW_CLASS, NULL, WS_POPUP, 800, 800, 20, 20,
                                  HWND_MESSAGE, NULL, g_Instance, NULL);
    if (hidden) {
        ShowWindow(hidden, SW_HIDE);
        // Winsock 2.2 or nothing: a granted version other than 2.2 is cleaned up at once.
        txn->winsock_started = StartWinsock();
    }
    // A transaction that cannot set itself up still waits for its turn before it ends, so the
    // one after it cannot overtake the one before it.
    WaitForTurn(txn);
    if (txn->winsock_started) {
        SendMessageA(hidden, WM_TXN_START, 0, (LPARAM)txn);
        RunExchange(txn);
        exit_code = 1;
    } else {
        txn->failure = WSASYSNOTREADY;
    }
    // Set-up failures end here too: every started transaction reports exactly once.
    txn->Finish();
    if (hidden) {
        SetWindowLongPtrA(hidden, GWLP_USERDATA, 0);  // its destruction posts no second quit
        DestroyWindow(hidden);
    }
    ReleaseTransaction(txn);
    return exit_code;
}

// Four address bytes in one message parameter, first byte lowest.
LPARAM PackAddress(const unsigned char *address)
{
    return (LPARAM)((DWORD)address[0] | (DWORD)address[1] << 8 | (DWORD)address[2] << 16 |
                    (DWORD)address[3] << 24);
}

}  // namespace

LONG TransactionsUnderWay() { return InterlockedCompareExchange(&g_UnderWay, 0, 0); }

void ReleaseTransactionResult(TransactionResult *result)
{
    if (!result) return;
    free(result->received_bytes);
    free(result);
}

bool CommandTransaction::Start(HWND owner, const unsigned char *address, unsigned short port,
                               const char *bytes, int length, unsigned short tag)
{
    if (!address || !bytes || length <= 0) return false;
    CommandTransaction *txn = (CommandTransaction *)calloc(1, sizeof(CommandTransaction));
    if (!txn) return false;
    txn->socket = INVALID_SOCKET;
    txn->owner_window = owner;
    memcpy(txn->device_address, address, 4);
    txn->port = port;
    txn->tag = tag;
    txn->command_length = length;
    txn->command_bytes = (char *)malloc(length);
    if (!txn->command_bytes) {
        ReleaseTransaction(txn);
        return false;
    }
    memcpy(txn->command_bytes, bytes, length);

    txn->turn = NewTurn();
    if (!txn->turn) {
        ReleaseTransaction(txn);
        return false;
    }
    txn->previous = g_LastTurn;
    TransactionTurn *turn = txn->turn;  // the transaction may be gone once handed over
    InterlockedIncrement(&g_UnderWay);
    if (TakeWorkerPlaceOrQueue(txn)) {
        HANDLE thread = CreateWorker(txn);
        if (!thread) {
            GiveBackWorkerPlace();
            InterlockedDecrement(&g_UnderWay);
            // The next transaction waits for the same predecessor instead; no one else
            // will ever read this one's turn.
            txn->previous = NULL;
            free(txn->turn);
            txn->turn = NULL;
            ReleaseTransaction(txn);
            return false;
        }
        CloseHandle(thread);  // nothing ever waits for a worker
    }
    // From here the transaction belongs to its worker (or the queue); the starter keeps only
    // the turn, for the next transaction.
    g_LastTurn = turn;
    return true;
}

void CommandTransaction::Connect(HWND hidden)
{
    char text[16];
    IPAddrByteToStr(device_address, text);
    unsigned long host = inet_addr(text);
    if (host == INADDR_NONE) {  // refuses 255.255.255.255 too
        failure = WSAEADDRNOTAVAIL;
        return;
    }

    socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        failure = WSAGetLastError();
        return;
    }
    if (WSAAsyncSelect(socket, hidden, WM_TXN_SOCKET, TXN_SOCKET_EVENTS) == SOCKET_ERROR) {
        failure = WSAGetLastError();
        CloseTransactionSocket(this);
        return;
    }
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = host;
    if (connect(socket, (sockaddr *)&peer, sizeof(peer)) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        failure = WSAGetLastError();
        CloseTransactionSocket(this);
    }
}

void CommandTransaction::SendCommand()
{
    if (send_offset >= command_length) return;
    // A send that takes only part of the command is followed at once by the rest.
    while (send_offset < command_length) {
        int sent = send(socket, command_bytes + send_offset, command_length - send_offset, 0);
        if (sent == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) return;  // FD_WRITE comes again
            failure = error;
            Finish();
            return;
        }
        send_offset += sent;
    }
    PostMessageA(owner_window, WM_TXN_SENT, 0, PackAddress(device_address));
    AdvanceTurn(turn, TURN_SENT);  // the next transaction may connect now
    // A box that never answers ends the exchange when this wait runs out.
    DWORD reply_deadline = GetTickCount() + TXN_READ_WAIT_MS;
    if ((LONG)(reply_deadline - deadline) < 0) deadline = reply_deadline;
}

int CommandTransaction::ReceiveReply()
{
    char buffer[REPLY_FIRST_READ_MAX];
    int count = recv(socket, buffer, REPLY_FIRST_READ_MAX, 0);
    if (count == SOCKET_ERROR) return WSAGetLastError();
    HoldReply(this, buffer, count);
    PostMessageA(owner_window, WM_TXN_RECEIVED, 0, 0);
    return 0;
}

void CommandTransaction::Finish()
{
    if (finished) return;
    finished = true;
    if (read_timer_armed) {
        KillTimer(hidden_window, IDT_TXN_READ);
        read_timer_armed = false;
    }
    if (socket != INVALID_SOCKET) {
        shutdown(socket, SD_SEND);
        char closing[REPLY_CLOSING_READ_MAX];
        int count = recv(socket, closing, REPLY_CLOSING_READ_MAX, 0);
        if (count != 0 && count != SOCKET_ERROR && reply_length == 0) HoldReply(this, closing, count);
        closesocket(socket);
        socket = INVALID_SOCKET;  // notices still queued no longer match
    }
    if (send_offset < command_length) {
        // No error seen: the exchange's bound ran out before the box took the connection.
        int error = failure ? failure : WSAETIMEDOUT;
        PostMessageA(owner_window, WM_TXN_UNDELIVERED, MAKEWPARAM(error, tag),
                     PackAddress(device_address));
    }
    // Ended, whether or not the owner can still be told: the owner sees the count down at DONE.
    InterlockedDecrement(&g_UnderWay);
    PostResult(this);
    HoldReply(this, NULL, 0);
    // The next transaction may connect now; its notices follow this one's DONE.
    AdvanceTurn(turn, TURN_ENDED);
    if (winsock_started) {
        CleanUpWinsock();
        winsock_started = false;
    }
    if (hidden_window) SendMessageA(hidden_window, WM_DESTROY, 0, 0);
}

DWORD WINAPI TransactionThread(LPVOID param)
{
    DWORD exit_code = RunTransaction((CommandTransaction *)param);
    // This worker's place goes to the oldest queued transaction. One that cannot get a thread
    // of its own runs on this one, so the chain of turns never stalls on it.
    while (CommandTransaction *next = NextQueued()) {
        HANDLE thread = CreateWorker(next);
        if (thread) {
            CloseHandle(thread);
            break;
        }
        exit_code = RunTransaction(next);
    }
    return exit_code;
}

LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CommandTransaction *txn = (CommandTransaction *)GetWindowLongPtrA(window, GWLP_USERDATA);
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        if (txn) PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (txn && wParam == IDT_TXN_READ) {
            KillTimer(window, IDT_TXN_READ);
            txn->read_timer_armed = false;
            txn->Finish();
        }
        return 0;
    case WM_TXN_START:
        txn = (CommandTransaction *)lParam;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)txn);
        txn->hidden_window = window;
        txn->connect_tick = GetTickCount();
        txn->deadline = txn->connect_tick + TXN_LIFETIME_MS;
        txn->Connect(window);
        if (txn->socket == INVALID_SOCKET) txn->Finish();  // nothing will ever be heard of it
        return 0;
    case WM_TXN_SOCKET:
        if (!txn || (SOCKET)wParam != txn->socket) break;
        switch (WSAGETSELECTEVENT(lParam)) {
        case FD_CONNECT:
            // Connected: send now rather than on the FD_WRITE that follows.
            if (WSAGETSELECTERROR(lParam) != 0) {  // refused, unreachable, timed out
                txn->failure = WSAGETSELECTERROR(lParam);
                txn->Finish();
            } else {
                txn->SendCommand();
            }
            break;
        case FD_WRITE:
            txn->SendCommand();
            break;
        case FD_READ: {
            if (txn->read_timer_armed) KillTimer(window, IDT_TXN_READ);
            txn->read_timer_armed = false;
            int status = txn->ReceiveReply();
            if (status == WSAEWOULDBLOCK) {
                SetTimer(window, IDT_TXN_READ, TXN_READ_WAIT_MS, NULL);
                txn->read_timer_armed = true;
                txn->deadline = txn->connect_tick + TXN_LIFETIME_MS;  // the timer bounds this wait
            } else {
                txn->Finish();  // a reply, or a read error that no later notice would mend
            }
            break;
        }
        case FD_CLOSE:
            if (txn->send_offset < txn->command_length)
                txn->failure = WSAGETSELECTERROR(lParam) ? WSAGETSELECTERROR(lParam) : WSAECONNRESET;
            txn->Finish();  // the box closed: the closing read takes whatever it left
            break;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
