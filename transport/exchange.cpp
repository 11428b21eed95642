// The exchange over one connection, on the transaction's worker: its hidden window receives the
// socket's notices, and its procedure drives the exchange one small handler per notice.
#include "transport/transport_internal.h"

#include <stdlib.h>
#include <string.h>

#include "address/ipv4_value.h"
#include "transport/command_protocol.h"

namespace {

const long TXN_SOCKET_EVENTS = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

// The hidden windows' class is registered once for the process.
volatile LONG g_ClassRegistered = 0;

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
    if (!PostMessageA(txn->owner_window, WM_TXN_DONE, MAKEWPARAM(0, txn->tag), (LPARAM)result))
        ReleaseTransactionResult(result);
}

// The next key for the same box goes to a worker. On a worker this cannot fail: the calling
// worker is alive and takes it from the queue when it is done.
void HandOn(CommandTransaction *next)
{
    if (next) HandToWorker(next);
}

// Tells the owner that the command did not reach the box, just before its DONE.
void PostUndelivered(CommandTransaction *txn, int error)
{
    PostMessageA(txn->owner_window, WM_TXN_UNDELIVERED, MAKEWPARAM(error, txn->tag),
                 (LPARAM)Ipv4Value::Of(txn->device_address).Notice());
}

void RegisterSocketWindowClass()
{
    if (InterlockedCompareExchange(&g_ClassRegistered, 0, 0)) return;
    // One registration at a time: under Wine a second worker that finds the class "already
    // there" while the first is still registering it cannot yet create a window of it.
    static SRWLOCK class_lock = SRWLOCK_INIT;
    AcquireSRWLockExclusive(&class_lock);
    if (!InterlockedCompareExchange(&g_ClassRegistered, 0, 0)) {
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof(wc));
        wc.cbSize = sizeof(wc);
        wc.style = 0;
        wc.lpfnWndProc = SocketWindowProc;
        wc.hInstance = g_Instance;
        wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = SOCKET_WINDOW_CLASS;
        if (RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
            InterlockedExchange(&g_ClassRegistered, 1);
    }
    ReleaseSRWLockExclusive(&class_lock);
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

// --- The hidden window's handlers ---

LRESULT OnStart(HWND window, CommandTransaction *txn)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)txn);
    txn->hidden_window = window;
    txn->connect_tick = GetTickCount();
    txn->deadline = txn->connect_tick + TXN_CONNECT_WAIT_MS;  // until the box takes it
    txn->Connect(window);
    if (txn->socket == INVALID_SOCKET) txn->Finish();  // nothing will ever be heard of it
    return 0;
}

LRESULT OnReadTimer(HWND window, CommandTransaction *txn)
{
    KillTimer(window, IDT_TXN_READ);
    txn->read_timer_armed = false;
    txn->Finish();
    return 0;
}

// The box took the connection: from now on the whole exchange has its lifetime.
void MarkConnected(CommandTransaction *txn)
{
    if (txn->connected) return;
    txn->connected = true;
    DWORD lifetime_end = txn->connect_tick + TXN_LIFETIME_MS;
    if ((LONG)(lifetime_end - txn->deadline) > 0) txn->deadline = lifetime_end;
}

// Connected: send now rather than on the FD_WRITE that follows.
void OnConnected(CommandTransaction *txn, int error)
{
    if (error == 0) {
        MarkConnected(txn);
        txn->SendCommand();
        return;
    }
    txn->failure = error;  // refused, unreachable, timed out
    txn->Finish();
}

void OnReadable(HWND window, CommandTransaction *txn)
{
    if (txn->read_timer_armed) KillTimer(window, IDT_TXN_READ);
    txn->read_timer_armed = false;
    int status = txn->ReceiveReply();
    if (status != WSAEWOULDBLOCK) {
        txn->Finish();  // a reply, or a read error that no later notice would mend
        return;
    }
    SetTimer(window, IDT_TXN_READ, TXN_READ_WAIT_MS, NULL);
    txn->read_timer_armed = true;
    txn->deadline = txn->connect_tick + TXN_LIFETIME_MS;  // the timer bounds this wait
}

// The box closed: the closing read takes whatever it left.
void OnClosed(CommandTransaction *txn, int error)
{
    if (txn->send_offset < txn->command_length) txn->failure = error ? error : WSAECONNRESET;
    txn->Finish();
}

void OnSocketEvent(HWND window, CommandTransaction *txn, LPARAM lParam)
{
    int error = WSAGETSELECTERROR(lParam);
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT: OnConnected(txn, error); break;
    case FD_WRITE:
        MarkConnected(txn);  // a connect that succeeded at once reports only this
        txn->SendCommand();
        break;
    case FD_READ: OnReadable(window, txn); break;
    case FD_CLOSE: OnClosed(txn, error); break;
    }
}

}  // namespace

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
        if (txn && wParam == IDT_TXN_READ) return OnReadTimer(window, txn);
        return 0;
    case WM_TXN_START:
        return OnStart(window, (CommandTransaction *)lParam);
    case WM_TXN_SOCKET:
        // A notice still queued for a socket already closed no longer matches.
        if (txn && (SOCKET)wParam == txn->socket) OnSocketEvent(window, txn, lParam);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The set-up comes before the wait for the key before it, so that a key held back connects the
// moment its turn comes.
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
    // A key before it could not connect: this one would reach the box late, if at all.
    if (int error = LineFailure(txn)) {
        txn->failure = error;
        txn->failed_in_line = true;
    } else if (txn->winsock_started) {
        SendMessageA(hidden, WM_TXN_START, 0, (LPARAM)txn);
        // Its attempt is made: the next key for the box sets itself up meanwhile. (If the
        // attempt has already ended, the end handed that key on, and this does nothing.)
        HandOn(MarkConnectingInLine(txn));
        RunExchange(txn);
        exit_code = 1;
    } else {
        txn->failure = hidden ? WSASYSNOTREADY : WSAENOBUFS;  // no Winsock, or no window for it
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

void EndUnsent(CommandTransaction *txn, int error)
{
    txn->next_waiting = NULL;
    txn->failure = error;
    txn->failed_in_line = true;
    PostUndelivered(txn, error);
    if (txn->counted) CountTransactionEnded();
    txn->counted = false;
    PostResult(txn);
    HandOn(MarkEndedInLine(txn));  // a key that joined after the failure tries for itself
    ReleaseTransaction(txn);
}

void CommandTransaction::Connect(HWND hidden)
{
    char text[IPV4_TEXT_SIZE];
    Ipv4Value::Of(device_address).Format(text);
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
    PostMessageA(owner_window, WM_TXN_SENT, MAKEWPARAM(0, tag), (LPARAM)Ipv4Value::Of(device_address).Notice());
    HandOn(MarkSentInLine(this));  // the next key for this box may connect after the hold-back
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
    CommandTransaction *failing = NULL;
    int error = 0;
    if (send_offset < command_length) {
        // No error seen: a bound ran out, before the box took the connection or while sending.
        error = failure ? failure : connected ? WSAECONNABORTED : WSAETIMEDOUT;
        PostUndelivered(this, error);
        // Not connected: the keys waiting behind this one would reach the box late, if at all.
        if (!connected && !failed_in_line) failing = FailKeysWaitingInLine(this, error);
    }
    // Ended, whether or not the owner can still be told: the owner sees the count down at DONE.
    if (counted) CountTransactionEnded();
    counted = false;
    PostResult(this);
    HoldReply(this, NULL, 0);
    // The next key for this box may connect now; its notices follow this one's DONE.
    HandOn(MarkEndedInLine(this));
    while (failing) {
        CommandTransaction *next = failing->next_waiting;
        EndUnsent(failing, error);
        failing = next;
    }
    if (winsock_started) {
        CleanUpWinsock();
        winsock_started = false;
    }
    if (hidden_window) SendMessageA(hidden_window, WM_DESTROY, 0, 0);
}
