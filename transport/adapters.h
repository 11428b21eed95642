// This computer's IPv4 addresses, read from its network adapters at the moment asked.
#pragma once

#include "transport/search_range.h"

// Read at most this many addresses: more than the adapters of a computer carry (virtual ones and
// VPNs included); any beyond are not read.
const int ADAPTER_ADDRESSES_MAX = 64;

// Fills `addresses` with the IPv4 unicast addresses of every adapter that is up, in the system's
// order of adapters, each with its on-link prefix length and whether its adapter has a default
// gateway. Returns how many, at most `most`; 0 when there are none or the system cannot tell.
// iphlpapi.dll is loaded only for the call.
int ReadAdapterAddresses(NetworkCandidate *addresses, int most);
