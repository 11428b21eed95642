// The order of one box's keys. Keys for the same box (address and port) reach it in the order
// they were started: a key waits until the key before it for that box has sent its whole
// command or ended, then at most TXN_ORDER_HOLD_MS more for it to end, and only then connects.
// A key for another box waits for none of them.
//
// Each box with keys under way has a line in a small table: its keys not yet handed to a worker
// (held, oldest first) and the turn of its newest key. A key is handed to a worker once the key
// before it has begun its connection attempt (or ended): it sets itself up meanwhile and then
// waits on its worker. So a box has at most one worker waiting for its turn, and the keys behind
// that one wait without a thread.
#include "transport/transport_internal.h"

#include <stdlib.h>
#include <string.h>

// Shared by a transaction and the key after it (or its line, until that key comes); freed by
// the last holder. Its stage only rises and is written under the lock.
struct TransactionTurn {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    volatile LONG stage;    // TURN_WAITING, TURN_CONNECTING, TURN_SENT, TURN_ENDED
    volatile LONG holders;
};

struct BoxLine {
    unsigned char address[4];
    unsigned short port;
    int under_way;                    // keys joined and not ended; 0: the entry is free
    CommandTransaction *first_held;   // keys not yet handed to a worker, oldest first
    CommandTransaction *last_held;
    TransactionTurn *last_turn;       // the newest key's turn, held for the next key
    unsigned joined;                  // keys that joined since the entry was last free
    unsigned failed_through;          // keys up to this place end unsent (0: none)
    int failure;                      // with this error: a key before them could not connect
};

namespace {

enum { TURN_WAITING = 0, TURN_CONNECTING = 1, TURN_SENT = 2, TURN_ENDED = 3 };

// The lines, shared by the starting thread and the workers, under a lock that is never held
// across a wait.
SRWLOCK g_LineLock = SRWLOCK_INIT;
BoxLine g_Lines[TXN_MAX_BOXES];

LONG StageOf(TransactionTurn *turn) { return InterlockedCompareExchange(&turn->stage, 0, 0); }

void HoldTurn(TransactionTurn *turn) { InterlockedIncrement(&turn->holders); }

void AdvanceTurn(TransactionTurn *turn, LONG stage)
{
    if (!turn || StageOf(turn) >= stage) return;
    AcquireSRWLockExclusive(&turn->lock);
    turn->stage = stage;
    ReleaseSRWLockExclusive(&turn->lock);
    WakeAllConditionVariable(&turn->changed);
}

BoxLine *FindLine(const CommandTransaction *txn)
{
    BoxLine *free_line = NULL;
    for (BoxLine &line : g_Lines) {
        if (line.under_way == 0) {
            if (!free_line) free_line = &line;
        } else if (line.port == txn->port && memcmp(line.address, txn->device_address, 4) == 0) {
            return &line;
        }
    }
    if (free_line) {
        memcpy(free_line->address, txn->device_address, 4);
        free_line->port = txn->port;
    }
    return free_line;
}

// Under the line lock: the entry is free again.
void FreeLine(BoxLine *line)
{
    LetGoOfTurn(line->last_turn);
    line->last_turn = NULL;
    line->joined = 0;
    line->failed_through = 0;
    line->failure = 0;
}

// Under the line lock: the entry of a box, without taking a free one.
BoxLine *ExistingLine(const unsigned char *address, unsigned short port)
{
    for (BoxLine &line : g_Lines)
        if (line.under_way > 0 && line.port == port && memcmp(line.address, address, 4) == 0) return &line;
    return NULL;
}

// Advances the transaction's turn; under the line lock, so that a key joining its line sees
// either the old stage and is held, or the new one and goes.
CommandTransaction *AdvanceInLine(CommandTransaction *txn, LONG stage)
{
    AcquireSRWLockExclusive(&g_LineLock);
    AdvanceTurn(txn->turn, stage);
    CommandTransaction *next = NULL;
    BoxLine *line = txn->line;
    // Only the key right after this one waits for it.
    if (line && line->first_held && line->first_held->previous == txn->turn) {
        next = line->first_held;
        line->first_held = next->next_waiting;
        if (!line->first_held) line->last_held = NULL;
        next->next_waiting = NULL;
    }
    if (line && stage == TURN_ENDED) {
        txn->line = NULL;
        if (--line->under_way == 0) FreeLine(line);  // no key left for the box
    }
    ReleaseSRWLockExclusive(&g_LineLock);
    return next;
}

}  // namespace

TransactionTurn *NewTurn()
{
    TransactionTurn *turn = (TransactionTurn *)malloc(sizeof(TransactionTurn));
    if (!turn) return NULL;
    InitializeSRWLock(&turn->lock);
    InitializeConditionVariable(&turn->changed);
    turn->stage = TURN_WAITING;
    turn->holders = 1;  // its transaction
    return turn;
}

void LetGoOfTurn(TransactionTurn *turn)
{
    if (turn && InterlockedDecrement(&turn->holders) == 0) free(turn);
}

LinePlace JoinBoxLine(CommandTransaction *const *txns, int count)
{
    // One hold of the lock: no key before them can hand any of them on while they join, and
    // they join all or none.
    AcquireSRWLockExclusive(&g_LineLock);
    BoxLine *line = FindLine(txns[0]);
    if (!line || count > TXN_MAX_WAITING_PER_BOX - line->under_way) {
        ReleaseSRWLockExclusive(&g_LineLock);
        return LINE_FULL;
    }
    bool first_goes = false;
    for (int i = 0; i < count; ++i) {
        CommandTransaction *txn = txns[i];
        ++line->under_way;
        txn->line = line;
        txn->line_seq = ++line->joined;
        txn->previous = line->last_turn;  // the line's hold on it passes to this key
        line->last_turn = txn->turn;
        HoldTurn(txn->turn);
        // The ones after the first wait behind it: its turn has not begun.
        if (i == 0 && !line->first_held && (!txn->previous || StageOf(txn->previous) >= TURN_CONNECTING)) {
            first_goes = true;
            continue;
        }
        txn->next_waiting = NULL;
        if (line->last_held) line->last_held->next_waiting = txn;
        else line->first_held = txn;
        line->last_held = txn;
    }
    ReleaseSRWLockExclusive(&g_LineLock);
    return first_goes ? LINE_GO : LINE_HELD;
}

void LeaveBoxLineUnstarted(CommandTransaction *const *txns, int count)
{
    AcquireSRWLockExclusive(&g_LineLock);
    BoxLine *line = txns[0]->line;
    // The first went at once and has not begun, so the others are the keys held in the line
    // (behind it, nothing before them) and the line's newest turns are theirs, newest last.
    for (int i = count - 1; i >= 0; --i) {
        CommandTransaction *txn = txns[i];
        LetGoOfTurn(line->last_turn);
        line->last_turn = txn->previous;
        txn->previous = NULL;
        txn->line = NULL;
        txn->next_waiting = NULL;
        --line->joined;
        --line->under_way;
    }
    line->first_held = line->last_held = NULL;
    if (line->under_way == 0) FreeLine(line);
    ReleaseSRWLockExclusive(&g_LineLock);
}

CommandTransaction *MarkConnectingInLine(CommandTransaction *txn) { return AdvanceInLine(txn, TURN_CONNECTING); }

CommandTransaction *MarkSentInLine(CommandTransaction *txn) { return AdvanceInLine(txn, TURN_SENT); }

CommandTransaction *MarkEndedInLine(CommandTransaction *txn) { return AdvanceInLine(txn, TURN_ENDED); }

CommandTransaction *FailKeysWaitingInLine(CommandTransaction *txn, int error)
{
    AcquireSRWLockExclusive(&g_LineLock);
    CommandTransaction *failing = NULL;
    if (BoxLine *line = txn->line) {
        line->failed_through = line->joined;
        line->failure = error;
        // Every held key joined before now; a key that joins from here on tries for itself.
        failing = line->first_held;
        line->first_held = line->last_held = NULL;
    }
    ReleaseSRWLockExclusive(&g_LineLock);
    return failing;
}

int LineFailure(const CommandTransaction *txn)
{
    AcquireSRWLockShared(&g_LineLock);
    const BoxLine *line = txn->line;
    int error = line && line->failed_through && txn->line_seq <= line->failed_through ? line->failure : 0;
    ReleaseSRWLockShared(&g_LineLock);
    return error;
}

int KeysInLine(const unsigned char *address, unsigned short port)
{
    AcquireSRWLockShared(&g_LineLock);
    const BoxLine *line = ExistingLine(address, port);
    int keys = line ? line->under_way : 0;
    ReleaseSRWLockShared(&g_LineLock);
    return keys;
}

int RoomInLine(const unsigned char *address, unsigned short port)
{
    AcquireSRWLockShared(&g_LineLock);
    int room = 0;
    if (const BoxLine *line = ExistingLine(address, port)) {
        room = TXN_MAX_WAITING_PER_BOX - line->under_way;
    } else {
        for (const BoxLine &line : g_Lines)
            if (line.under_way == 0) room = TXN_MAX_WAITING_PER_BOX;
    }
    ReleaseSRWLockShared(&g_LineLock);
    return room;
}

// However long the key before it takes to send (it ends within its own bounds, so this wait
// does too), then at most TXN_ORDER_HOLD_MS for it to end. A key before it already ended
// costs nothing.
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
