#include "transport/wake.h"

#include <ws2tcpip.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <new>

#include "address/ipv4_value.h"
#include "transport/adapters.h"
#include "transport/system_library.h"
#include "transport/winsock_session.h"

namespace {

// First try of the neighbour table's size; the call says when it is short.
const ULONG TABLE_BUFFER = 16 * 1024;
const unsigned long LOOPBACK_NETWORK = 0x7F000000ul;  // 127.0.0.0/8, the loopback network

typedef DWORD(WINAPI *GetIpNetTableFunction)(PMIB_IPNETTABLE, PULONG, BOOL);

// The broadcast of the narrowest up adapter network that holds the box's address, or 0: where a
// VPN or a virtual adapter holds a wider network around the box's, the box's own is the narrower.
unsigned long AdapterBroadcastFor(unsigned long box)
{
    NetworkCandidate adapters[ADAPTER_ADDRESSES_MAX];
    int count = ReadAdapterAddresses(adapters, ADAPTER_ADDRESSES_MAX);
    unsigned long best = 0;
    int best_length = -1;
    for (int i = 0; i < count; ++i) {
        unsigned prefix_length = (unsigned)adapters[i].prefix_length;
        unsigned long broadcast = DirectedBroadcast(adapters[i].address, prefix_length);
        // The box's network only: the same broadcast means the same network.
        if (!broadcast || broadcast != DirectedBroadcast(box, prefix_length)) continue;
        if ((int)prefix_length > best_length) {
            best = broadcast;
            best_length = (int)prefix_length;
        }
    }
    return best;
}

DWORD WINAPI WakeOnWorker(void *parameter)
{
    WakeOutcome *outcome = (WakeOutcome *)parameter;
    outcome->target = PrepareWake(outcome->target.address, outcome->target.hardware);
    outcome->sent = SendWake(outcome->target);
    // The window frees what it is given; what it could not be given is freed here.
    if (!PostMessageA(outcome->window, WM_WAKE_SENT, 0, (LPARAM)outcome)) delete outcome;
    return 0;
}

DWORD WINAPI LookUpHardwareAddress(void *parameter)
{
    LearnedHardwareAddress *learned = (LearnedHardwareAddress *)parameter;
    MIB_IPNETTABLE *table = ReadNeighbourTable();
    bool found = table && PickNeighbourEntry(table, learned->address, learned->hardware);
    free(table);
    // The window frees what it is given; what it could not be given is freed here.
    if (!found || !PostMessageA(learned->window, WM_WAKE_LEARNED, 0, (LPARAM)learned)) delete learned;
    return 0;
}

// A usable (not invalid) entry with a six-byte, non-zero hardware address.
bool UsableRow(const MIB_IPNETROW &row)
{
    if (row.dwPhysAddrLen != 6 || row.dwType == MIB_IPNET_TYPE_INVALID) return false;
    for (int i = 0; i < 6; ++i)
        if (row.bPhysAddr[i]) return true;
    return false;  // an entry still being resolved
}

// A worker of its own that owns the record from here on (and posts it on); where the thread
// cannot start, the record is freed here.
template <typename Record> bool StartWorkerWith(LPTHREAD_START_ROUTINE run, Record *record)
{
    HANDLE worker = CreateThread(NULL, 0, run, record, 0, NULL);
    if (!worker) {
        delete record;
        return false;
    }
    CloseHandle(worker);
    return true;
}

}  // namespace

WakeTarget PrepareWake(const unsigned char *address, const unsigned char *hardware)
{
    WakeTarget target = {};
    memcpy(target.address, address, 4);
    memcpy(target.hardware, hardware, 6);
    unsigned long box = Ipv4Value::Of(address).Number();
    unsigned long broadcast = (box & 0xFF000000ul) == LOOPBACK_NETWORK ? DirectedBroadcast(box, 8)
                                                                      : AdapterBroadcastFor(box);
    if (broadcast) {
        Ipv4Value::FromNumber(broadcast).CopyTo(target.broadcast);
        target.has_broadcast = true;
    }
    return target;
}

WakeSent SendWake(const WakeTarget &target)
{
    WakeSent sent = {0, 0};
    if (!StartWinsock()) return sent;
    SOCKET udp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    BOOL allow = TRUE;
    if (udp != INVALID_SOCKET && target.has_broadcast)
        setsockopt(udp, SOL_SOCKET, SO_BROADCAST, (const char *)&allow, sizeof(allow));
    unsigned char packet[WAKE_PACKET_SIZE];
    BuildWakePacket(target.hardware, packet);
    sockaddr_in to[2] = {};
    int *counts[2];
    int destinations = 0;
    if (target.has_broadcast) {
        counts[destinations] = &sent.broadcast;
        memcpy(&to[destinations++].sin_addr, target.broadcast, 4);
    }
    counts[destinations] = &sent.box;
    memcpy(&to[destinations++].sin_addr, target.address, 4);
    for (int round = 0; udp != INVALID_SOCKET && round < WAKE_SENDS; ++round) {
        if (round) Sleep(WAKE_INTERVAL_MS);
        for (int i = 0; i < destinations; ++i) {
            to[i].sin_family = AF_INET;
            to[i].sin_port = htons(WAKE_PORT);
            if (sendto(udp, (const char *)packet, WAKE_PACKET_SIZE, 0, (const sockaddr *)&to[i], sizeof(to[i])) ==
                WAKE_PACKET_SIZE)
                ++*counts[i];
        }
    }
    if (udp != INVALID_SOCKET) closesocket(udp);
    CleanUpWinsock();
    return sent;
}

void DescribeWakeDestinations(const WakeTarget &target, char *text)
{
    char box[IPV4_TEXT_SIZE], broadcast[IPV4_TEXT_SIZE];
    Ipv4Value::Of(target.address).Format(box);
    if (!target.has_broadcast) {
        snprintf(text, WAKE_DESTINATIONS_TEXT_SIZE, "%s", box);
        return;
    }
    Ipv4Value::Of(target.broadcast).Format(broadcast);
    snprintf(text, WAKE_DESTINATIONS_TEXT_SIZE, "%s and %s", box, broadcast);
}

bool PickNeighbourEntry(const MIB_IPNETTABLE *table, const unsigned char *address, unsigned char *hardware)
{
    DWORD wanted;
    memcpy(&wanted, address, 4);  // dwAddr is in network order, as the address's bytes
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW &row = table->table[i];
        if (row.dwAddr != wanted || !UsableRow(row)) continue;
        memcpy(hardware, row.bPhysAddr, 6);
        return true;
    }
    return false;
}

MIB_IPNETTABLE *ReadNeighbourTable()
{
    HMODULE iphlpapi = LoadSystemLibrary("iphlpapi.dll");
    if (!iphlpapi) return NULL;
    GetIpNetTableFunction get_table = (GetIpNetTableFunction)(void *)GetProcAddress(iphlpapi, "GetIpNetTable");
    ULONG size = TABLE_BUFFER;
    MIB_IPNETTABLE *table = (MIB_IPNETTABLE *)malloc(size);
    DWORD status = table && get_table ? get_table(table, &size, FALSE) : ERROR_NOT_SUPPORTED;
    if (status == ERROR_INSUFFICIENT_BUFFER) {
        free(table);
        table = (MIB_IPNETTABLE *)malloc(size);
        status = table ? get_table(table, &size, FALSE) : ERROR_NOT_ENOUGH_MEMORY;
    }
    FreeLibrary(iphlpapi);
    if (status == NO_ERROR) return table;
    free(table);
    return NULL;
}

int UsableNeighbours(const MIB_IPNETTABLE *table, Neighbour *entries, int most)
{
    int count = 0;
    for (DWORD i = 0; i < table->dwNumEntries && count < most; ++i) {
        const MIB_IPNETROW &row = table->table[i];
        if (!UsableRow(row)) continue;
        entries[count].address = ntohl(row.dwAddr);
        memcpy(entries[count++].hardware, row.bPhysAddr, 6);
    }
    return count;
}

bool StartWake(HWND window, const unsigned char *address, const unsigned char *hardware, UINT_PTR tag)
{
    WakeOutcome *outcome = new (std::nothrow) WakeOutcome();
    if (!outcome) return false;
    outcome->window = window;
    outcome->tag = tag;
    memcpy(outcome->target.address, address, 4);
    memcpy(outcome->target.hardware, hardware, 6);
    return StartWorkerWith(WakeOnWorker, outcome);
}

bool StartHardwareAddressLookup(HWND window, const unsigned char *address)
{
    LearnedHardwareAddress *learned = new (std::nothrow) LearnedHardwareAddress();
    if (!learned) return false;
    learned->window = window;
    memcpy(learned->address, address, 4);
    return StartWorkerWith(LookUpHardwareAddress, learned);
}
