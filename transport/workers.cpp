// The workers: at most TXN_MAX_WORKERS threads, each running one transaction at a time, and
// the queue of transactions handed on while all of them were busy, oldest first. A box has at
// most one transaction in this queue (the next key for it is handed on only once this one has
// begun its connection attempt or ended), so the queue serves the boxes in turn.
#include "transport/transport_internal.h"

namespace {

// Shared by every thread that hands a transaction on, so guarded by a lock that is never held
// across a system call.
SRWLOCK g_WorkerLock = SRWLOCK_INIT;
int g_ActiveWorkers = 0;
CommandTransaction *g_PendingHead = NULL;
CommandTransaction *g_PendingTail = NULL;

DWORD WINAPI TransactionThread(LPVOID param);

HANDLE CreateWorker(CommandTransaction *txn)
{
    return CreateThread(NULL, TXN_STACK_RESERVE, TransactionThread, txn,
                        STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
}

// Under the lock.
void Enqueue(CommandTransaction *txn)
{
    txn->next_waiting = NULL;
    if (g_PendingTail) g_PendingTail->next_waiting = txn;
    else g_PendingHead = txn;
    g_PendingTail = txn;
}

// True when the caller is to create a worker for the transaction (its place is taken); false
// when the transaction was queued for the place of a worker that ends.
bool TakeWorkerPlaceOrQueue(CommandTransaction *txn)
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    bool place = g_ActiveWorkers < TXN_MAX_WORKERS && !g_PendingHead;
    if (place) ++g_ActiveWorkers;
    else Enqueue(txn);
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return place;
}

// No thread for the place taken: the place is given back, and the transaction waits for a
// worker that is alive and will end; false when there is none.
bool QueueForALiveWorker(CommandTransaction *txn)
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    --g_ActiveWorkers;
    bool queued = g_ActiveWorkers > 0;
    if (queued) Enqueue(txn);
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return queued;
}

// A worker that is done hands its place to the oldest queued transaction; null: no one waits,
// and the place is given back.
CommandTransaction *NextQueued()
{
    AcquireSRWLockExclusive(&g_WorkerLock);
    CommandTransaction *next = g_PendingHead;
    if (next) {
        g_PendingHead = next->next_waiting;
        if (!g_PendingHead) g_PendingTail = NULL;
        next->next_waiting = NULL;
    } else {
        --g_ActiveWorkers;
    }
    ReleaseSRWLockExclusive(&g_WorkerLock);
    return next;
}

DWORD WINAPI TransactionThread(LPVOID param)
{
    DWORD exit_code = RunTransaction((CommandTransaction *)param);
    // This worker's place goes to the oldest queued transaction. One that cannot get a thread
    // of its own runs on this one.
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

}  // namespace

bool HandToWorker(CommandTransaction *txn)
{
    if (!TakeWorkerPlaceOrQueue(txn)) return true;
    HANDLE thread = CreateWorker(txn);
    if (!thread) return QueueForALiveWorker(txn);
    CloseHandle(thread);  // nothing ever waits for a worker
    return true;
}
