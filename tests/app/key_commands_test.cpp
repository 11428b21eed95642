// Key commands and the free-text line against an in-process box on loopback, under Wine: the
// bytes of every command id, the address check with its message box, and which address the
// free text goes to.
#include "app/window_ids.h"
#include "app/key_commands.h"
#include "app/media_keys.h"
#include "app/window_state.h"
#include "app/remote_control.h"
#include "address/address.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/loopback_box.h"
#include "tests/support/message_box_watcher.h"

HINSTANCE g_Instance;

namespace {

const char TEST_WINDOW_CLASS[] = "HalcyraKeyCommandsTestWindow";
const DWORD DONE_WAIT_MS = 15000;  // per batch of transactions; normally well under a second
const DWORD QUIET_MS = 300;        // how long to watch for something that must not arrive

// The key commands of every id, written out from the key table of the remote.
const std::map<unsigned, std::vector<std::string>> &ExpectedKeys()
{
    static const std::map<unsigned, std::vector<std::string>> keys = {
        {1001, {"POWER"}},        {1002, {"PLAYPAUSE"}},   {1003, {"REVERSE"}},
        {1004, {"RECORD"}},       {1005, {"STOP"}},        {1006, {"FORWARD"}},
        {1007, {"MENU"}},         {1008, {"OK"}},          {1009, {"ACCEPT"}},
        {1010, {"UP"}},           {1011, {"DOWN"}},        {1012, {"RIGHT"}},
        {1013, {"LEFT"}},         {1014, {"CANCEL"}},      {1015, {"VOLUME_UP"}},
        {1016, {"VOLUME_DOWN"}},  {1017, {"MUTE"}},        {1018, {"PAGE_CHANNEL_DOWN"}},
        {1019, {"GUIDE"}},        {1020, {"SELECT"}},      {1021, {"NUMBER0"}},
        {1022, {"NUMBER1"}},      {1023, {"NUMBER2"}},     {1024, {"NUMBER3"}},
        {1025, {"NUMBER4"}},      {1026, {"NUMBER5"}},     {1027, {"NUMBER6"}},
        {1028, {"NUMBER7"}},      {1029, {"NUMBER8"}},     {1030, {"NUMBER9"}},
        {1031, {"PUNCTUATION1"}}, {1032, {"PUNCTUATION2"}}, {1033, {"PAGE_CHANNEL_UP"}},
        {1034, {"SELECT"}},       {1036, {"PLAYPAUSE"}},   {1037, {"PLAY"}},
        {1038, {"ACCEPT"}},
        {1049, {"NUMBER7", "NUMBER0", "NUMBER5"}},
        {1050, {"NUMBER7", "NUMBER0", "NUMBER6"}},
        {1051, {"MENU", "OK", "OK"}},
        {1052, {"MENU", "RIGHT", "OK", "OK"}},
    };
    return keys;
}

// "press NAME", CR, LF and the NUL, all of which goes on the wire.
std::string Wire(const std::string &name) { return std::string("press ") + name + "\r\n" + '\0'; }

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Dotted(const unsigned char *a)
{
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

struct Address {
    unsigned char bytes[4];
};
Address Loopback(int n) { return Address{{127, 0, 0, (unsigned char)n}}; }
bool Same(const unsigned char *a, const Address &b) { return memcmp(a, b.bytes, 4) == 0; }

struct DoneRecord {
    bool has_result;
    Address address;  // the address the transaction used, as its result reports it
};

std::vector<unsigned> g_Clicks;  // the ids of the WM_COMMANDs that the window received
std::vector<DoneRecord> *g_Done = NULL;  // the running test's

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        g_Clicks.push_back(LOWORD(wParam));
        return 0;
    }
    if (message == WM_TXN_DONE) {
        TransactionResult *result = (TransactionResult *)lParam;
        DoneRecord record = {result != NULL, {{0, 0, 0, 0}}};
        if (result) memcpy(record.address.bytes, result->device_address, 4);
        ReleaseTransactionResult(result);
        if (g_Done) g_Done->push_back(record);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PumpOnce(DWORD wait_ms)
{
    MsgWaitForMultipleObjects(0, NULL, FALSE, wait_ms, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) PumpOnce(20);
}

// A stand-in for the main window: the address field, the free-text field and the remote.
struct KeyCommands : ::testing::Test {
    HWND window = NULL;
    std::vector<DoneRecord> done;
    RemoteControl remote;
    RemoteWindowState state = {};  // what the main window keeps on itself
    MessageBoxWatcher boxes;
    size_t boxes_expected = 0;

    void SetUp() override
    {
        remote.keypad_font = NULL;
        memset(remote.device_address, 0, 4);
        window = CreateWindowExA(0, TEST_WINDOW_CLASS, "key commands", WS_OVERLAPPEDWINDOW, 100, 100,
                                 300, 200, NULL, NULL, g_Instance, NULL);
        ASSERT_TRUE(window != NULL);
        state.remote = &remote;
        g_Done = &done;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)&state);
        ASSERT_TRUE(CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10,
                                    120, 20, window, (HMENU)(INT_PTR)IDC_ADDRESS, g_Instance, NULL));
        ASSERT_TRUE(CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 40,
                                    120, 20, window, (HMENU)(INT_PTR)IDC_FREE_TEXT, g_Instance, NULL));
        ASSERT_TRUE(boxes.Start(window));
    }

    void TearDown() override
    {
        PumpFor(50);
        boxes.Stop();
        std::vector<SeenMessageBox> seen = boxes.Seen();
        EXPECT_EQ(seen.size(), boxes_expected) << "message boxes shown";
        for (const SeenMessageBox &box : seen) EXPECT_TRUE(box.dismissed) << "OK did not close the box";
        DestroyDeliverySignTip(&state.sign);
        if (window) DestroyWindow(window);
        g_Done = NULL;
    }

    void OpenBox(LoopbackBox &box, int n)
    {
        ASSERT_TRUE((n >= 60 && n <= 79) || (n >= 47 && n <= 49));
        ASSERT_TRUE(box.Open(("127.0.0." + std::to_string(n)).c_str())) << "cannot listen on 127.0.0." << n;
    }

    void SetAddressText(const std::string &text) { SetDlgItemTextA(window, IDC_ADDRESS, text.c_str()); }
    void SetFreeText(const std::string &text) { SetDlgItemTextA(window, IDC_FREE_TEXT, text.c_str()); }

    // What the main window does with a key id: check the address, and only then send.
    // The sending step runs only towards loopback, whatever the code under test accepted.
    bool Press(unsigned id)
    {
        if (!remote.CheckAddress(window)) return false;
        if (remote.device_address[0] != 127) {
            ADD_FAILURE() << "check accepted " << Dotted(remote.device_address) << "; not sent";
            return true;
        }
        EXPECT_FALSE(remote.SendKeyCommands(window, id)) << "id " << id;
        return true;
    }

    bool SendFreeText()
    {
        if (remote.device_address[0] != 127) {
            ADD_FAILURE() << "free text would go to " << Dotted(remote.device_address) << "; not sent";
            return false;
        }
        return remote.SendFreeText(window);
    }

    bool WaitForDone(size_t count)
    {
        DWORD start = GetTickCount();
        while (done.size() < count) {
            if (GetTickCount() - start > DONE_WAIT_MS) return false;
            PumpOnce(20);
        }
        return true;
    }

    // A rejected press: exactly one more box, with the exact text and caption, owned (modally)
    // by the window.
    void ExpectOneMoreInvalidAddressBox(const std::string &why)
    {
        ++boxes_expected;
        std::vector<SeenMessageBox> seen = boxes.Seen();
        ASSERT_EQ(seen.size(), boxes_expected) << why;
        const SeenMessageBox &box = seen.back();
        EXPECT_EQ(box.text, "Invalid IP Address") << why;
        EXPECT_EQ(box.caption, "Zavaveva") << why;
        EXPECT_EQ(box.owner, window) << why;
        EXPECT_TRUE(box.owner_disabled) << why << ": the box was not modal to the window";
        EXPECT_EQ(box.button_count, 1) << why;
        EXPECT_TRUE(box.has_ok) << why;
    }
};

TEST(KeyCommandTable, HasARowForExactlyTheKeyIds)
{
    EXPECT_EQ(KEY_COMMAND_TABLE_SIZE, 41);
    const auto &expected = ExpectedKeys();
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        const KeyCommandRow *row = FindKeyCommandRow(id);
        auto want = expected.find(id);
        if (want == expected.end()) {
            EXPECT_TRUE(row == NULL) << "id " << id << " has a row";
            continue;
        }
        ASSERT_TRUE(row != NULL) << "id " << id << " has no row";
        EXPECT_EQ(row->id, id);
        ASSERT_EQ(row->count, (int)want->second.size()) << "id " << id;
        for (int k = 0; k < row->count; ++k)
            EXPECT_EQ(std::string(row->keys[k]->bytes, row->keys[k]->length), Wire(want->second[k]))
                << "id " << id << " key " << k;
    }
}

TEST_F(KeyCommands, EveryIdSendsItsKeyCommandsToTheBoxInOrder)
{
    LoopbackBox box;
    OpenBox(box, 60);
    SetAddressText("127.0.0.60");
    std::vector<std::string> expected;
    for (const auto &entry : ExpectedKeys()) {
        unsigned id = entry.first;
        for (const std::string &name : entry.second) expected.push_back(Wire(name));
        ASSERT_TRUE(Press(id)) << "id " << id << " was refused";
        ASSERT_TRUE(WaitForDone(expected.size())) << "id " << id << ": transactions did not end";
        ASSERT_TRUE(box.WaitForCommands(expected.size(), 5000)) << "id " << id;
        std::vector<BoxConnection> seen = box.Connections();
        ASSERT_EQ(seen.size(), expected.size()) << "id " << id;
        for (size_t k = expected.size() - entry.second.size(); k < expected.size(); ++k)
            EXPECT_EQ(Hex(seen[k].command), Hex(expected[k])) << "id " << id;
    }
    EXPECT_TRUE(Same(remote.device_address, Loopback(60)));
    for (const DoneRecord &record : done) {
        EXPECT_TRUE(record.has_result);
        EXPECT_TRUE(Same(record.address.bytes, Loopback(60))) << Dotted(record.address.bytes);
    }

    // Nothing more arrives, and each connection carried its command and nothing else.
    PumpFor(QUIET_MS);
    EXPECT_EQ(done.size(), expected.size());
    box.Close();
    std::vector<BoxConnection> seen = box.Connections();
    ASSERT_EQ(seen.size(), expected.size());
    EXPECT_EQ(box.AcceptedCount(), expected.size());
    for (size_t k = 0; k < seen.size(); ++k) EXPECT_EQ(Hex(seen[k].bytes), Hex(expected[k])) << k;
    EXPECT_EQ(expected.size(), 50u);
    EXPECT_EQ(seen.front().bytes, std::string("\x70\x72\x65\x73\x73\x20\x50\x4F\x57\x45\x52\x0D\x0A\x00", 14));
}

TEST_F(KeyCommands, IdsWithoutARowSendNothing)
{
    LoopbackBox box;
    OpenBox(box, 61);
    SetAddressText("127.0.0.61");
    ASSERT_TRUE(remote.CheckAddress(window));
    ASSERT_TRUE(Same(remote.device_address, Loopback(61)));
    std::vector<unsigned> ids = {0, 1, 2, 1000, 1035, 1053, 65535};
    for (unsigned id = 1039; id <= 1048; ++id) ids.push_back(id);
    for (unsigned id : ids) EXPECT_FALSE(remote.SendKeyCommands(window, id)) << "id " << id;
    PumpFor(QUIET_MS);
    EXPECT_EQ(box.AcceptedCount(), 0u);
    EXPECT_TRUE(done.empty());

    // The box does receive what a key id sends, so the silence above means something.
    ASSERT_TRUE(Press(IDC_STOP));
    ASSERT_TRUE(WaitForDone(1));
    ASSERT_TRUE(box.WaitForCommands(1, 5000));
    EXPECT_EQ(box.Connections()[0].command, Wire("STOP"));
}

TEST_F(KeyCommands, AddressFieldIsReadAsOneCanonicalAddress)
{
    struct Case {
        const char *text;
        int accepted;
        Address bytes;
    };
    const Case cases[] = {
        {"192.168.1.20", 1, {{192, 168, 1, 20}}},
        {"0.0.0.0", 1, {{0, 0, 0, 0}}},
        {"255.255.255.255", 1, {{255, 255, 255, 255}}},
        {"127.0.0.62", 1, {{127, 0, 0, 62}}},
        {"192.168.001.020", 0, {}},
        {"192.168.1", 0, {}},
        {"192.168.1.20 ", 0, {}},
        {" 127.0.0.1", 0, {}},
        {"256.1.1.1", 0, {}},
        {"-1.-1.-1.-1", 0, {}},
        {"", 0, {}},
        {"1.2.3.4.5", 0, {}},
        {"127.0.0.1 127.0.0.1", 0, {}},  // 19 characters
        {"127.0.0.1.........................", 0, {}},
        {"10.0.0.5-9", 0, {}},
        {"10.0.0.*", 0, {}},
    };
    for (const Case &c : cases) {
        SetAddressText(c.text);
        Address bytes = {{0xA5, 0xA5, 0xA5, 0xA5}};
        EXPECT_EQ(ReadAddressField(window, bytes.bytes, IDC_ADDRESS), c.accepted) << '"' << c.text << '"';
        const Address &want = c.accepted ? c.bytes : Address{{0xA5, 0xA5, 0xA5, 0xA5}};
        EXPECT_TRUE(memcmp(bytes.bytes, want.bytes, 4) == 0) << '"' << c.text << "\" gave " << Dotted(bytes.bytes);
    }

    // 0.0.0.0 passes the check and becomes the device address, without a message.
    memcpy(remote.device_address, Loopback(62).bytes, 4);
    SetAddressText("0.0.0.0");
    EXPECT_TRUE(remote.CheckAddress(window));
    EXPECT_TRUE(Same(remote.device_address, Address{{0, 0, 0, 0}}));
    memcpy(remote.device_address, Loopback(62).bytes, 4);
    SetAddressText("127.0.0.62");
}

TEST_F(KeyCommands, InvalidAddressShowsTheMessageAndSendsNothing)
{
    LoopbackBox box;
    OpenBox(box, 63);
    SetAddressText("127.0.0.63");
    ASSERT_TRUE(Press(IDC_POWER));
    ASSERT_TRUE(WaitForDone(1));
    ASSERT_TRUE(box.WaitForCommands(1, 5000));

    const char *rejected[] = {
        "192.168.001.020", "192.168.1", "192.168.1.20 ", "256.1.1.1", "-1.-1.-1.-1", "",
        "127.0.0.1 127.0.0.1", "127.0.0.63 and then some more", " 127.0.0.1",
    };
    // Single-key and multi-key ids in turn: one check, one message, per press.
    const unsigned ids[] = {IDC_POWER, IDC_DIGITS_705, IDC_MENU_RIGHT_OK_OK};
    int turn = 0;
    for (const char *text : rejected) {
        unsigned id = ids[turn++ % 3];
        std::string why = "\"" + std::string(text) + "\" with id " + std::to_string(id);
        SetAddressText(text);
        EXPECT_FALSE(Press(id)) << why;
        ExpectOneMoreInvalidAddressBox(why);
        EXPECT_TRUE(Same(remote.device_address, Loopback(63))) << why << ": " << Dotted(remote.device_address);
        PumpFor(100);
        EXPECT_EQ(box.AcceptedCount(), 1u) << why;
    }
    PumpFor(QUIET_MS);
    EXPECT_EQ(box.AcceptedCount(), 1u);
    EXPECT_EQ(done.size(), 1u);

    // The held address is still the one in use.
    SetFreeText("still here");
    ASSERT_TRUE(SendFreeText());
    ASSERT_TRUE(WaitForDone(2));
    ASSERT_TRUE(box.WaitForCommands(2, 5000));
    EXPECT_EQ(box.Connections()[1].command, std::string("still here\r\n") + '\0');
}

TEST_F(KeyCommands, FreeTextIsFramedAndLimitedTo251Characters)
{
    LoopbackBox box;
    OpenBox(box, 65);
    memcpy(remote.device_address, Loopback(65).bytes, 4);  // as if loaded at start

    std::string long_line;
    for (int i = 0; i < 251; ++i) long_line += (char)('!' + i % 90);
    const std::string sent_lines[] = {"x", "abc", long_line, "caf\xE9 \xFC"};
    std::vector<std::string> expected;
    for (const std::string &line : sent_lines) {
        SetFreeText(line);
        EXPECT_TRUE(SendFreeText()) << line.size() << " characters";
        expected.push_back(line + "\r\n" + '\0');
        ASSERT_TRUE(WaitForDone(expected.size())) << line.size() << " characters";
    }
    for (const std::string &line : {std::string(), long_line + "y", long_line + "yyyyyyyyyyyyyyyyy"}) {
        SetFreeText(line);
        EXPECT_FALSE(SendFreeText()) << line.size() << " characters";
    }
    PumpFor(QUIET_MS);
    EXPECT_EQ(done.size(), expected.size());
    box.Close();
    std::vector<BoxConnection> seen = box.Connections();
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t k = 0; k < seen.size(); ++k) EXPECT_EQ(Hex(seen[k].bytes), Hex(expected[k])) << k;
    EXPECT_EQ(seen[0].bytes.size(), 4u);
    EXPECT_EQ(seen[1].bytes, std::string("\x61\x62\x63\x0D\x0A\x00", 6));
    EXPECT_EQ(seen[2].bytes.size(), 254u);
}

TEST_F(KeyCommands, FreeTextGoesToTheHeldAddressNotTheField)
{
    LoopbackBox held, typed;
    OpenBox(held, 66);
    OpenBox(typed, 67);
    memcpy(remote.device_address, Loopback(66).bytes, 4);
    const std::string line = std::string("hello\r\n") + '\0';
    SetFreeText("hello");

    // Invalid text in the address field: no check, no message.
    SetAddressText("not an address");
    ASSERT_TRUE(SendFreeText());
    // A new valid address typed but no key pressed yet: still the held address.
    SetAddressText("127.0.0.67");
    ASSERT_TRUE(SendFreeText());
    ASSERT_TRUE(WaitForDone(2));
    ASSERT_TRUE(held.WaitForCommands(2, 5000));
    EXPECT_TRUE(Same(remote.device_address, Loopback(66)));

    // A key press takes the typed address; the free text follows it from then on.
    ASSERT_TRUE(Press(IDC_GUIDE));
    EXPECT_TRUE(Same(remote.device_address, Loopback(67)));
    ASSERT_TRUE(WaitForDone(3));
    ASSERT_TRUE(SendFreeText());
    ASSERT_TRUE(WaitForDone(4));
    ASSERT_TRUE(typed.WaitForCommands(2, 5000));

    PumpFor(QUIET_MS);
    held.Close();
    typed.Close();
    std::vector<BoxConnection> to_held = held.Connections(), to_typed = typed.Connections();
    ASSERT_EQ(to_held.size(), 2u);
    EXPECT_EQ(to_held[0].bytes, line);
    EXPECT_EQ(to_held[1].bytes, line);
    ASSERT_EQ(to_typed.size(), 2u);
    EXPECT_EQ(to_typed[0].bytes, Wire("GUIDE"));
    EXPECT_EQ(to_typed[1].bytes, line);
    ASSERT_EQ(done.size(), 4u);
    EXPECT_TRUE(Same(done[0].address.bytes, Loopback(66)));
    EXPECT_TRUE(Same(done[1].address.bytes, Loopback(66)));
    EXPECT_TRUE(Same(done[2].address.bytes, Loopback(67)));
    EXPECT_TRUE(Same(done[3].address.bytes, Loopback(67)));
}

// Media keys from a device that sends no key-downs: while a command is under way, the same
// command again soon after is a held key's repeat, taken and dropped; the mouse's go on.
TEST_F(KeyCommands, AppCommandRepeatsWaitForTheCommandUnderWay)
{
    LoopbackBox box;
    box.mode = BOX_SILENT;  // keeps its command under way for seconds
    OpenBox(box, 49);
    SetAddressText("127.0.0.49");
    ASSERT_TRUE(Press(IDC_STOP));
    ASSERT_TRUE(box.WaitForCommands(1, 5000));
    struct Row {
        int command;
        WORD device;
        bool taken;
        unsigned click;  // 0: none
    };
    const Row rows[] = {
        {APPCOMMAND_VOLUME_UP, FAPPCOMMAND_KEY, true, IDC_VOL_UP},
        {APPCOMMAND_VOLUME_UP, FAPPCOMMAND_KEY, true, 0},
        {APPCOMMAND_VOLUME_UP, FAPPCOMMAND_OEM, true, 0},
        {APPCOMMAND_VOLUME_MUTE, FAPPCOMMAND_KEY, true, IDC_MUTE},
        {APPCOMMAND_VOLUME_UP, FAPPCOMMAND_KEY, true, IDC_VOL_UP},
        {APPCOMMAND_BROWSER_BACKWARD, FAPPCOMMAND_MOUSE, false, 0},
    };
    for (const Row &row : rows) {
        g_Clicks.clear();
        EXPECT_EQ(RouteAppCommand(window, &state, MAKELPARAM(0, row.command | row.device)), row.taken) << row.command;
        EXPECT_EQ(g_Clicks, row.click ? std::vector<unsigned>{row.click} : std::vector<unsigned>()) << row.command;
    }
    EXPECT_GT(TransactionsUnderWay(), 0);  // the rows all saw the command under way
    // Another box in the field: its repeats wait for none of the first box's commands.
    SetAddressText("127.0.0.48");
    g_Clicks.clear();
    EXPECT_TRUE(RouteAppCommand(window, &state, MAKELPARAM(0, APPCOMMAND_VOLUME_UP | FAPPCOMMAND_KEY)));
    EXPECT_EQ(g_Clicks, std::vector<unsigned>{IDC_VOL_UP});
}

// A button's keys start all together or not at all: with room for two more keys in the box's
// line, a three-key button starts none and shows the sign.
TEST_F(KeyCommands, AButtonThatDoesNotFitStartsNoneOfItsKeys)
{
    LoopbackBox box;
    box.hang = true;  // every key waits in the line until the first gives up its attempt
    OpenBox(box, 47);
    SetAddressText("127.0.0.47");
    ASSERT_TRUE(Press(IDC_POWER));
    const unsigned char *address = remote.device_address;
    while (TransactionRoomFor(address, DEVICE_COMMAND_PORT) > 2)
        ASSERT_TRUE(CommandTransaction::Start(window, address, DEVICE_COMMAND_PORT, "k", 1));
    int before = TransactionsUnderWayFor(address, DEVICE_COMMAND_PORT);
    ASSERT_TRUE(Press(IDC_DIGITS_705));
    EXPECT_EQ(TransactionsUnderWayFor(address, DEVICE_COMMAND_PORT), before);
    EXPECT_TRUE(state.sign.undelivered);
    EXPECT_TRUE(WaitForDone((size_t)before));  // all of them, once the first gives up
    box.Release();
    PumpFor(QUIET_MS);
    EXPECT_EQ(box.CommandCount(), 0u);
}

}  // namespace

int main(int argc, char **argv)
{
    g_Instance = GetModuleHandleA(NULL);
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 2;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = g_Instance;
    wc.lpszClassName = TEST_WINDOW_CLASS;
    if (!RegisterClassA(&wc)) return 2;
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    WSACleanup();
    return result;
}
