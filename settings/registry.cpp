#include "settings/registry.h"

#include "address/address.h"
#include "address/ipv4_value.h"

#include <string.h>

namespace {

const DWORD ADDRESS_BUFFER = 260;

// The stored text is the data up to its first NUL. Data without a NUL is no text, and text
// longer than the 19 characters the address parser takes was not written by this program:
// both are treated as absent.
bool UsableAddressText(const char *data, DWORD size)
{
    for (DWORD i = 0; i < size && i < ADDRESS_BUFFER; ++i)
        if (data[i] == '\0') return i <= (DWORD)IPV4_TEXT_MAX;
    return false;
}

}  // namespace

bool ReadSetting(const char *name, void *data, DWORD *size, DWORD *type)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool read = RegQueryValueExA(key, name, NULL, type, (BYTE *)data, size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read;
}

bool LoadSavedAddressText(char *text)
{
    text[0] = '\0';
    char data[ADDRESS_BUFFER] = {0};
    DWORD size = ADDRESS_BUFFER;
    DWORD type;
    if (!ReadSetting(VALUE_ADDRESS, data, &size, &type) || !UsableAddressText(data, size)) return false;
    memcpy(text, data, IPV4_TEXT_MAX);
    text[IPV4_TEXT_MAX] = '\0';
    return true;
}

void LoadSavedAddress(unsigned char *address)
{
    // Not the address field's check: a saved text is taken as IPAddrStrToByte reads it.
    char text[IPV4_TEXT_MAX + 1];
    if (LoadSavedAddressText(text)) IPAddrStrToByte(text, address);
}

void LoadFavourites(std::vector<Favourite> *list)
{
    list->clear();
    std::vector<char> data(FAVOURITES_VALUE_MAX);
    DWORD size = FAVOURITES_VALUE_MAX;
    DWORD type;
    if (!ReadSetting(VALUE_FAVOURITES, data.data(), &size, &type) || type != REG_MULTI_SZ) return;
    // Lines end with a NUL and the list with an empty line; a last line without its NUL still counts.
    size_t at = 0;
    while (at < size && data[at] != '\0') {
        size_t end = at;
        while (end < size && data[end] != '\0') ++end;
        list->push_back(ReadFavourite(std::string(&data[at], end - at)));
        if (list->size() > (size_t)FAVOURITES_MAX) {
            list->back().steps.clear();
            list->back().problem = "beyond the 20 favourites that a menu shows";
        }
        at = end + 1;
    }
}
