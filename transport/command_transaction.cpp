#include "transport/command_transaction.h"

#include <stdlib.h>
#include <string.h>

#include "address/address.h"
#include "transport/command_protocol.h"

namespace {

// The events of the transaction started last; only the starting thread touches them.
TransactionTurn g_PreviousTurn = {NULL, NULL};

// Workers alive and the transactions waiting for one, oldest first; shared by the starting
// thread and the workers, so guarded by a lock.
SRWLOCK g_WorkerLock = SRWLOCK_INIT;
int g_ActiveWorkers = 0;
CommandTransaction *g_PendingHead = NULL;
CommandTransaction *g_PendingTail = NULL;

// Winsock counts start-ups per process; workers that overlap (after a hold-back) start and
// clean up one at a time, so the count is never raced.
SRWLOCK g_WinsockLock = SRWLOCK_INIT;

bool StartWinsock()
{
    AcquireSRWLockExclusive(&g_WinsockLock);
    WSADATA wsa;
    bool started = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    if (started && wsa.wVersion != MAKEWORD(2, 2)) {
        WSACleanup();
        started = false;
    }
    ReleaseSRWLockExclusive(&g_WinsockLock);
    return started;
}

void CleanUpWinsock()
{
    AcquireSRWLockExclusive(&g_WinsockLock);
    WSACleanup();
    ReleaseSRWLockExclusive(&g_WinsockLock);
}

const long TXN_SOCKET_EVENTS = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

void CloseTurn(TransactionTurn *turn)
{
    if (turn->started) CloseHandle(turn->started);
    if (turn->done) CloseHandle(turn->done);
    turn->started = turn->done = NULL;
}

HANDLE DuplicateForSuccessor(HANDLE event)
{
    HANDLE copy = NULL;
    if (event)
        DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    return copy;
}

void ReleaseTransaction(CommandTransaction *txn)
{
    free(txn->command_bytes);
    free(txn->reply_bytes);
    CloseTurn(&txn->previous);
    CloseTurn(&txn->turn);
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
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = SocketWindowProc;
    wc.hInstance = g_Instance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = SOCKET_WINDOW_CLASS;
    RegisterClassExA(&wc);  // fails harmlessly once the class exists
}

// Keeps the order of the box's connections: the previous transaction begins its connection
// first, and this one waits for it to end, but never longer than the hold-back bound, so a
// dead box delays the next key by at most that much. Every transaction signals `started` on
// every path, and only after its own wait, so the chain always moves on.
void WaitForPreviousTransaction(CommandTransaction *txn)
{
    if (txn->previous.started)
        WaitForSingleObject(txn->previous.started, TXN_LIFETIME_MS + TXN_ORDER_HOLD_MS);
    if (txn->previous.done) WaitForSingleObject(txn->previous.done, TXN_ORDER_HOLD_MS);
    CloseTurn(&txn->previous);
    if (txn->turn.started) SetEvent(txn->turn.started);
}

HANDLE CreateWorker(CommandTransaction *txn)
{
    return CreateThread(NULL, TXN_STACK_RESERVE, TransactionThread, txn,
                        STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
}

// Runs a new worker for the transaction, or queues it when enough are alive already.
bool RunOrQueue(CommandTransaction *txn)
{
    bool ok = true;
    AcquireSRWLockExclusive(&g_WorkerLock);
    if (g_ActiveWorkers < TXN_MAX_WORKERS && !g_PendingHead) {
        HANDLE thread = CreateWorker(txn);
        if (thread) {
            ++g_ActiveWorkers;
            CloseHandle(thread);  // nothing ever waits for a worker
        } else {
            ok = false;
        }
    } else {
        txn->next_pending = NULL;
        if (g_PendingTail) g_PendingTail->next_pending = txn;
        else g_PendingHead = txn;
        g_PendingTail = txn;
    }
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return ok;
}

// Called by a worker as it ends: hands its place to the oldest queued transaction. One that
// cannot get a thread still reports its end, so the owner hears of every transaction.
void HandOverWorker()
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    --g_ActiveWorkers;
    while (g_PendingHead && g_ActiveWorkers < TXN_MAX_WORKERS) {
        CommandTransaction *next = g_PendingHead;
        g_PendingHead = next->next_pending;
        if (!g_PendingHead) g_PendingTail = NULL;
        HANDLE thread = CreateWorker(next);
        if (thread) {
            ++g_ActiveWorkers;
            CloseHandle(thread);
            continue;
        }
        ReleaseSRWLockExclusive(&g_WorkerLock);
        WaitForPreviousTransaction(next);
        next->Finish();
        ReleaseTransaction(next);
        AcquireSRWLockExclusive(&g_WorkerLock);
    }
    ReleaseSRWLockExclusive(&g_WorkerLock);
}

}  // namespace

void ReleaseTransactionResult(TransactionResult *result)
{
    if (!result) return;
    free(result->received_bytes);
    free(result);
}

bool CommandTransaction::Start(HWND owner, const unsigned char *address, unsigned short port,
                               const char *bytes, int length)
{
    if (!address || !bytes || length <= 0) return false;
    CommandTransaction *txn = (CommandTransaction *)calloc(1, sizeof(CommandTransaction));
    if (!txn) return false;
    txn->socket = INVALID_SOCKET;
    txn->owner_window = owner;
    memcpy(txn->device_address, address, 4);
    txn->port = port;
    txn->command_length = length;
    txn->command_bytes = (char *)malloc(length);
    if (!txn->command_bytes) {
        ReleaseTransaction(txn);
        return false;
    }
    memcpy(txn->command_bytes, bytes, length);

    // Two handles on each of this transaction's events: its own, to signal, and its successor's.
    txn->turn.started = CreateEventA(NULL, TRUE, FALSE, NULL);
    txn->turn.done = CreateEventA(NULL, TRUE, FALSE, NULL);
    TransactionTurn for_next = {DuplicateForSuccessor(txn->turn.started),
                                DuplicateForSuccessor(txn->turn.done)};
    txn->previous = g_PreviousTurn;

    if (!RunOrQueue(txn)) {
        // The next transaction waits for the same predecessor instead.
        txn->previous.started = txn->previous.done = NULL;
        CloseTurn(&for_next);
        ReleaseTransaction(txn);
        return false;
    }
    // From here the transaction belongs to its worker; the starter keeps only its events.
    g_PreviousTurn = for_next;
    return true;
}

void CommandTransaction::Connect(HWND hidden)
{
    char text[16];
    IPAddrByteToStr(device_address, text);
    unsigned long host = inet_addr(text);
    if (host == INADDR_NONE) return;  // refuses 255.255.255.255 too

    socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) return;
    if (WSAAsyncSelect(socket, hidden, WM_TXN_SOCKET, TXN_SOCKET_EVENTS) == SOCKET_ERROR) {
        CloseTransactionSocket(this);
        return;
    }
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = host;
    if (connect(socket, (sockaddr *)&peer, sizeof(peer)) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        CloseTransactionSocket(this);
}

void CommandTransaction::SendCommand()
{
    if (send_offset >= command_length) return;
    // A send that takes only part of the command is followed at once by the rest.
    while (send_offset < command_length) {
        int sent = send(socket, command_bytes + send_offset, command_length - send_offset, 0);
        if (sent == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) Finish();  // else FD_WRITE comes again
            return;
        }
        send_offset += sent;
    }
    PostMessageA(owner_window, WM_TXN_SENT, 0, 0);
    // A box that never answers ends the exchange when this wait runs out.
    SetTimer(hidden_window, IDT_TXN_READ, TXN_READ_WAIT_MS, NULL);
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
    if (hidden_window) {
        KillTimer(hidden_window, IDT_TXN_READ);
        KillTimer(hidden_window, IDT_TXN_LIFETIME);
    }
    if (socket != INVALID_SOCKET) {
        shutdown(socket, SD_SEND);
        char closing[REPLY_CLOSING_READ_MAX];
        int count = recv(socket, closing, REPLY_CLOSING_READ_MAX, 0);
        if (count != 0 && count != SOCKET_ERROR && reply_length == 0) HoldReply(this, closing, count);
        closesocket(socket);
        socket = INVALID_SOCKET;  // notices still queued no longer match
    }
    if (send_offset < command_length) PostMessageA(owner_window, WM_TXN_UNDELIVERED, 0, 0);
    PostResult(this);
    HoldReply(this, NULL, 0);
    if (winsock_started) {
        CleanUpWinsock();
        winsock_started = false;
    }
    // The next transaction may connect now. Only now: Winsock's start-up count is shared by
    // the process, and Wine does not keep it safely against a start-up racing this clean-up.
    if (turn.started) SetEvent(turn.started);
    if (turn.done) SetEvent(turn.done);
    if (hidden_window) SendMessageA(hidden_window, WM_DESTROY, 0, 0);
}

DWORD WINAPI TransactionThread(LPVOID param)
{
    CommandTransaction *txn = (CommandTransaction *)param;
    DWORD exit_code = 0;
    WaitForPreviousTransaction(txn);
    RegisterSocketWindowClass();
    // A message-only window: it is never shown, and it needs nothing of the display
    // (Wine's X11 driver corrupts its heap when many threads make top-level windows at once).
    HWND hidden = CreateWindowExA(0, SOCKET_WINDOW_CLASS, NULL, WS_OVERLAPPEDWINDOW, 800, 800, 20,
                                  20, HWND_MESSAGE, NULL, g_Instance, NULL);
    if (hidden) {
        ShowWindow(hidden, SW_HIDE);
        // Winsock 2.2 or nothing: a granted version other than 2.2 is cleaned up at once.
        if (StartWinsock()) {
            txn->winsock_started = true;
            SendMessageA(hidden, WM_TXN_START, 0, (LPARAM)txn);
            MSG msg;
            while (GetMessageA(&msg, NULL, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            exit_code = 1;
        }
    }
    // Set-up failures end here too: every started transaction reports exactly once.
    txn->Finish();
    if (hidden) DestroyWindow(hidden);
    ReleaseTransaction(txn);
    HandOverWorker();
    return exit_code;
}

LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CommandTransaction *txn = (CommandTransaction *)GetWindowLongPtrA(window, GWLP_USERDATA);
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (txn && (wParam == IDT_TXN_READ || wParam == IDT_TXN_LIFETIME)) {
            KillTimer(window, wParam);
            txn->Finish();
        }
        return 0;
    case WM_TXN_START:
        txn = (CommandTransaction *)lParam;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)txn);
        txn->hidden_window = window;
        txn->Connect(window);
        if (txn->socket == INVALID_SOCKET) {
            txn->Finish();  // nothing will ever be heard of this connection
        } else {
            SetTimer(window, IDT_TXN_LIFETIME, TXN_LIFETIME_MS, NULL);
        }
        return 0;
    case WM_TXN_SOCKET:
        if (!txn || (SOCKET)wParam != txn->socket) break;
        switch (WSAGETSELECTEVENT(lParam)) {
        case FD_CONNECT:
            if (WSAGETSELECTERROR(lParam) != 0) txn->Finish();  // refused, unreachable, timed out
            break;
        case FD_WRITE:
            txn->SendCommand();
            break;
        case FD_READ: {
            KillTimer(window, IDT_TXN_READ);
            int status = txn->ReceiveReply();
            if (status == WSAEWOULDBLOCK)
                SetTimer(window, IDT_TXN_READ, TXN_READ_WAIT_MS, NULL);
            else
                txn->Finish();  // a reply, or a read error that no later notice would mend
            break;
        }
        case FD_CLOSE:
            txn->Finish();  // the box closed: the closing read takes whatever it left
            break;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
