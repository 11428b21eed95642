// The range of addresses that a search for the box may ask, and the rule of which ranges it may
// ask at all: only local networks, and only so many addresses at once. Portable: no platform headers.
#pragma once

// At most this many addresses in one search: a /22, four home networks of 254 addresses.
const unsigned SEARCH_MAX_ADDRESSES = 1024;
// Longest range text: "255.255.255.255-255" or "255.255.255.255/32".
const int SEARCH_RANGE_TEXT_MAX = 19;

// The addresses first .. first + count - 1, each as a 32-bit number (Ipv4Value::Number).
struct SearchRange {
    unsigned long first;
    unsigned count;
};

enum SearchRangeCheck {
    RANGE_OK = 0,
    RANGE_MALFORMED = -1,   // not a.b.c.d, a.b.c.d/nn or a.b.c.d-e
    RANGE_NOT_LOCAL = -2,   // reaches outside loopback, private and link-local networks
    RANGE_TOO_LARGE = -3,   // more than SEARCH_MAX_ADDRESSES
};

// Reads "a.b.c.d" (one address), "a.b.c.d/nn" (the whole network of prefix nn, its first and
// last address included) or "a.b.c.d-e" (d to e of the last number) and checks it against the
// rule. Returns a SearchRangeCheck; the range is written only for RANGE_OK.
int ParseSearchRange(const char *text, SearchRange *range);
// The message that names the rule a refused range broke.
const char *SearchRangeRule(int check);
// 1 when the address lies in 127/8, 10/8, 172.16/12, 192.168/16 or 169.254/16, else 0.
int IsLocalSearchAddress(unsigned long address);
// The range to offer for an interface address with its prefix length (0..32): the /24 that holds
// the address, whatever the prefix, as "a.b.c.d/24" in text (at least 20 bytes). Returns 1, or 0
// (and writes nothing) when the address is not in a private network.
int LocalNetworkRange(unsigned long address, int prefix_length, char *text);

// One IPv4 address of an adapter that is up.
struct NetworkCandidate {
    unsigned long address;  // as Ipv4Value::Number
    int prefix_length;      // of the adapter's network on the link
    bool has_gateway;       // the adapter has a default gateway: the network the computer goes out by
};
// The range to offer from the candidates, given in adapter order: the private network
// (LocalNetworkRange) of the first that has a gateway, else of the first at all. A computer's
// virtual adapters (virtual machines, a VPN) have no gateway, so the first private one is seldom
// the box's network. Returns 1, or 0 (and writes nothing) when none is private.
int OfferedRange(const NetworkCandidate *candidates, int count, char *text);
