#include "transport/adapters.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <stdlib.h>

#include "transport/system_library.h"

namespace {

const ULONG ADAPTER_BUFFER = 16 * 1024;  // enough for a few adapters; one retry at the size asked

typedef ULONG(WINAPI *GetAdaptersAddressesFunction)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

// The IPv4 address a socket address holds, as a number; false for any other family.
bool ReadIpv4(const SOCKADDR *socket_address, unsigned long *address)
{
    if (!socket_address || socket_address->sa_family != AF_INET) return false;
    *address = ntohl(((const sockaddr_in *)socket_address)->sin_addr.s_addr);
    return true;
}

// An adapter without a route out lists no gateway, or 0.0.0.0.
bool HasDefaultGateway(const IP_ADAPTER_ADDRESSES *adapter)
{
    unsigned long gateway;
    for (const IP_ADAPTER_GATEWAY_ADDRESS *entry = adapter->FirstGatewayAddress; entry; entry = entry->Next)
        if (ReadIpv4(entry->Address.lpSockaddr, &gateway) && gateway != 0) return true;
    return false;
}

}  // namespace

int ReadAdapterAddresses(NetworkCandidate *addresses, int most)
{
    // Resolved at run time, so the programs start without iphlpapi.dll loaded.
    HMODULE iphlpapi = LoadSystemLibrary("iphlpapi.dll");
    if (!iphlpapi) return 0;
    GetAdaptersAddressesFunction get_adapters =
        (GetAdaptersAddressesFunction)(void *)GetProcAddress(iphlpapi, "GetAdaptersAddresses");
    const ULONG flags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_INCLUDE_GATEWAYS;
    ULONG size = ADAPTER_BUFFER;
    IP_ADAPTER_ADDRESSES *adapters = (IP_ADAPTER_ADDRESSES *)malloc(size);
    ULONG status = adapters && get_adapters ? get_adapters(AF_INET, flags, NULL, adapters, &size) : ERROR_NOT_SUPPORTED;
    if (status == ERROR_BUFFER_OVERFLOW) {
        free(adapters);
        adapters = (IP_ADAPTER_ADDRESSES *)malloc(size);
        status = adapters ? get_adapters(AF_INET, flags, NULL, adapters, &size) : ERROR_NOT_ENOUGH_MEMORY;
    }
    int count = 0;
    for (IP_ADAPTER_ADDRESSES *adapter = status == NO_ERROR ? adapters : NULL; adapter && count < most;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        bool has_gateway = HasDefaultGateway(adapter);
        for (IP_ADAPTER_UNICAST_ADDRESS *unicast = adapter->FirstUnicastAddress; unicast && count < most;
             unicast = unicast->Next) {
            NetworkCandidate &read = addresses[count];
            if (!ReadIpv4(unicast->Address.lpSockaddr, &read.address)) continue;
            read.prefix_length = unicast->OnLinkPrefixLength;
            read.has_gateway = has_gateway;
            ++count;
        }
    }
    free(adapters);
    FreeLibrary(iphlpapi);
    return count;
}
