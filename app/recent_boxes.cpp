#include "app/recent_boxes.h"

#include <string.h>

#include "address/ipv4_value.h"

int RecentBoxIndex(const RecentBoxes &list, const unsigned char *address)
{
    for (int at = 0; at < list.count; ++at)
        if (memcmp(list.addresses[at], address, 4) == 0) return at;
    return -1;
}

bool AddRecentBox(RecentBoxes *list, const unsigned char *address)
{
    int at = RecentBoxIndex(*list, address);
    if (at == 0) return false;  // already the most recent
    if (at < 0) at = list->count;
    if (at == list->count && list->count < RECENT_BOXES_MAX) ++list->count;
    if (at == list->count) at = list->count - 1;  // the list was full: the oldest goes
    memmove(list->addresses[1], list->addresses[0], (size_t)at * 4);
    memcpy(list->addresses[0], address, 4);
    return true;
}

bool MoveRecentBox(RecentBoxes *list, const unsigned char *from, const unsigned char *to)
{
    // The old address goes first, so that a full list keeps its oldest box.
    int at = RecentBoxIndex(*list, from);
    if (at >= 0) {
        --list->count;
        memmove(list->addresses[at], list->addresses[at + 1], (size_t)(list->count - at) * 4);
    }
    return AddRecentBox(list, to) || at >= 0;
}

bool ReadRecentBoxes(const char *text, RecentBoxes *list)
{
    RecentBoxes read = {};
    bool sound = true;
    for (const char *at = text; *at && sound;) {
        const char *end = strchr(at, ' ');
        size_t length = end ? (size_t)(end - at) : strlen(at);
        char token[IPV4_TEXT_SIZE];
        Ipv4Value address = {};
        // A token of 1 to 15 characters, a ninth token, a space at the end: not this program's.
        sound = length > 0 && length <= 15 && read.count < RECENT_BOXES_MAX && (!end || end[1] != '\0');
        if (sound) {
            memcpy(token, at, length);
            token[length] = '\0';
            sound = Ipv4Value::Parse(token, &address);
        }
        for (int i = 0; sound && i < read.count; ++i) sound = memcmp(read.addresses[i], address.bytes, 4) != 0;
        if (sound) address.CopyTo(read.addresses[read.count++]);
        at = end ? end + 1 : at + length;
    }
    *list = sound ? read : RecentBoxes{};
    return sound;
}

void WriteRecentBoxes(const RecentBoxes &list, char *text)
{
    int used = 0;
    text[0] = '\0';
    for (int i = 0; i < list.count; ++i) {
        if (i) text[used++] = ' ';
        Ipv4Value::Of(list.addresses[i]).Format(text + used);
        used += (int)strlen(text + used);
    }
}
