// Where the box went when it no longer answers at its address: of the addresses that took a
// connection on the command port, those that the neighbour table gives the box's hardware
// address. Portable: no platform headers, so that the choice is tested on tables handed to it.
#pragma once

// One usable entry of the neighbour table: a resolved, non-zero six-byte hardware address.
struct Neighbour {
    unsigned long address;  // as Ipv4Value::Number
    unsigned char hardware[6];
};

enum MovedBoxChoice {
    MOVED_BOX_NONE = 0,     // no address that answered has the box's hardware address
    MOVED_BOX_ONE = 1,      // exactly one has it: the box is there
    MOVED_BOX_SEVERAL = 2,  // more than one has it: which is the box cannot be told
};

// The choice among the addresses that answered (one listed twice counts once); `found` gets
// the address when there is exactly one, and `matching` how many have the hardware address.
// An address that answered but is missing from the table does not count: nothing says what it is.
int ChooseMovedBox(const Neighbour *table, int table_count, const unsigned long *answered, int answered_count,
                   const unsigned char *hardware, unsigned long *found, int *matching);

// A refused connection comes from whatever holds the address now: the box itself, its command
// service off, unless the table gives the address another hardware address. True when it does.
bool AddressTakenByAnother(const Neighbour *table, int table_count, unsigned long address,
                           const unsigned char *hardware);

struct SearchRange;
// The range where the box that left old_address is looked for: the /24 that held it, under the
// rule of every search (ParseSearchRange); returns its SearchRangeCheck, the range only for RANGE_OK.
int MovedBoxRange(unsigned long old_address, SearchRange *range);
