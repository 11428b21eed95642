// Winsock counts start-ups per process, and Wine neither keeps that count safely against
// concurrent calls nor spares other sockets when it falls to 0: workers start and clean up
// one at a time, each holding its start-up for as long as it has a socket.
#include "transport/transport_internal.h"

namespace {

SRWLOCK g_WinsockLock = SRWLOCK_INIT;

}  // namespace

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
