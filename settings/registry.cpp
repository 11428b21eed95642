#include "settings/registry.h"

#include "address/address.h"
#include "address/ipv4_value.h"

#include <string.h>

namespace {

const DWORD ADDRESS_BUFFER = 260;
// A Favourites value larger than the program takes is read this far to show its lines; past it
// nothing of it is shown (it is still never written over).
const DWORD FAVOURITES_READ_MOST = 16 * FAVOURITES_VALUE_MAX;

// The stored text is the data up to its first NUL. Data without a NUL is no text, and text
// longer than the 19 characters the address parser takes was not written by this program:
// both are treated as absent.
bool UsableAddressText(const char *data, DWORD size)
{
    int length = ValueTextLength(data, size);
    return length >= 0 && length <= IPV4_TEXT_MAX;
}

const char *TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_QWORD:
        return "REG_QWORD";
    }
    return "of another type";
}

// The value whole, up to FAVOURITES_READ_MOST bytes: false when it is missing or larger.
bool ReadFavouritesValue(std::vector<wchar_t> *text, DWORD *type, DWORD *bytes)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool read = false;
    // The size is asked first; a value that grows between the two reads is read as far as fits.
    DWORD size = 0;
    if (RegQueryValueExW(key, VALUE_FAVOURITES_WIDE, NULL, type, NULL, &size) == ERROR_SUCCESS &&
        size <= FAVOURITES_READ_MOST) {
        text->assign(size / sizeof(wchar_t) + 1, L'\0');
        *bytes = (DWORD)(text->size() * sizeof(wchar_t));
        read = ReadWideValue(key, VALUE_FAVOURITES_WIDE, text->data(), bytes, type);
    }
    RegCloseKey(key);
    return read;
}

}  // namespace

bool ReadValue(HKEY key, const char *name, void *data, DWORD *size, DWORD *type)
{
    return RegQueryValueExA(key, name, NULL, type, (BYTE *)data, size) == ERROR_SUCCESS;
}

bool ReadWideValue(HKEY key, const wchar_t *name, void *data, DWORD *size, DWORD *type)
{
    return RegQueryValueExW(key, name, NULL, type, (BYTE *)data, size) == ERROR_SUCCESS;
}

bool ReadSetting(const char *name, void *data, DWORD *size, DWORD *type)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool read = ReadValue(key, name, data, size, type);
    RegCloseKey(key);
    return read;
}

int ValueTextLength(const char *data, DWORD size)
{
    for (DWORD i = 0; i < size; ++i)
        if (data[i] == '\0') return (int)i;
    return -1;
}

std::string Utf8OfWide(const wchar_t *text, size_t length)
{
    if (length == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, NULL, 0, NULL, NULL);
    std::string utf8((size_t)(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, (int)length, &utf8[0], bytes, NULL, NULL);
    return utf8;
}

std::wstring WideOfUtf8(const std::string &text)
{
    if (text.empty()) return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring wide((size_t)(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], count);
    return wide;
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

std::string AnsiOfUtf8(const std::string &text)
{
    std::wstring wide = WideOfUtf8(text);
    if (wide.empty()) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string ansi((size_t)(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &ansi[0], bytes, NULL, NULL);
    return ansi;
}

void LoadFavourites(std::vector<Favourite> *list, std::string *keep)
{
    list->clear();
    if (keep) keep->clear();
    std::vector<wchar_t> text;
    DWORD type = REG_NONE, bytes = 0;
    if (!ReadFavouritesValue(&text, &type, &bytes)) {
        // Missing is no list; present but not readable is not written over either.
        DWORD size = 0;
        if (keep && ReadSetting(VALUE_FAVOURITES, NULL, &size, &type))
            *keep = "the stored favourites are larger than this program reads";
        return;
    }
    if (keep && type != REG_MULTI_SZ)
        *keep = std::string("the stored favourites are a value ") + (type == REG_SZ || type == REG_EXPAND_SZ ? "of type " : "") +
                TypeName(type) + ", not REG_MULTI_SZ";
    if (keep && bytes > FAVOURITES_VALUE_MAX)
        *keep = "the stored favourites are larger than the 64 KiB this program takes";
    if (type != REG_MULTI_SZ && type != REG_SZ && type != REG_EXPAND_SZ) return;  // no lines to show
    // Lines end with a NUL; empty ones (a line left blank, the list's end) are skipped, and a
    // last line without its NUL still counts. Of a large value, the lines in the part the
    // program takes.
    size_t count = (bytes < FAVOURITES_VALUE_MAX ? bytes : FAVOURITES_VALUE_MAX) / sizeof(wchar_t);
    for (size_t at = 0; at < count;) {
        size_t end = at;
        while (end < count && text[end] != L'\0') ++end;
        if (end > at) list->push_back(ReadFavourite(Utf8OfWide(&text[at], end - at)));
        at = end + 1;
    }
    MarkFavouritesBeyondMenu(list);
}

size_t FavouritesValueBytes(const std::vector<Favourite> &list)
{
    size_t bytes = sizeof(wchar_t);  // the list's end
    for (const Favourite &favourite : list) bytes += (WideOfUtf8(favourite.line).size() + 1) * sizeof(wchar_t);
    return bytes;
}
