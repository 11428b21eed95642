// Starting a transaction: its own copy of what it was given, its place in its box's line, and
// the hand-over to a worker; and the count of transactions under way.
#include "transport/transport_internal.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Started transactions that have not ended.
volatile LONG g_UnderWay = 0;

}  // namespace

CommandTransaction *MakeTransaction(HWND owner, const unsigned char *address, unsigned short port,
                                    const char *bytes, int length, unsigned short tag)
{
    CommandTransaction *txn = (CommandTransaction *)calloc(1, sizeof(CommandTransaction));
    if (!txn) return NULL;
    txn->socket = INVALID_SOCKET;
    txn->owner_window = owner;
    memcpy(txn->device_address, address, 4);
    txn->port = port;
    txn->tag = tag;
    txn->command_length = length;
    txn->command_bytes = (char *)malloc(length);
    txn->turn = NewTurn();
    if (!txn->command_bytes || !txn->turn) {
        ReleaseTransaction(txn);
        return NULL;
    }
    memcpy(txn->command_bytes, bytes, length);
    return txn;
}

void ReleaseTransaction(CommandTransaction *txn)
{
    free(txn->command_bytes);
    free(txn->reply_bytes);
    LetGoOfTurn(txn->previous);
    LetGoOfTurn(txn->turn);
    free(txn);
}

void CountTransactionEnded() { InterlockedDecrement(&g_UnderWay); }

LONG TransactionsUnderWay() { return InterlockedCompareExchange(&g_UnderWay, 0, 0); }

int TransactionsUnderWayFor(const unsigned char *address, unsigned short port)
{
    return address ? KeysInLine(address, port) : 0;
}

int TransactionRoomFor(const unsigned char *address, unsigned short port)
{
    return address ? RoomInLine(address, port) : 0;
}

DWORD TransactionsEndWithinMs(int count)
{
    // A key connects at most the hold-back after the key before it sent, and sends within its
    // connection bound or ends; the last one's whole exchange is bounded by its lifetime.
    if (count < 1) count = 1;
    return (DWORD)(count - 1) * (TXN_ORDER_HOLD_MS + TXN_CONNECT_WAIT_MS) + TXN_ORDER_HOLD_MS + TXN_LIFETIME_MS;
}

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
    CommandTransaction *txn = MakeTransaction(owner, address, port, bytes, length, tag);
    if (!txn) return false;
    // Counted before it joins its line: once there, a worker may end it at any moment.
    txn->counted = true;
    InterlockedIncrement(&g_UnderWay);
    LinePlace place = JoinBoxLine(txn);
    if (place == LINE_FULL) {
        InterlockedDecrement(&g_UnderWay);
        ReleaseTransaction(txn);
        return false;
    }
    // A held transaction belongs to its line from here, and one handed to a worker to the
    // worker: Start reads nothing of it afterwards.
    if (place == LINE_GO && !HandToWorker(txn)) {
        LeaveBoxLineUnstarted(txn);
        InterlockedDecrement(&g_UnderWay);
        ReleaseTransaction(txn);
        return false;
    }
    return true;
}
