// A message-only window that stands in for the main window as the owner of transactions:
// it records the notices it receives and frees every TransactionResult as the owner must.
#pragma once
#include "transport/command_transaction.h"

#include <string>
#include <vector>

struct OwnerEvent {
    UINT message;           // WM_TXN_SENT, WM_TXN_RECEIVED, WM_TXN_UNDELIVERED or WM_TXN_DONE
    bool has_result;        // DONE only: lParam was not null
    std::string reply;      // DONE only: the received bytes
    bool reply_null;        // DONE only: received_bytes was null
    unsigned char address[4];   // DONE and UNDELIVERED
    WPARAM wparam;              // UNDELIVERED: the error and the tag; DONE, SENT: the tag
};

struct OwnerWindow {
    HWND window = NULL;
    std::vector<OwnerEvent> events;

    bool Create();
    void Destroy();
    size_t Count(UINT message) const;
    // Pumps this thread's messages until `done_count` WM_TXN_DONE have arrived or the time
    // runs out; returns whether they arrived.
    bool PumpUntilDone(size_t done_count, DWORD timeout_ms);
    // Pumps messages for a while (to see that nothing more arrives).
    void PumpFor(DWORD ms);
    ~OwnerWindow() { Destroy(); }
};

// Counts of this process's threads and open handles, for leak checks.
int ThreadCount();
int HandleCount();
// Waits (bounded) until the thread count falls to at most `target`.
bool WaitForThreadCount(int target, DWORD timeout_ms);
