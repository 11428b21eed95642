// Settings persistence under Wine. HKEY_CURRENT_USER is redirected for the whole program to a
// key of its own (HKCU\Software\HalcyraTests\<pid>), which the tests read and write directly.
#include "app/recent_boxes.h"
#include "app/remote_control.h"
#include "app/settings.h"
#include "settings/wake_addresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

HINSTANCE g_Instance;

namespace {

const char LEFT[] = "Remote Window Left";
const char RIGHT[] = "Remote Window Right";
const char TOP[] = "Remote Window Top";
const char BOTTOM[] = "Remote Window Bottom";
const char POPOUT[] = "Popout Window Visible";
const char ADDRESS[] = "IP Address";
const char ON_TOP[] = "Always On Top";
const char TEST_WINDOW_CLASS[] = "HalcyraSettingsTestWindow";

HKEY g_Root = NULL;  // the test's own key, which HKEY_CURRENT_USER stands for while tests run

struct Address {
    unsigned char bytes[4];
};
std::string Dotted(const unsigned char *a)
{
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

RECT RectOf(HWND window)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    return r;
}
std::string Describe(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) +
           "," + std::to_string(r.bottom) + ")";
}
bool SameRect(const RECT &a, const RECT &b) { return EqualRect(&a, &b) != 0; }

struct StoredValue {
    LONG status;
    DWORD type;
    std::string data;
};

struct Settings : ::testing::Test {
    std::vector<HWND> windows;

    void SetUp() override
    {
        RegDeleteTreeA(g_Root, "SOFTWARE");
        ASSERT_FALSE(KeyExists()) << "settings key left from before";
    }
    void TearDown() override
    {
        for (HWND w : windows) DestroyWindow(w);
    }

    // A real top-level window, not shown; its rectangle is what the tests look at.
    HWND MakeWindow(int x, int y, int width, int height)
    {
        HWND w = CreateWindowExA(0, TEST_WINDOW_CLASS, "settings", WS_OVERLAPPEDWINDOW, x, y, width,
                                 height, NULL, NULL, g_Instance, NULL);
        EXPECT_TRUE(w != NULL);
        if (w) windows.push_back(w);
        return w;
    }

    bool KeyExists()
    {
        HKEY key;
        if (RegOpenKeyExA(g_Root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    void Put(const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(g_Root, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)data, size), ERROR_SUCCESS) << name;
        RegCloseKey(key);
    }
    void PutDword(const char *name, LONG value) { Put(name, REG_DWORD, &value, sizeof(value)); }
    void PutText(const char *name, const std::string &text) { Put(name, REG_SZ, text.c_str(), text.size() + 1); }
    void PutRect(LONG left, LONG top, LONG right, LONG bottom)
    {
        PutDword(LEFT, left);
        PutDword(RIGHT, right);
        PutDword(TOP, top);
        PutDword(BOTTOM, bottom);
    }
    void Delete(const char *name)
    {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(g_Root, SETTINGS_KEY, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueA(key, name), ERROR_SUCCESS) << name;
        RegCloseKey(key);
    }
    StoredValue Get(const char *name)
    {
        StoredValue v = {ERROR_FILE_NOT_FOUND, REG_NONE, ""};
        HKEY key;
        if (RegOpenKeyExA(g_Root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
        char data[512];
        DWORD size = sizeof(data);
        v.status = RegQueryValueExA(key, name, NULL, &v.type, (BYTE *)data, &size);
        if (v.status == ERROR_SUCCESS) v.data.assign(data, size);
        RegCloseKey(key);
        return v;
    }
    DWORD ValueCount()
    {
        HKEY key;
        DWORD count = 0;
        if (RegOpenKeyExA(g_Root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
        RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
        return count;
    }
    void ExpectDword(const char *name, LONG value)
    {
        StoredValue v = Get(name);
        ASSERT_EQ(v.status, ERROR_SUCCESS) << name;
        EXPECT_EQ(v.type, (DWORD)REG_DWORD) << name;
        ASSERT_EQ(v.data.size(), 4u) << name;
        LONG stored;
        memcpy(&stored, v.data.data(), 4);
        EXPECT_EQ(stored, value) << name;
    }

    Address Loaded()
    {
        RemoteControl remote;
        remote.keypad_font = NULL;
        memset(remote.device_address, 0, 4);  // as the program starts
        remote.LoadDeviceAddress();
        Address a;
        memcpy(a.bytes, remote.device_address, 4);
        return a;
    }
    // Applies the stored placement to a window at (30,40), 210 x 330; returns its new rectangle.
    RECT Placed()
    {
        HWND w = MakeWindow(30, 40, 210, 330);
        RemoteControl remote = {NULL, {0, 0, 0, 0}, {}};
        remote.LoadWindowPlacement(w);
        return RectOf(w);
    }
    void ExpectNotMoved(const RECT &r) { EXPECT_TRUE(SameRect(r, RECT{30, 40, 240, 370})) << Describe(r); }
};

TEST_F(Settings, WithoutTheKeyNothingIsLoadedOrCreated)
{
    Address a = Loaded();
    EXPECT_EQ(Dotted(a.bytes), "0.0.0.0");
    ExpectNotMoved(Placed());
    EXPECT_FALSE(KeyExists()) << "reading created the key";
}

TEST_F(Settings, SavingWritesTheRectangleAndTheAddressText)
{
    HWND w = MakeWindow(123, 77, 210, 333);
    RECT r = RectOf(w);
    RemoteControl remote = {NULL, {0, 0, 0, 0}, {}};
    remote.SaveWindowRect(w);
    remote.SaveDeviceAddress();

    // Read back through the test's own key: HKEY_CURRENT_USER really was redirected there.
    ASSERT_TRUE(KeyExists());
    ExpectDword(LEFT, r.left);
    ExpectDword(RIGHT, r.right);
    ExpectDword(TOP, r.top);
    ExpectDword(BOTTOM, r.bottom);
    EXPECT_EQ(r.left, 123);
    EXPECT_EQ(r.top, 77);
    StoredValue text = Get(ADDRESS);
    ASSERT_EQ(text.status, ERROR_SUCCESS);
    EXPECT_EQ(text.type, (DWORD)REG_SZ);
    EXPECT_EQ(text.data, std::string("0.0.0.0") + '\0');
    EXPECT_EQ(ValueCount(), 5u) << "only the four rectangle values and the address";
    EXPECT_EQ(Get(POPOUT).status, ERROR_FILE_NOT_FOUND);

    // The longest text, and a save that replaces an earlier one.
    RemoteControl other = {NULL, {255, 255, 255, 255}, {}};
    other.SaveDeviceAddress();
    EXPECT_EQ(Get(ADDRESS).data, std::string("255.255.255.255") + '\0');
    RemoteControl third = {NULL, {10, 20, 30, 40}, {}};
    third.SaveDeviceAddress();
    EXPECT_EQ(Get(ADDRESS).data, std::string("10.20.30.40") + '\0');

    // What this program saved, it loads again; without a popout value the window stays.
    EXPECT_EQ(Dotted(Loaded().bytes), "10.20.30.40");
    ExpectNotMoved(Placed());
}

TEST_F(Settings, SavingKeepsAPopoutValueItNeverWrites)
{
    PutDword(POPOUT, 1);
    HWND w = MakeWindow(140, 60, 210, 333);
    RemoteControl remote = {NULL, {0, 0, 0, 0}, {}};
    remote.SaveWindowRect(w);
    ExpectDword(POPOUT, 1);
    RECT r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{140, 60, 140 + 266, 60 + 545})) << Describe(r);
}

TEST_F(Settings, AWindowWhoseRectangleCannotBeReadSavesNothing)
{
    HWND gone = CreateWindowExA(0, TEST_WINDOW_CLASS, "gone", WS_OVERLAPPEDWINDOW, 10, 10, 100, 100,
                                NULL, NULL, g_Instance, NULL);
    ASSERT_TRUE(gone != NULL);
    DestroyWindow(gone);
    RemoteControl remote = {NULL, {0, 0, 0, 0}, {}};
    remote.SaveWindowRect(gone);
    EXPECT_FALSE(KeyExists());

    PutRect(1, 2, 3, 4);
    remote.SaveWindowRect(gone);
    ExpectDword(LEFT, 1);
    ExpectDword(RIGHT, 3);
    ExpectDword(TOP, 2);
    ExpectDword(BOTTOM, 4);
}

TEST_F(Settings, AMinimisedWindowIsSavedAsItsRectangleReads)
{
    HWND w = MakeWindow(200, 150, 210, 333);
    ShowWindow(w, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(w));
    RECT r = RectOf(w);
    RemoteControl remote = {NULL, {0, 0, 0, 0}, {}};
    remote.SaveWindowRect(w);
    ExpectDword(LEFT, r.left);
    ExpectDword(RIGHT, r.right);
    ExpectDword(TOP, r.top);
    ExpectDword(BOTTOM, r.bottom);
    printf("[ figures  ] minimised window rectangle %s\n", Describe(r).c_str());
}

TEST_F(Settings, SavedPositionIsAppliedOnlyWithAllFiveValues)
{
    // Right and bottom are never coordinates; they only have to be there.
    PutRect(140, 60, 5000, -7);
    ExpectNotMoved(Placed());  // as this program leaves the key: no popout value

    PutDword(POPOUT, 0);
    RECT r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{140, 60, 350, 390})) << "moved, template size kept: " << Describe(r);

    PutDword(POPOUT, 7);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{140, 60, 406, 605})) << "moved and 266 x 545: " << Describe(r);

    PutDword(POPOUT, (LONG)0x80000000);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{140, 60, 406, 605})) << Describe(r);

    // Any one value missing stops the reads before the window is touched.
    for (const char *missing : {LEFT, RIGHT, TOP, BOTTOM, POPOUT}) {
        SCOPED_TRACE(missing);
        PutRect(140, 60, 5000, -7);
        PutDword(POPOUT, 1);
        Delete(missing);
        ExpectNotMoved(Placed());
    }
}

TEST_F(Settings, WindowValuesAreReadAsFourBytesWhateverTheirType)
{
    LONG left = 150, top = 70, right = 1, bottom = 2, popout = 1;
    Put(LEFT, REG_BINARY, &left, 4);
    Put(RIGHT, REG_BINARY, &right, 4);
    Put(TOP, REG_BINARY, &top, 4);
    Put(BOTTOM, REG_BINARY, &bottom, 4);
    Put(POPOUT, REG_BINARY, &popout, 4);
    RECT r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{150, 70, 150 + 266, 70 + 545})) << Describe(r);

    // Eight bytes do not fit: the read fails and the window stays.
    for (const char *wide : {LEFT, TOP, POPOUT}) {
        SCOPED_TRACE(wide);
        PutRect(150, 70, 1, 2);
        PutDword(POPOUT, 1);
        long long value = 150;
        Put(wide, REG_QWORD, &value, 8);
        ExpectNotMoved(Placed());
    }

    // Each read's room is what the one before returned: after a 2-byte value a 4-byte one fails.
    PutRect(150, 70, 1, 2);
    PutDword(POPOUT, 1);
    short narrow = 150;
    Put(LEFT, REG_BINARY, &narrow, 2);
    ExpectNotMoved(Placed());
}

TEST_F(Settings, APositionIsAppliedWhileSomeOfTheCaptionIsOnAMonitor)
{
    // As saved while minimised.
    PutRect(-32000, -32000, -31840, -31973);
    PutDword(POPOUT, 0);
    ExpectNotMoved(Placed());
    PutDword(POPOUT, 1);
    RECT r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{30, 40, 30 + 266, 40 + 545})) << "resized in place: " << Describe(r);

    // Dragged partly past the left edge: it comes back where it was.
    PutRect(-100, 100, 166, 645);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{-100, 100, 166, 645})) << Describe(r);
    // Only when its caption strip is as wide as the window will be: 266 pixels reach the
    // screen from -265, the template-sized window of 210 only from -209.
    PutRect(-265, 100, 1, 645);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{-265, 100, 1, 645})) << Describe(r);
    PutDword(POPOUT, 0);
    PutRect(-230, 100, -20, 430);
    ExpectNotMoved(Placed());

    // Above the top edge: moved while the caption's bottom row still shows.
    HWND probe = MakeWindow(30, 40, 210, 330);
    POINT client = {0, 0};
    ClientToScreen(probe, &client);
    const int caption = client.y - 40;
    ASSERT_GT(caption, 0);
    PutRect(100, -caption + 1, 310, 330);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{100, -caption + 1, 310, 330 - caption + 1})) << Describe(r);
    PutRect(100, -caption, 310, 330);
    ExpectNotMoved(Placed());

    // Just beyond the screen's right edge, and on its last pixel.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    PutRect(width, 0, width + 210, 330);
    ExpectNotMoved(Placed());
    PutRect(width - 1, height - 1, width + 209, height + 329);
    r = Placed();
    EXPECT_TRUE(SameRect(r, RECT{width - 1, height - 1, width - 1 + 210, height - 1 + 330})) << Describe(r);

    // Values edited by hand at the ends of the range: no overflow, and nowhere on screen.
    for (LONG edge : {(LONG)0x7FFFFFFF, (LONG)0x7FFFFF00, (LONG)0x80000000}) {
        PutRect(edge, edge, 0, 0);
        PutDword(POPOUT, 1);
        r = Placed();
        EXPECT_TRUE(SameRect(r, RECT{30, 40, 30 + 266, 40 + 545})) << edge << ": " << Describe(r);
    }
}

TEST_F(Settings, StoredAddressText)
{
    struct Case {
        const char *what;
        DWORD type;
        std::string data;
        const char *loaded;
    };
    const std::string padding_259(259 - 9, '\0'), padding_260(260 - 9, '\0'), padding_300(300 - 9, '\0');
    const Case cases[] = {
        {"saved text", REG_SZ, std::string("10.0.0.5") + '\0', "10.0.0.5"},
        {"three parts", REG_SZ, std::string("1.2.3") + '\0', "1.2.3.0"},
        {"empty text", REG_SZ, std::string(1, '\0'), "0.0.0.0"},
        {"19 characters", REG_SZ, std::string("1.2.3.4............") + '\0', "1.2.3.4"},
        {"20 characters", REG_SZ, std::string("1.2.3.4.............") + '\0', "0.0.0.0"},
        {"long text", REG_SZ, std::string("10.0.0.5 and a lot more after it") + '\0', "0.0.0.0"},
        {"binary with its NUL", REG_BINARY, std::string("10.0.0.6") + '\0', "10.0.0.6"},
        {"binary without NUL", REG_BINARY, std::string("10.0.0.6"), "0.0.0.0"},
        {"259 bytes", REG_BINARY, std::string("10.0.0.7") + '\0' + padding_259, "10.0.0.7"},
        {"260 bytes", REG_BINARY, std::string("10.0.0.7") + '\0' + padding_260, "10.0.0.7"},
        {"260 bytes, text ending at the last", REG_BINARY, std::string("10.0.0.8") + std::string(251, '.') + '\0', "0.0.0.0"},
        {"260 bytes without NUL", REG_BINARY, std::string("10.0.0.9") + std::string(252, '.'), "0.0.0.0"},
        {"300 bytes", REG_BINARY, std::string("10.0.0.7") + '\0' + padding_300, "0.0.0.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeA(g_Root, "SOFTWARE");
        Put(ADDRESS, c.type, c.data.data(), (DWORD)c.data.size());
        EXPECT_EQ(Dotted(Loaded().bytes), c.loaded);
    }

    // A key with other values but no address.
    RegDeleteTreeA(g_Root, "SOFTWARE");
    PutRect(1, 2, 3, 4);
    EXPECT_EQ(Dotted(Loaded().bytes), "0.0.0.0");
}

TEST_F(Settings, AlwaysOnTopIsOnOnlyForADwordOfOne)
{
    // Saving 1 and 0 and applying them at the next start: the end-to-end test.
    EXPECT_FALSE(LoadAlwaysOnTop());
    EXPECT_FALSE(KeyExists()) << "reading created the key";
    SaveAlwaysOnTop(true);
    EXPECT_TRUE(LoadAlwaysOnTop());
    // Foreign values: another number, the text "1", four bytes of another type, eight bytes.
    const long long one = 1, two = 2;
    const struct { DWORD type; const void *data; DWORD size; } foreign[] = {
        {REG_DWORD, &two, 4}, {REG_SZ, "1", 2}, {REG_BINARY, &one, 4}, {REG_QWORD, &one, 8}};
    for (const auto &value : foreign) {
        Put(ON_TOP, value.type, value.data, value.size);
        EXPECT_FALSE(LoadAlwaysOnTop()) << "type " << value.type;
    }
}

TEST_F(Settings, FollowBoxIsOnUnlessADwordOfZero)
{
    EXPECT_TRUE(LoadFollowBox());
    EXPECT_FALSE(KeyExists()) << "reading created the key";
    // Junk and foreign values are the default, and loading them leaves them as they are.
    const long long zero = 0, seven = 7;
    const struct { DWORD type; const void *data; DWORD size; } foreign[] = {
        {REG_DWORD, &seven, 4}, {REG_SZ, "0", 2}, {REG_BINARY, &zero, 4}, {REG_QWORD, &zero, 8}};
    for (const auto &value : foreign) {
        Put("Follow Box", value.type, value.data, value.size);
        EXPECT_TRUE(LoadFollowBox()) << "type " << value.type;
        EXPECT_EQ(Get("Follow Box").type, value.type);
    }
    SaveFollowBox(false);
    EXPECT_FALSE(LoadFollowBox());
    EXPECT_EQ(Get("Follow Box").data, std::string(4, '\0'));
    SaveFollowBox(true);
    EXPECT_TRUE(LoadFollowBox());
}

std::string LoadedRecentBoxes()
{
    RecentBoxes list = {{{9, 9, 9, 9}}, 1};
    LoadRecentBoxes(&list);
    char text[RECENT_BOXES_TEXT_SIZE];
    WriteRecentBoxes(list, text);
    return text;
}

TEST_F(Settings, RecentBoxes)
{
    const char *name = "Recent Boxes";
    const std::string nine = "1.0.0.1 1.0.0.2 1.0.0.3 1.0.0.4 1.0.0.5 1.0.0.6 1.0.0.7 1.0.0.8 1.0.0.9";
    struct Case { DWORD type; std::string data; const char *loaded; };
    const Case cases[] = {
        {REG_SZ, std::string("127.0.0.5 10.1.2.3") + '\0', "127.0.0.5 10.1.2.3"},
        {REG_SZ, std::string(1, '\0'), ""},
        {REG_BINARY, std::string("127.0.0.5") + '\0', ""},     // foreign type
        {REG_SZ, nine + '\0', ""},                              // nine addresses
        {REG_SZ, std::string(300, 'x') + '\0', ""},             // over-long
        {REG_SZ, std::string("127.0.0.5  10.1.2.3") + '\0', ""}, // garbage
        {REG_SZ, std::string("127.0.0.5 127.0.0.05") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5 127.0.0.5") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5 ") + '\0', ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data);
        Put(name, c.type, c.data.data(), (DWORD)c.data.size());
        EXPECT_EQ(LoadedRecentBoxes(), c.loaded);
    }
    // Most recent first, each once, eight at most; saving writes that value alone.
    PutText(ADDRESS, "10.0.0.1");
    RecentBoxes list = {};
    for (unsigned char last = 1; last <= 9; ++last) {
        unsigned char address[4] = {1, 0, 0, last};
        EXPECT_TRUE(AddRecentBox(&list, address));
    }
    unsigned char again[4] = {1, 0, 0, 5}, first[4] = {1, 0, 0, 5};
    EXPECT_TRUE(AddRecentBox(&list, again));
    EXPECT_FALSE(AddRecentBox(&list, first));
    SaveRecentBoxes(list);
    EXPECT_EQ(Get(name).data, std::string("1.0.0.5 1.0.0.9 1.0.0.8 1.0.0.7 1.0.0.6 1.0.0.4 1.0.0.3 1.0.0.2") + '\0');
    EXPECT_EQ(Get(name).type, (DWORD)REG_SZ);
    EXPECT_EQ(ValueCount(), 2u);
    EXPECT_EQ(Get(ADDRESS).data, std::string("10.0.0.1") + '\0');
    // The box moved from 1.0.0.8 to 1.0.0.20: the new address first, the old one gone.
    unsigned char from[4] = {1, 0, 0, 8}, to[4] = {1, 0, 0, 20};
    EXPECT_TRUE(MoveRecentBox(&list, from, to));
    char text[RECENT_BOXES_TEXT_SIZE];
    WriteRecentBoxes(list, text);
    EXPECT_STREQ(text, "1.0.0.20 1.0.0.5 1.0.0.9 1.0.0.7 1.0.0.6 1.0.0.4 1.0.0.3 1.0.0.2");
}

std::string LoadedWakeAddresses()
{
    WakeAddresses list = {{{9, 9, 9, 9}}, {{2, 0, 0, 0, 0, 9}}, 1};
    LoadWakeAddresses(&list);
    char text[WAKE_ADDRESSES_TEXT_SIZE];
    WriteWakeAddresses(list, text);
    return text;
}

TEST_F(Settings, WakeAddresses)
{
    const char *name = "Wake Addresses";
    std::string nine;
    for (int i = 1; i <= 9; ++i) nine += (i > 1 ? ";1.0.0." : "1.0.0.") + std::to_string(i) + "=02:00:00:00:00:01";
    struct Case { DWORD type; std::string data; const char *loaded; };
    const Case cases[] = {
        {REG_SZ, std::string("127.0.0.5=00:1A:2b:3c:4d:5e;10.1.2.3=02:00:00:00:00:01") + '\0',
         "127.0.0.5=00:1a:2b:3c:4d:5e;10.1.2.3=02:00:00:00:00:01"},
        // A multicast pair kept by an older version: left out, the others kept.
        {REG_SZ, std::string("127.0.0.5=01:00:5e:00:00:01;10.1.2.3=02:00:00:00:00:01") + '\0', "10.1.2.3=02:00:00:00:00:01"},
        {REG_BINARY, std::string("127.0.0.5=00:1a:2b:3c:4d:5e") + '\0', ""},  // foreign type
        {REG_SZ, nine + '\0', ""},                                              // nine pairs
        {REG_SZ, std::string("127.0.0.5=00:1a:2b:3c:4d") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5=00:00:00:00:00:00") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5=0:1a:2b:3c:4d:5e") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5 00:1a:2b:3c:4d:5e") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5=00:1a:2b:3c:4d:5e;") + '\0', ""},
        {REG_SZ, std::string("127.0.0.5=00:1a:2b:3c:4d:5e;127.0.0.5=00:1a:2b:3c:4d:5f") + '\0', ""},
        {REG_SZ, std::string(600, 'x') + '\0', ""},  // over-long
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data);
        Put(name, c.type, c.data.data(), (DWORD)c.data.size());
        EXPECT_EQ(LoadedWakeAddresses(), c.loaded);
    }
    // Most recent first, each box once with its latest hardware address, eight at most; saving
    // writes that value alone.
    PutText(ADDRESS, "10.0.0.1");
    WakeAddresses list = {};
    for (unsigned char last = 1; last <= 9; ++last) {
        unsigned char address[4] = {1, 0, 0, last}, hardware[6] = {2, 0, 0, 0, 0, last};
        EXPECT_TRUE(AddWakeAddress(&list, address, hardware));
    }
    unsigned char again[4] = {1, 0, 0, 5}, replaced[6] = {0xAA, 0, 0, 0, 0, 5};
    EXPECT_TRUE(AddWakeAddress(&list, again, replaced));
    EXPECT_FALSE(AddWakeAddress(&list, again, replaced));
    SaveWakeAddresses(list);
    EXPECT_EQ(Get(name).data, std::string("1.0.0.5=aa:00:00:00:00:05;1.0.0.9=02:00:00:00:00:09;1.0.0.8=02:00:00:00:00:08;"
                                          "1.0.0.7=02:00:00:00:00:07;1.0.0.6=02:00:00:00:00:06;1.0.0.4=02:00:00:00:00:04;"
                                          "1.0.0.3=02:00:00:00:00:03;1.0.0.2=02:00:00:00:00:02") + '\0');
    EXPECT_EQ(Get(name).type, (DWORD)REG_SZ);
    EXPECT_EQ(ValueCount(), 2u);
    EXPECT_EQ(LoadedWakeAddresses(), Get(name).data.substr(0, Get(name).data.size() - 1));
}

// Every line of "Favourites" is loaded in order and saved back as it was, usable or not; lines
// beyond twenty are kept but not usable.
TEST_F(Settings, FavouritesKeepEveryLine)
{
    std::vector<Favourite> list;
    std::string value = std::string("Channel=1 0 1 OK") + '\0' + "no equals sign" + '\0' + "Bad=OK NOPE" + '\0';
    for (int i = 3; i < 21; ++i) value += "F" + std::to_string(i) + "=OK" + '\0';
    Put("Favourites", REG_MULTI_SZ, value.data(), (DWORD)value.size());  // its last NUL left off
    LoadFavourites(&list);
    ASSERT_EQ(list.size(), 21u);
    EXPECT_TRUE(list[0].Usable());
    EXPECT_EQ(list[0].steps.size(), 4u);
    EXPECT_FALSE(list[1].Usable());
    EXPECT_FALSE(list[2].Usable());
    EXPECT_TRUE(list[19].Usable());
    EXPECT_FALSE(list[20].Usable());
    SaveFavourites(list);
    EXPECT_EQ(Get("Favourites").type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(Get("Favourites").data, value + '\0');
    // Of a value of another type, or larger than the program takes, the lines it can read show,
    // and the loader says why the value is not to be written over; an empty line hides nothing.
    std::string large;
    while (large.size() < FAVOURITES_VALUE_MAX / 2 + 64) large += std::string("Channel=OK") + '\0';
    struct {
        DWORD type;
        std::string data;
        size_t lines;
        bool kept;
    } cases[] = {
        {REG_SZ, std::string("Channel=OK") + '\0', 1, true},
        {REG_BINARY, "Channel=OK", 0, true},
        {REG_MULTI_SZ, std::string("A=OK") + '\0' + '\0' + "B=OK" + '\0' + '\0', 2, false},
        {REG_MULTI_SZ, large + '\0', FAVOURITES_VALUE_MAX / 2 / 11 + 1, true},  // the last cut off at 64 KiB
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        Put("Favourites", c.type, c.data.data(), (DWORD)c.data.size());
        std::string keep;
        LoadFavourites(&list, &keep);
        EXPECT_EQ(list.size(), c.lines);
        EXPECT_EQ(!keep.empty(), c.kept) << keep;
    }
}

// A name in a script outside the code page is loaded and saved back unchanged (wide functions).
TEST_F(Settings, FavouritesKeepNamesInAnyScript)
{
    const wchar_t line[] = L"\x041a\x0430\x043d\x0430\x043b \x03b1=1 0 1 OK";  // Cyrillic and Greek
    std::wstring value = std::wstring(line) + L'\0' + L'\0';
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(g_Root, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, L"Favourites", 0, REG_MULTI_SZ, (const BYTE *)value.data(),
                             (DWORD)(value.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    std::vector<Favourite> list;
    LoadFavourites(&list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].Usable()) << list[0].problem;
    RegDeleteValueA(key, "Favourites");
    EXPECT_TRUE(SaveFavourites(list));
    wchar_t data[64] = {0};
    DWORD size = sizeof(data), type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, L"Favourites", NULL, &type, (BYTE *)data, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(std::wstring(data, size / sizeof(wchar_t)), value);
}

// Makes HKEY_CURRENT_USER stand for a fresh key of this process, and checks that it does.
bool RedirectCurrentUser(std::string *path)
{
    *path = "Software\\HalcyraTests\\" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, path->c_str());
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path->c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &g_Root,
                        NULL) != ERROR_SUCCESS)
        return false;
    if (RegOverridePredefKey(HKEY_CURRENT_USER, g_Root) != ERROR_SUCCESS) return false;
    HKEY probe;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "RedirectionProbe", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &probe,
                        NULL) != ERROR_SUCCESS)
        return false;
    RegCloseKey(probe);
    bool redirected = RegOpenKeyExA(g_Root, "RedirectionProbe", 0, KEY_READ, &probe) == ERROR_SUCCESS;
    if (redirected) RegCloseKey(probe);
    RegDeleteKeyA(HKEY_CURRENT_USER, "RedirectionProbe");
    return redirected;
}

void RestoreCurrentUser(const std::string &path)
{
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    if (g_Root) RegCloseKey(g_Root);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\HalcyraTests");  // only when no other run uses it
}

}  // namespace

int main(int argc, char **argv)
{
    g_Instance = GetModuleHandleA(NULL);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = g_Instance;
    wc.lpszClassName = TEST_WINDOW_CLASS;
    if (!RegisterClassA(&wc)) return 2;
    std::string path;
    if (!RedirectCurrentUser(&path)) {
        printf("HKEY_CURRENT_USER could not be redirected to a test key; nothing was run\n");
        RestoreCurrentUser(path);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    RestoreCurrentUser(path);
    return result;
}
