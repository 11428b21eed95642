#include "transport/moved_box.h"

#include <stdio.h>
#include <string.h>

#include "address/ipv4_value.h"
#include "transport/search_range.h"

namespace {

bool HasHardware(const Neighbour *table, int table_count, unsigned long address, const unsigned char *hardware)
{
    for (int i = 0; i < table_count; ++i)
        if (table[i].address == address && memcmp(table[i].hardware, hardware, 6) == 0) return true;
    return false;
}

bool ListedBefore(const unsigned long *answered, int at)
{
    for (int i = 0; i < at; ++i)
        if (answered[i] == answered[at]) return true;
    return false;
}

}  // namespace

int ChooseMovedBox(const Neighbour *table, int table_count, const unsigned long *answered, int answered_count,
                   const unsigned char *hardware, unsigned long *found, int *matching)
{
    *matching = 0;
    for (int i = 0; i < answered_count; ++i) {
        if (ListedBefore(answered, i) || !HasHardware(table, table_count, answered[i], hardware)) continue;
        if (++*matching == 1) *found = answered[i];
    }
    if (*matching == 0) return MOVED_BOX_NONE;
    return *matching == 1 ? MOVED_BOX_ONE : MOVED_BOX_SEVERAL;
}

bool AddressTakenByAnother(const Neighbour *table, int table_count, unsigned long address,
                           const unsigned char *hardware)
{
    for (int i = 0; i < table_count; ++i)
        if (table[i].address == address && memcmp(table[i].hardware, hardware, 6) != 0) return true;
    return false;
}

int MovedBoxRange(unsigned long old_address, SearchRange *range)
{
    char network[IPV4_TEXT_SIZE], text[SEARCH_RANGE_TEXT_MAX + 1];
    Ipv4Value::FromNumber(old_address & 0xFFFFFF00UL).Format(network);
    snprintf(text, sizeof(text), "%s/24", network);
    return ParseSearchRange(text, range);
}
