// The IPv4 value type. Like the rest of the address code it needs nothing outside itself.
#include "address/ipv4_value.h"

#include "address/address.h"

bool Ipv4Value::Parse(const char *text, Ipv4Value *address)
{
    // The functions take writable text: a bounded copy, never read beyond text's end.
    char copy[IPV4_TEXT_MAX + 1];
    int length = 0;
    while (text[length] != '\0') {
        if (length == IPV4_TEXT_MAX) return false;
        copy[length] = text[length];
        ++length;
    }
    copy[length] = '\0';
    unsigned char read[4];
    if (ValidIPAddress(copy, 1) != 0 || IPAddrStrToByte(copy, read) != 0) return false;
    *address = Of(read);
    return true;
}

Ipv4Value Ipv4Value::Of(const unsigned char *bytes)
{
    Ipv4Value address = {{bytes[0], bytes[1], bytes[2], bytes[3]}};
    return address;
}

Ipv4Value Ipv4Value::FromNumber(unsigned long number)
{
    Ipv4Value address;
    for (int i = 0; i < 4; ++i) address.bytes[i] = (unsigned char)(number >> (24 - 8 * i));
    return address;
}

Ipv4Value Ipv4Value::FromNotice(uintptr_t value)
{
    Ipv4Value address;
    for (int i = 0; i < 4; ++i) address.bytes[i] = (unsigned char)(value >> (8 * i));
    return address;
}

void Ipv4Value::Format(char *text) const
{
    unsigned char copy[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
    IPAddrByteToStr(copy, text);
}

bool Ipv4Value::IsUnset() const { return (bytes[0] | bytes[1] | bytes[2] | bytes[3]) == 0; }

unsigned long Ipv4Value::Number() const
{
    return (unsigned long)bytes[0] << 24 | (unsigned long)bytes[1] << 16 | (unsigned long)bytes[2] << 8 | bytes[3];
}

uintptr_t Ipv4Value::Notice() const
{
    return (uintptr_t)bytes[0] | (uintptr_t)bytes[1] << 8 | (uintptr_t)bytes[2] << 16 | (uintptr_t)bytes[3] << 24;
}

void Ipv4Value::CopyTo(unsigned char *out) const
{
    for (int i = 0; i < 4; ++i) out[i] = bytes[i];
}
