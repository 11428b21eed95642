// Starting a transaction: its own copy of what it was given, its place in its box's line, and
// the hand-over to a worker; and the count of transactions under way.
#include "transport/transport_internal.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Started transactions that have not ended.
volatile LONG g_UnderWay = 0;
// A button's few keys are listed on the stack; a longer list on the heap.
const int START_ALL_ON_STACK = 8;

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
    CommandPart part = {bytes, length, tag};
    return StartAll(owner, address, port, &part, 1);
}

namespace {

// Counted before they join their line: once there, a worker may end them at any moment.
bool StartMade(CommandTransaction *const *txns, int count)
{
    for (int i = 0; i < count; ++i) txns[i]->counted = true;
    InterlockedExchangeAdd(&g_UnderWay, count);
    LinePlace place = JoinBoxLine(txns, count);
    if (place == LINE_FULL) {
        InterlockedExchangeAdd(&g_UnderWay, -count);
        return false;
    }
    // Held transactions belong to their line from here, and one handed to a worker to the
    // worker: nothing of them is read afterwards.
    if (place == LINE_GO && !HandToWorker(txns[0])) {
        LeaveBoxLineUnstarted(txns, count);
        InterlockedExchangeAdd(&g_UnderWay, -count);
        return false;
    }
    return true;
}

}  // namespace

bool CommandTransaction::StartAll(HWND owner, const unsigned char *address, unsigned short port,
                                  const CommandPart *parts, int count)
{
    if (!address || !parts || count <= 0) return false;
    for (int i = 0; i < count; ++i)
        if (!parts[i].bytes || parts[i].length <= 0) return false;
    CommandTransaction *few[START_ALL_ON_STACK];
    CommandTransaction **made =
        count <= START_ALL_ON_STACK ? few : (CommandTransaction **)calloc((size_t)count, sizeof(CommandTransaction *));
    if (!made) return false;
    // Every one is made before any joins the line: without memory for the last, none goes.
    int ready = 0;
    while (ready < count) {
        const CommandPart &part = parts[ready];
        if (!(made[ready] = MakeTransaction(owner, address, port, part.bytes, part.length, part.tag))) break;
        ++ready;
    }
    bool started = ready == count && StartMade(made, count);
    if (!started)
        for (int i = 0; i < ready; ++i) ReleaseTransaction(made[i]);
    if (made != few) free(made);
    return started;
}
