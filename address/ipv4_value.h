// One IPv4 address as a value, on top of the fourteen address functions: the one way the
// programs read, write, compare with "unset", count with, and pass in a notice an address.
// Portable: the notice packing is a uintptr_t, which an LPARAM holds on either Windows build.
#ifndef HALCYRA_ADDRESS_IPV4_VALUE_H
#define HALCYRA_ADDRESS_IPV4_VALUE_H

#include <stdint.h>

// "255.255.255.255" and its NUL.
const int IPV4_TEXT_SIZE = 16;
// The most text that Parse looks at: what IPAddrStrToByte takes. A canonical address has at
// most 15 characters, so longer text is never one.
const int IPV4_TEXT_MAX = 19;

struct Ipv4Value {
    unsigned char bytes[4];  // in text order: a.b.c.d is a, b, c, d

    // The check the address field makes: canonical dotted text of four numbers 0..255
    // (ValidIPAddress with single set), converted by IPAddrStrToByte. False, with the address
    // untouched, for anything else.
    static bool Parse(const char *text, Ipv4Value *address);
    static Ipv4Value Of(const unsigned char *bytes);
    // From the number a << 24 | b << 16 | c << 8 | d, as ranges count.
    static Ipv4Value FromNumber(unsigned long number);
    // From a notice's lParam (see Notice).
    static Ipv4Value FromNotice(uintptr_t value);

    // "a.b.c.d" with its NUL into IPV4_TEXT_SIZE bytes, by IPAddrByteToStr.
    void Format(char *text) const;
    // 0.0.0.0: the address before any is saved, which names no box.
    bool IsUnset() const;
    unsigned long Number() const;
    // The one packing of an address into a private notice's lParam: the first byte lowest
    // (a | b << 8 | c << 16 | d << 24), so a notice's value reads as the bytes in memory order.
    uintptr_t Notice() const;
    void CopyTo(unsigned char *out) const;
};

#endif
