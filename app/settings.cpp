#include "app/remote_control.h"
#include "address/ipv4_value.h"
#include "app/display_scale.h"
#include "app/recent_boxes.h"
#include "settings/registry.h"
#include "app/settings.h"
#include "address/address.h"

#include <limits.h>
#include <string.h>

namespace {

const char VALUE_LEFT[] = "Remote Window Left";
const char VALUE_RIGHT[] = "Remote Window Right";
const char VALUE_TOP[] = "Remote Window Top";
const char VALUE_BOTTOM[] = "Remote Window Bottom";
const char VALUE_POPOUT[] = "Popout Window Visible";
const char VALUE_ALWAYS_ON_TOP[] = "Always On Top";
const char VALUE_RECENT_BOXES[] = "Recent Boxes";
const char VALUE_KEYS_ANYWHERE[] = "Keys Anywhere";
const char VALUE_FOLLOW_BOX[] = "Follow Box";
const DWORD RECENT_BOXES_BUFFER = 256;  // room to tell an over-long value from one that fits

const int POPOUT_WIDTH = 266;
const int WINDOW_HEIGHT = 545;
const int TEMPLATE_WIDTH = 196;  // passed with SWP_NOSIZE, so only for completeness

// Null when the key is missing: reading never creates it.
HKEY OpenForReading()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return NULL;
    return key;
}

HKEY OpenForWriting()
{
    HKEY key = NULL;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &key, &disposition) != ERROR_SUCCESS)
        return NULL;
    return key;
}

// A REG_DWORD of exactly four bytes; any other type or size is no number of this program's.
bool ReadDword(HKEY key, const char *name, DWORD *value)
{
    DWORD type = REG_NONE, size = sizeof(*value);
    return ReadValue(key, name, value, &size, &type) && type == REG_DWORD && size == sizeof(*value);
}

// A REG_SZ read into `room` bytes of `data`, accepted when it has at most `most` bytes and its
// text ends (its first NUL) within them.
bool ReadText(HKEY key, const char *name, char *data, DWORD room, DWORD most)
{
    DWORD type = REG_NONE, size = room;
    return ReadValue(key, name, data, &size, &type) && type == REG_SZ && size <= most && ValueTextLength(data, size) >= 0;
}

void WriteDword(HKEY key, const char *name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

void WriteText(HKEY key, const char *name, const char *text)
{
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
}

LONG ClampToLong(long long value)
{
    if (value > LONG_MAX) return LONG_MAX;
    if (value < LONG_MIN) return LONG_MIN;
    return (LONG)value;
}

// True when some of the window's caption would show on a monitor with its top-left corner at
// (left, top): the strip from the window's top edge down to its client area, as wide as the
// window will be (`new_width`, or 0 when it keeps its width). In 64 bits, since the stored
// values may have been edited by hand.
bool CaptionOnScreen(HWND window, LONG left, LONG top, int new_width)
{
    RECT now;
    POINT client = {0, 0};
    if (!GetWindowRect(window, &now) || !ClientToScreen(window, &client)) return false;
    long long width = new_width ? new_width : (long long)now.right - now.left;
    long long caption = (long long)client.y - now.top;
    if (caption <= 0) caption = GetSystemMetrics(SM_CYCAPTION);
    RECT strip = {left, top, ClampToLong(left + width), ClampToLong(top + caption)};
    return MonitorFromRect(&strip, MONITOR_DEFAULTTONULL) != NULL;
}

}  // namespace

void RemoteControl::LoadDeviceAddress() { LoadSavedAddress(device_address); }

void RemoteControl::LoadWindowPlacement(HWND window)
{
    HKEY key = OpenForReading();
    if (!key) return;
    // Each read takes at most 4 bytes and leaves in `size` what it returned, which is the room
    // of the next read; the first failure ends the sequence and the window stays put.
    LONG left = 0, right = 0, top = 0, bottom = 0, popout = 0;
    const char *names[5] = {VALUE_LEFT, VALUE_RIGHT, VALUE_TOP, VALUE_BOTTOM, VALUE_POPOUT};
    LONG *slots[5] = {&left, &right, &top, &bottom, &popout};
    DWORD size = sizeof(LONG);
    bool all_read = true;
    for (int i = 0; i < 5 && all_read; ++i)
        all_read = ReadValue(key, names[i], slots[i], &size, NULL);
    if (all_read) {
        // A position at which no part of the caption is on a monitor (a window saved while
        // minimised, a monitor since removed) would put the window out of reach: it then keeps
        // the template's position.
        UINT flags = popout ? 0 : SWP_NOSIZE;
        // The sizes are for 96 dpi; the position stays in screen pixels, as saved.
        UINT dpi = WindowDpi(window);
        if (!CaptionOnScreen(window, left, top, popout ? ScaleForDpi(POPOUT_WIDTH, dpi) : 0))
            flags |= SWP_NOMOVE;
        if (flags != (SWP_NOSIZE | SWP_NOMOVE))
            SetWindowPos(window, HWND_TOP, left, top,
                         ScaleForDpi(popout ? POPOUT_WIDTH : TEMPLATE_WIDTH, dpi),
                         ScaleForDpi(WINDOW_HEIGHT, dpi), flags);
    }
    RegCloseKey(key);
}

void RemoteControl::SaveWindowRect(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;  // nothing sound to save
    HKEY key = OpenForWriting();
    if (!key) return;
    const char *names[4] = {VALUE_LEFT, VALUE_RIGHT, VALUE_TOP, VALUE_BOTTOM};
    LONG values[4] = {rect.left, rect.right, rect.top, rect.bottom};
    for (int i = 0; i < 4; ++i) WriteDword(key, names[i], (DWORD)values[i]);
    RegCloseKey(key);
}

void RemoteControl::SaveDeviceAddress()
{
    char text[IPV4_TEXT_SIZE] = {0};
    Ipv4Value::Of(device_address).Format(text);
    HKEY key = OpenForWriting();
    if (!key) return;
    WriteText(key, VALUE_ADDRESS, text);
    RegCloseKey(key);
}

namespace {

// A setting with a check mark in the system menu: a REG_DWORD of 0 or 1 sets it; a value that is
// missing, of another type or another number is the default, and stays as it is until the user
// chooses the item.
bool LoadSwitch(const char *name, bool by_default)
{
    HKEY key = OpenForReading();
    if (!key) return by_default;
    DWORD value = 0;
    bool read = ReadDword(key, name, &value) && value <= 1;
    RegCloseKey(key);
    return read ? value == 1 : by_default;
}

void SaveSwitch(const char *name, bool on)
{
    HKEY key = OpenForWriting();
    if (!key) return;
    WriteDword(key, name, on ? 1 : 0);
    RegCloseKey(key);
}

}  // namespace

bool LoadAlwaysOnTop() { return LoadSwitch(VALUE_ALWAYS_ON_TOP, false); }
void SaveAlwaysOnTop(bool on) { SaveSwitch(VALUE_ALWAYS_ON_TOP, on); }
bool LoadKeysAnywhere() { return LoadSwitch(VALUE_KEYS_ANYWHERE, false); }
void SaveKeysAnywhere(bool on) { SaveSwitch(VALUE_KEYS_ANYWHERE, on); }
bool LoadFollowBox() { return LoadSwitch(VALUE_FOLLOW_BOX, true); }
void SaveFollowBox(bool on) { SaveSwitch(VALUE_FOLLOW_BOX, on); }

void LoadRecentBoxes(RecentBoxes *list)
{
    *list = RecentBoxes{};
    HKEY key = OpenForReading();
    if (!key) return;
    char data[RECENT_BOXES_BUFFER + 1] = {0};  // one more, so that the text always ends
    if (ReadText(key, VALUE_RECENT_BOXES, data, RECENT_BOXES_BUFFER, RECENT_BOXES_TEXT_SIZE))
        ReadRecentBoxes(data, list);
    RegCloseKey(key);
}

void SaveRecentBoxes(const RecentBoxes &list)
{
    char text[RECENT_BOXES_TEXT_SIZE];
    WriteRecentBoxes(list, text);
    HKEY key = OpenForWriting();
    if (!key) return;
    WriteText(key, VALUE_RECENT_BOXES, text);
    RegCloseKey(key);
}

void SaveWakeAddresses(const WakeAddresses &list)
{
    char text[WAKE_ADDRESSES_TEXT_SIZE];
    WriteWakeAddresses(list, text);
    HKEY key = OpenForWriting();
    if (!key) return;
    WriteText(key, VALUE_WAKE_ADDRESSES, text);
    RegCloseKey(key);
}

bool SaveFavourites(const std::vector<Favourite> &list)
{
    // Wide, so that a name in any script is stored as it was written.
    std::wstring data;
    for (const Favourite &favourite : list) data += WideOfUtf8(favourite.line) + L'\0';
    data += L'\0';
    HKEY key = OpenForWriting();
    if (!key) return false;
    bool saved = RegSetValueExW(key, VALUE_FAVOURITES_WIDE, 0, REG_MULTI_SZ, (const BYTE *)data.data(),
                                (DWORD)(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return saved;
}
