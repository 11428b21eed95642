#include "transport/search_range.h"

#include <stdio.h>
#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"

namespace {

struct LocalNetwork {
    unsigned long base;
    int prefix_length;
    bool is_private;  // offered from the interfaces; loopback and link-local are only accepted
};

// Every range a search may touch lies inside one of these.
const LocalNetwork LOCAL_NETWORKS[] = {
    {0x7F000000UL, 8, false},   // 127.0.0.0/8, loopback
    {0x0A000000UL, 8, true},    // 10.0.0.0/8
    {0xAC100000UL, 12, true},   // 172.16.0.0/12
    {0xC0A80000UL, 16, true},   // 192.168.0.0/16
    {0xA9FE0000UL, 16, false},  // 169.254.0.0/16, link-local
};
// Every network is offered as its /24: a wider one holds more than a search may ask, and a
// narrower one (a VPN's /32, a /30) too few addresses to hold the box as well.
const int OFFERED_PREFIX = 24;

unsigned long MaskOf(int prefix_length)
{
    return prefix_length <= 0 ? 0 : (0xFFFFFFFFUL << (32 - prefix_length)) & 0xFFFFFFFFUL;
}

const LocalNetwork *NetworkOf(unsigned long address)
{
    for (const LocalNetwork &network : LOCAL_NETWORKS)
        if ((address & MaskOf(network.prefix_length)) == network.base) return &network;
    return NULL;
}

// A canonical dotted address (what the address field accepts) into its number.
bool ReadAddress(const char *text, unsigned long *address)
{
    Ipv4Value read;
    if (!Ipv4Value::Parse(text, &read)) return false;
    *address = read.Number();
    return true;
}

// One to `most` decimal digits and nothing else.
bool AllDigits(const char *text, size_t most)
{
    size_t length = strlen(text);
    if (length == 0 || length > most) return false;
    for (size_t i = 0; i < length; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// The digits of a prefix length 0..32, without sign or leading zero.
bool ReadPrefixLength(const char *text, int *prefix_length)
{
    size_t length = strlen(text);
    if (length == 0 || length > 2 || (length == 2 && text[0] == '0')) return false;
    int value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value > 32) return false;
    *prefix_length = value;
    return true;
}

// The first address and the number of addresses; a /0 holds 2^32, hence 64 bits.
int ReadRange(const char *text, unsigned long *first, unsigned long long *count)
{
    char copy[SEARCH_RANGE_TEXT_MAX + 1];
    size_t length = strlen(text);
    if (length == 0 || length > (size_t)SEARCH_RANGE_TEXT_MAX) return RANGE_MALFORMED;
    memcpy(copy, text, length + 1);
    unsigned long address;
    if (char *slash = strchr(copy, '/')) {
        *slash = '\0';
        int prefix_length;
        if (!ReadAddress(copy, &address) || !ReadPrefixLength(slash + 1, &prefix_length)) return RANGE_MALFORMED;
        *first = address & MaskOf(prefix_length);
        *count = 1ULL << (32 - prefix_length);
        return RANGE_OK;
    }
    if (char *dash = strchr(copy, '-')) {
        // The address utilities' own range text: a.b.c.d-e with d < e <= 255. Their check
        // stops at the end number, so nothing may follow it ("1-25x", "5-9-7").
        if (!AllDigits(dash + 1, 3) || ValidIPAddress(copy, 0) != 0) return RANGE_MALFORMED;
        unsigned char record[5];
        ParseIPAddressRange(copy, record);
        *dash = '\0';
        if (!ReadAddress(copy, &address)) return RANGE_MALFORMED;  // the start in canonical form too
        *first = address;
        *count = (unsigned long long)record[4] - record[3] + 1;
        return RANGE_OK;
    }
    if (!ReadAddress(copy, &address)) return RANGE_MALFORMED;
    *first = address;
    *count = 1;
    return RANGE_OK;
}

}  // namespace

int IsLocalSearchAddress(unsigned long address) { return NetworkOf(address & 0xFFFFFFFFUL) ? 1 : 0; }

int ParseSearchRange(const char *text, SearchRange *range)
{
    unsigned long first = 0;
    unsigned long long count = 0;
    int status = ReadRange(text, &first, &count);
    if (status != RANGE_OK) return status;
    // The local networks are aligned and none borders another, so a range lies inside one
    // exactly when its first and last address are local.
    unsigned long long last = first + count - 1;
    if (last > 0xFFFFFFFFULL || !IsLocalSearchAddress(first) || !IsLocalSearchAddress((unsigned long)last))
        return RANGE_NOT_LOCAL;
    if (count > SEARCH_MAX_ADDRESSES) return RANGE_TOO_LARGE;
    range->first = first;
    range->count = (unsigned)count;
    return RANGE_OK;
}

const char *SearchRangeRule(int check)
{
    switch (check) {
    case RANGE_MALFORMED:
        return "Type a range such as 192.168.1.0/24 or 192.168.1.1-254.";
    case RANGE_NOT_LOCAL:
        return "Only local networks are searched: 127.0.0.0/8, 10.0.0.0/8, 172.16.0.0/12, "
               "192.168.0.0/16 and 169.254.0.0/16.";
    case RANGE_TOO_LARGE:
        return "At most 1,024 addresses are searched at once (a /22).";
    }
    return "";
}

int LocalNetworkRange(unsigned long address, int prefix_length, char *text)
{
    const LocalNetwork *network = NetworkOf(address & 0xFFFFFFFFUL);
    if (!network || !network->is_private || prefix_length < 0 || prefix_length > 32) return 0;
    char dotted[IPV4_TEXT_SIZE];
    Ipv4Value::FromNumber(address & MaskOf(OFFERED_PREFIX)).Format(dotted);
    snprintf(text, 20, "%s/%d", dotted, OFFERED_PREFIX);
    return 1;
}

int OfferedRange(const NetworkCandidate *candidates, int count, char *text)
{
    for (int i = 0; i < count; ++i)
        if (candidates[i].has_gateway && LocalNetworkRange(candidates[i].address, candidates[i].prefix_length, text))
            return 1;
    for (int i = 0; i < count; ++i)
        if (LocalNetworkRange(candidates[i].address, candidates[i].prefix_length, text)) return 1;
    return 0;
}
