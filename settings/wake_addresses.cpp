#include "settings/wake_addresses.h"

#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"
#include "settings/registry.h"
#include "transport/command_protocol.h"

namespace {

const DWORD WAKE_ADDRESSES_BUFFER = 512;  // room to tell an over-long value from one that fits
const char PAIR_SEPARATOR = ';';

enum PairRead { PAIR_JUNK, PAIR_READ, PAIR_UNUSABLE };

// "a.b.c.d=hh:hh:hh:hh:hh:hh" of length characters. A broadcast or multicast hardware address,
// which older versions kept, is a pair of this program's that no wake may use: PAIR_UNUSABLE.
PairRead ReadPair(const char *text, size_t length, unsigned char *address, unsigned char *hardware)
{
    const char *equals = (const char *)memchr(text, '=', length);
    if (!equals || equals == text || (size_t)(equals - text) > IPV4_TEXT_MAX) return PAIR_JUNK;
    char part[IPV4_TEXT_MAX + 1];
    memcpy(part, text, (size_t)(equals - text));
    part[equals - text] = '\0';
    Ipv4Value value;
    if (!Ipv4Value::Parse(part, &value)) return PAIR_JUNK;
    size_t rest = length - (size_t)(equals - text) - 1;
    if (rest != HARDWARE_TEXT_SIZE - 1) return PAIR_JUNK;
    char typed[HARDWARE_TEXT_SIZE];
    memcpy(typed, equals + 1, rest);
    typed[rest] = '\0';
    int hardware_read = ParseHardwareAddress(typed, hardware);
    if (hardware_read == HARDWARE_GROUP) return PAIR_UNUSABLE;
    if (hardware_read != HARDWARE_OK) return PAIR_JUNK;
    value.CopyTo(address);
    return PAIR_READ;
}

}  // namespace

bool AddWakeAddress(WakeAddresses *list, const unsigned char *address, const unsigned char *hardware)
{
    int at = 0;
    while (at < list->count && memcmp(list->addresses[at], address, 4) != 0) ++at;
    if (at == 0 && list->count > 0 && memcmp(list->hardware[0], hardware, 6) == 0) return false;
    if (at == list->count && list->count < WAKE_ADDRESSES_MAX) ++list->count;
    if (at == list->count) at = list->count - 1;  // the list was full: the oldest goes
    memmove(list->addresses[1], list->addresses[0], (size_t)at * 4);
    memmove(list->hardware[1], list->hardware[0], (size_t)at * 6);
    memcpy(list->addresses[0], address, 4);
    memcpy(list->hardware[0], hardware, 6);
    return true;
}

bool ForgetWakeAddress(WakeAddresses *list, const unsigned char *address)
{
    int at = 0;
    while (at < list->count && memcmp(list->addresses[at], address, 4) != 0) ++at;
    if (at == list->count) return false;
    --list->count;
    memmove(list->addresses[at], list->addresses[at + 1], (size_t)(list->count - at) * 4);
    memmove(list->hardware[at], list->hardware[at + 1], (size_t)(list->count - at) * 6);
    return true;
}

bool FindWakeAddress(const WakeAddresses &list, const unsigned char *address, unsigned char *hardware)
{
    for (int i = 0; i < list.count; ++i) {
        if (memcmp(list.addresses[i], address, 4) != 0) continue;
        memcpy(hardware, list.hardware[i], 6);
        return true;
    }
    return false;
}

bool ReadWakeAddresses(const char *text, WakeAddresses *list)
{
    WakeAddresses read = {};
    bool sound = true;
    for (const char *at = text; *at && sound;) {
        const char *end = strchr(at, PAIR_SEPARATOR);
        size_t length = end ? (size_t)(end - at) : strlen(at);
        unsigned char address[4], hardware[6];
        // A ninth pair, or a separator at the end: not this program's.
        PairRead pair = PAIR_JUNK;
        sound = read.count < WAKE_ADDRESSES_MAX && (!end || end[1] != '\0') &&
                (pair = ReadPair(at, length, address, hardware)) != PAIR_JUNK;
        for (int i = 0; sound && pair == PAIR_READ && i < read.count; ++i)
            sound = memcmp(read.addresses[i], address, 4) != 0;
        if (sound && pair == PAIR_READ) {
            memcpy(read.addresses[read.count], address, 4);
            memcpy(read.hardware[read.count++], hardware, 6);
        }
        at = end ? end + 1 : at + length;
    }
    *list = sound ? read : WakeAddresses{};
    return sound;
}

void WriteWakeAddresses(const WakeAddresses &list, char *text)
{
    int used = 0;
    text[0] = '\0';
    for (int i = 0; i < list.count; ++i) {
        if (i) text[used++] = PAIR_SEPARATOR;
        Ipv4Value::Of(list.addresses[i]).Format(text + used);
        used += (int)strlen(text + used);
        text[used++] = '=';
        unsigned char hardware[6];
        memcpy(hardware, list.hardware[i], 6);
        HWAddrByteToStr(hardware, text + used);
        used += HARDWARE_TEXT_SIZE - 1;
    }
    text[used] = '\0';
}

void LoadWakeAddresses(WakeAddresses *list)
{
    *list = WakeAddresses{};
    char data[WAKE_ADDRESSES_BUFFER + 1] = {0};  // one more, so that the text always ends
    DWORD size = WAKE_ADDRESSES_BUFFER, type = REG_NONE;
    if (!ReadSetting(VALUE_WAKE_ADDRESSES, data, &size, &type) || type != REG_SZ) return;
    if (strnlen(data, WAKE_ADDRESSES_BUFFER) >= (size_t)WAKE_ADDRESSES_TEXT_SIZE) return;  // over-long
    ReadWakeAddresses(data, list);
}
