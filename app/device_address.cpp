#include "app/device_address.h"

#include <winsock2.h>
#include <windows.h>

#include "address/address.h"

namespace {

const DWORD ADDRESS_BUFFER = 260;

// The stored text is the data up to its first NUL. Data without a NUL is no text, and text
// longer than the 19 characters the address parser takes was not written by this program:
// both are treated as absent.
bool UsableAddressText(const char *data, DWORD size)
{
    for (DWORD i = 0; i < size && i < ADDRESS_BUFFER; ++i)
        if (data[i] == '\0') return i <= ADDRESS_TEXT_MAX;
    return false;
}

}  // namespace

int ReadAddressText(const char *text, unsigned char *address)
{
    // Longer text is cut, as the field is read; a valid address has at most 15 characters.
    char seen[ADDRESS_TEXT_MAX + 1] = {0};
    for (unsigned i = 0; i < ADDRESS_TEXT_MAX && text[i]; ++i) seen[i] = text[i];
    if (ValidIPAddress(seen, 1) != 0) return 0;
    IPAddrStrToByte(seen, address);
    return 1;
}

bool LoadSavedAddressText(char *text)
{
    text[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char data[ADDRESS_BUFFER] = {0};
    DWORD size = ADDRESS_BUFFER;
    DWORD type;
    bool usable = RegQueryValueExA(key, VALUE_ADDRESS, NULL, &type, (BYTE *)data, &size) == ERROR_SUCCESS &&
                  UsableAddressText(data, size);
    RegCloseKey(key);
    if (usable) lstrcpynA(text, data, ADDRESS_TEXT_MAX + 1);
    return usable;
}

void LoadSavedAddress(unsigned char *address)
{
    char text[ADDRESS_TEXT_MAX + 1];
    if (LoadSavedAddressText(text)) IPAddrStrToByte(text, address);
}
