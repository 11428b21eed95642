#include "transport/box_search.h"

#include <ws2tcpip.h>
#include <stdlib.h>
#include <string.h>
#include <new>

#include "address/ipv4_value.h"
#include "transport/adapters.h"
#include "transport/command_protocol.h"
#include "transport/wake.h"
#include "transport/winsock_session.h"

// Shared by the owner and the worker; freed by the last of the two to let go. The lock makes a
// post and the stop exclude each other, so nothing is posted once the stop has returned.
struct BoxSearch {
    HWND owner;
    SearchRange range;
    unsigned short tag;
    MovedBoxFinding *moved;  // a search for the box that moved: its progress is not posted
    SRWLOCK lock;
    bool stopped;
    volatile LONG holders;  // 2 at first: the owner and the worker
};

namespace {

struct Attempt {
    SOCKET socket;
    unsigned long address;
    DWORD started;
};

const DWORD SEARCH_STACK_RESERVE = 64 * 1024;

static_assert(SEARCH_MAX_ATTEMPTS <= FD_SETSIZE, "every attempt fits one select set");

void LetGo(BoxSearch *search)
{
    if (InterlockedDecrement(&search->holders) == 0) free(search);
}

bool Stopped(BoxSearch *search)
{
    AcquireSRWLockExclusive(&search->lock);
    bool stopped = search->stopped;
    ReleaseSRWLockExclusive(&search->lock);
    return stopped;
}

bool Post(BoxSearch *search, UINT message, WPARAM wParam, LPARAM lParam)
{
    AcquireSRWLockExclusive(&search->lock);
    bool posted = !search->stopped && PostMessageA(search->owner, message, wParam, lParam);
    ReleaseSRWLockExclusive(&search->lock);
    return posted;
}

// The progress of a search for a box that moved is its own: only its end is posted.
void PostProgress(BoxSearch *search, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!search->moved) Post(search, message, wParam, lParam);
}

sockaddr_in CommandPortOf(unsigned long address)
{
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(DEVICE_COMMAND_PORT);
    peer.sin_addr.s_addr = htonl(address);
    return peer;
}

// Opens a non-blocking connection attempt. 1: under way; 2: connected at once; 0: failed at once.
int BeginAttempt(Attempt *attempt, unsigned long address)
{
    attempt->address = address;
    attempt->started = GetTickCount();
    attempt->socket = socket(AF_INET, SOCK_STREAM, 0);
    if (attempt->socket == INVALID_SOCKET) return 0;
    u_long non_blocking = 1;
    sockaddr_in peer = CommandPortOf(address);
    if (ioctlsocket(attempt->socket, FIONBIO, &non_blocking) == 0) {
        if (connect(attempt->socket, (sockaddr *)&peer, sizeof(peer)) == 0) return 2;
        if (WSAGetLastError() == WSAEWOULDBLOCK) return 1;
    }
    closesocket(attempt->socket);
    attempt->socket = INVALID_SOCKET;
    return 0;
}

// Closes at once, without a byte sent: the box sees a connection end with nothing on it.
void EndAttempt(Attempt *attempt)
{
    if (attempt->socket != INVALID_SOCKET) closesocket(attempt->socket);
    attempt->socket = INVALID_SOCKET;
}

// Asks every address of the range, SEARCH_MAX_ATTEMPTS at a time; returns how many answered
// (connected, refused, failed or given up) and lists in `found` those that connected.
unsigned Scan(BoxSearch *search, unsigned long *found, unsigned *found_count)
{
    Attempt attempts[SEARCH_MAX_ATTEMPTS];
    int active = 0;
    unsigned next = 0, tried = 0, reported = 0;
    while ((next < search->range.count || active > 0) && !Stopped(search)) {
        while (active < SEARCH_MAX_ATTEMPTS && next < search->range.count) {
            unsigned long address = search->range.first + next++;
            int begun = BeginAttempt(&attempts[active], address);
            if (begun == 1) {
                ++active;
                continue;
            }
            if (begun == 2) {
                found[(*found_count)++] = address;
                PostProgress(search, WM_SEARCH_FOUND, search->tag, (LPARAM)Ipv4Value::FromNumber(address).Notice());
                EndAttempt(&attempts[active]);
            }
            ++tried;
        }
        if (active > 0) {
            fd_set connected, failed;
            FD_ZERO(&connected);
            FD_ZERO(&failed);
            for (int i = 0; i < active; ++i) {
                FD_SET(attempts[i].socket, &connected);
                FD_SET(attempts[i].socket, &failed);
            }
            timeval poll = {0, (long)SEARCH_POLL_MS * 1000};
            if (select(0, NULL, &connected, &failed, &poll) == SOCKET_ERROR) {
                FD_ZERO(&connected);  // only the time limit ends the attempts now
                FD_ZERO(&failed);
                Sleep(SEARCH_POLL_MS);
            }
            DWORD now = GetTickCount();
            for (int i = active - 1; i >= 0; --i) {
                Attempt &attempt = attempts[i];
                bool took = FD_ISSET(attempt.socket, &connected) != 0;
                if (!took && !FD_ISSET(attempt.socket, &failed) && now - attempt.started < SEARCH_ATTEMPT_MS)
                    continue;
                if (took) {
                    found[(*found_count)++] = attempt.address;
                    PostProgress(search, WM_SEARCH_FOUND, search->tag,
                         (LPARAM)Ipv4Value::FromNumber(attempt.address).Notice());
                }
                EndAttempt(&attempt);
                attempts[i] = attempts[--active];
                ++tried;
            }
        }
        if (tried != reported) {
            PostProgress(search, WM_SEARCH_TRIED, search->tag, tried);
            reported = tried;
        }
    }
    for (int i = 0; i < active; ++i) EndAttempt(&attempts[i]);  // stopped
    return tried;
}

// Names of the addresses found, one at a time, until the owner stops the search. A slow name
// service delays only the names: the list is complete by now.
void LookUpNames(BoxSearch *search, const unsigned long *found, unsigned found_count)
{
    for (unsigned i = 0; i < found_count && !Stopped(search); ++i) {
        if ((found[i] >> 24) == 127) continue;  // loopback: no name worth asking for
        sockaddr_in peer = CommandPortOf(found[i]);
        char host[NI_MAXHOST] = {0};
        if (getnameinfo((sockaddr *)&peer, sizeof(peer), host, sizeof(host), NULL, 0, NI_NAMEREQD) != 0) continue;
        BoxName *name = (BoxName *)calloc(1, sizeof(BoxName));
        if (!name) return;
        name->address = found[i];
        size_t length = strlen(host);
        memcpy(name->name, host, length < (size_t)BOX_NAME_MAX ? length : BOX_NAME_MAX - 1);  // cut, NUL kept
        if (!Post(search, WM_SEARCH_NAME, search->tag, (LPARAM)name)) ReleaseBoxName(name);
    }
}

// The usable entries of the neighbour table, read once (free them with free); null when it
// cannot be read.
Neighbour *ReadNeighbours(int *count)
{
    MIB_IPNETTABLE *table = ReadNeighbourTable();
    if (!table) return NULL;
    int most = (int)table->dwNumEntries;
    Neighbour *entries = (Neighbour *)calloc(most ? (size_t)most : 1, sizeof(Neighbour));
    if (entries) *count = UsableNeighbours(table, entries, most);
    free(table);
    return entries;
}

// The addresses that took the connection, against the neighbour table read once after them:
// the connections just made put each of them in it.
void ChooseFromTable(MovedBoxFinding *finding, const unsigned long *found, unsigned found_count)
{
    int count = 0;
    Neighbour *entries = ReadNeighbours(&count);
    if (!entries) return;
    unsigned long address = 0;
    finding->answered = found_count;
    finding->choice = ChooseMovedBox(entries, count, found, (int)found_count, finding->hardware, &address,
                                     &finding->matching);
    Ipv4Value::FromNumber(address).CopyTo(finding->found);
    finding->searched = true;
    free(entries);
}

// After a refusal: true when another device holds the old address, so that the box is elsewhere.
bool RefusedByAnother(const MovedBoxFinding *finding)
{
    int count = 0;
    Neighbour *entries = ReadNeighbours(&count);
    bool another = entries && AddressTakenByAnother(entries, count, Ipv4Value::Of(finding->old_address).Number(),
                                                    finding->hardware);
    free(entries);
    return another;
}

// Sweeps the range and chooses; a search stopped half-way chooses nothing.
void LookForMovedBox(BoxSearch *search)
{
    if (search->moved->refused && !RefusedByAnother(search->moved)) return;  // the box itself refused
    unsigned long *found = (unsigned long *)calloc(search->range.count, sizeof(unsigned long));
    unsigned found_count = 0;
    if (found && StartWinsock()) {
        Scan(search, found, &found_count);
        if (!Stopped(search)) ChooseFromTable(search->moved, found, found_count);
        CleanUpWinsock();
    }
    free(found);
}

DWORD WINAPI MovedBoxThread(LPVOID param)
{
    BoxSearch *search = (BoxSearch *)param;
    LookForMovedBox(search);
    // The owner frees what it is given; what it could not be given is freed here.
    if (!Post(search, WM_MOVED_BOX_FOUND, search->tag, (LPARAM)search->moved)) delete search->moved;
    search->moved = NULL;
    LetGo(search);
    return 0;
}

// The search made ready for the box that left old_address; false when its /24 may not be asked.
bool PrepareMovedBoxSearch(BoxSearch *search, MovedBoxFinding *finding, const unsigned char *old_address,
                           const unsigned char *hardware, bool refused)
{
    finding->refused = refused;
    memcpy(finding->old_address, old_address, 4);
    memcpy(finding->hardware, hardware, 6);
    if (MovedBoxRange(Ipv4Value::Of(old_address).Number(), &finding->range) != RANGE_OK) return false;
    search->range = finding->range;
    search->moved = finding;
    InitializeSRWLock(&search->lock);
    return true;
}

DWORD WINAPI SearchThread(LPVOID param)
{
    BoxSearch *search = (BoxSearch *)param;
    unsigned long *found = (unsigned long *)calloc(search->range.count, sizeof(unsigned long));
    unsigned found_count = 0, tried = 0;
    bool started = found && StartWinsock();
    if (started) tried = Scan(search, found, &found_count);
    // Without Winsock or memory no address was asked; the search still ends.
    Post(search, WM_SEARCH_DONE, search->tag, tried);
    if (started) {
        LookUpNames(search, found, found_count);
        CleanUpWinsock();
    }
    free(found);
    LetGo(search);
    return 0;
}

}  // namespace

void ReleaseBoxName(BoxName *name) { free(name); }

BoxSearch *StartBoxSearch(HWND owner, const SearchRange &range, unsigned short tag)
{
    if (range.count == 0 || range.count > SEARCH_MAX_ADDRESSES) return NULL;
    BoxSearch *search = (BoxSearch *)calloc(1, sizeof(BoxSearch));
    if (!search) return NULL;
    search->owner = owner;
    search->range = range;
    search->tag = tag;
    InitializeSRWLock(&search->lock);
    search->holders = 2;
    HANDLE thread = CreateThread(NULL, SEARCH_STACK_RESERVE, SearchThread, search,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (!thread) {
        free(search);
        return NULL;
    }
    CloseHandle(thread);  // nothing ever waits for the worker
    return search;
}

BoxSearch *StartMovedBoxSearch(HWND owner, const unsigned char *old_address, const unsigned char *hardware,
                               bool refused, unsigned short tag)
{
    BoxSearch *search = (BoxSearch *)calloc(1, sizeof(BoxSearch));
    MovedBoxFinding *finding = new (std::nothrow) MovedBoxFinding();
    if (!search || !finding || !PrepareMovedBoxSearch(search, finding, old_address, hardware, refused)) {
        free(search);
        delete finding;
        return NULL;
    }
    search->owner = owner;
    search->tag = tag;
    search->holders = 2;
    HANDLE thread = CreateThread(NULL, SEARCH_STACK_RESERVE, MovedBoxThread, search,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (!thread) {
        delete finding;
        free(search);
        return NULL;
    }
    CloseHandle(thread);  // nothing ever waits for the worker
    return search;
}

void FindMovedBox(const unsigned char *old_address, const unsigned char *hardware, bool refused,
                  MovedBoxFinding *finding)
{
    *finding = MovedBoxFinding();
    BoxSearch search = {};  // no owner: nothing is posted, and nothing stops it
    if (PrepareMovedBoxSearch(&search, finding, old_address, hardware, refused)) LookForMovedBox(&search);
}

void StopBoxSearch(BoxSearch *search)
{
    if (!search) return;
    AcquireSRWLockExclusive(&search->lock);
    search->stopped = true;
    ReleaseSRWLockExclusive(&search->lock);
    LetGo(search);
}

bool FindLocalNetwork(char *text)
{
    NetworkCandidate candidates[ADAPTER_ADDRESSES_MAX];
    return OfferedRange(candidates, ReadAdapterAddresses(candidates, ADAPTER_ADDRESSES_MAX), text) != 0;
}
