// HalcyraSend run as a separate process against an in-process box on loopback, under Wine: bytes
// and order at the box, the pause, every kind of bad argument, a box that refuses, and the saved
// address (the real per-user key: CTest runs no other test that touches it at the same time).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "keys/keys.h"
#include "settings/registry.h"
#include "settings/wake_addresses.h"
#include "tests/support/loopback_box.h"
#include "tests/support/program_test_main.h"

namespace {

std::string g_SendExe;
const char BOX[] = "127.0.0.64";
const char NOBODY[] = "127.0.0.65";  // nothing listens here: connections are refused
const char HANGING[] = "127.0.0.57";  // connection attempts hang
const DWORD RUN_BOUND_MS = 60000;    // the transport's own bounds end every run well before

struct SendOutcome {
    int code;
    std::string out, err;
};

// Runs the sender; its standard output and error go to files of their own, new names each run
// (Wine may let go of an ended run's file only after the next run has begun).
SendOutcome Send(const std::string &arguments)
{
    static int files_made = 0;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    std::string names[2];
    HANDLE files[2];
    for (int i = 0; i < 2; ++i) {
        names[i] = "sender_test_" + std::to_string(++files_made) + ".txt";
        files[i] = CreateFileA(names[i].c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, CREATE_ALWAYS, 0, NULL);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = files[0];
    startup.hStdError = files[1];
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + g_SendExe + "\" " + arguments;
    SendOutcome run = {-1, "", "cannot start the sender"};
    if (CreateProcessA(g_SendExe.c_str(), &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info)) {
        if (WaitForSingleObject(info.hProcess, RUN_BOUND_MS) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 99);
        GetExitCodeProcess(info.hProcess, (DWORD *)&run.code);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        run.err.clear();
    }
    std::string *texts[2] = {&run.out, &run.err};
    for (int i = 0; i < 2; ++i) {
        char buffer[4096];
        DWORD got = 0;
        SetFilePointer(files[i], 0, NULL, FILE_BEGIN);
        while (ReadFile(files[i], buffer, sizeof(buffer), &got, NULL) && got) texts[i]->append(buffer, got);
        CloseHandle(files[i]);
        DeleteFileA(names[i].c_str());
        texts[i]->erase(std::remove(texts[i]->begin(), texts[i]->end(), '\r'), texts[i]->end());  // console line ends
    }
    return run;
}

std::string Wire(const std::string &name) { return "press " + name + "\r\n" + '\0'; }

struct SenderTest : ::testing::Test {
    LoopbackBox box;
    void SetUp() override { ASSERT_TRUE(box.Open(BOX)); }
    // Commands at the box since `before`, in the order it accepted them.
    std::vector<std::string> CommandsSince(size_t before)
    {
        std::vector<std::string> commands;
        std::vector<BoxConnection> seen = box.Connections();
        for (size_t i = before; i < seen.size(); ++i) commands.push_back(seen[i].command);
        return commands;
    }
};

TEST_F(SenderTest, SendsLabelsKeyNamesDigitsAndTextInOrder)
{
    struct Row {
        std::string arguments;
        std::vector<std::string> commands;
    };
    std::vector<Row> rows = {
        {"POWER \"vol up\" \"Chan Down\" home", {Wire("POWER"), Wire("VOLUME_UP"), Wire("PAGE_CHANNEL_DOWN"), Wire("MENU")}},
        {"/v volume_up Page_Channel_Up select 705",
         {Wire("VOLUME_UP"), Wire("PAGE_CHANNEL_UP"), Wire("SELECT"), Wire("NUMBER7"), Wire("NUMBER0"), Wire("NUMBER5")}},
        {"/text \"hello box\" OK /text " + std::string(251, 'x'),
         {std::string("hello box\r\n") + '\0', Wire("OK"), std::string(251, 'x') + "\r\n" + '\0'}},
    };
    // Every button by its label, a multi-key button with all its keys.
    Row labels;
    for (int r = 0; r < KEY_COMMAND_TABLE_SIZE; ++r) {
        const KeyCommandRow &row = KEY_COMMAND_TABLE[r];
        if (!row.label) continue;
        std::string label = row.label;
        for (char &c : label) c = c == '\n' ? ' ' : c;
        labels.arguments += " \"" + label + "\"";
        for (int i = 0; i < row.count; ++i) labels.commands.push_back(row.keys[i]->bytes + std::string(1, '\0'));
    }
    rows.push_back(labels);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        size_t before = box.Connections().size();
        SendOutcome run = Send(std::string(BOX) + " " + row.arguments);
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, "");
        ASSERT_TRUE(box.WaitForCommands(before + row.commands.size(), 10000));
        EXPECT_EQ(CommandsSince(before), row.commands);
        std::string sent;  // /v: one line per command sent
        for (const std::string &c : row.commands) sent += "sent " + c.substr(6, c.size() - 9) + " to " + BOX + "\n";
        EXPECT_EQ(run.out, row.arguments.compare(0, 3, "/v ") == 0 ? sent : "");
    }
}

TEST_F(SenderTest, WaitPausesBetweenTheConnections)
{
    EXPECT_EQ(Send(std::string(BOX) + " MENU /wait 400 DOWN").code, 0);
    ASSERT_TRUE(box.WaitForCommands(2, 10000));
    EXPECT_EQ(CommandsSince(0), std::vector<std::string>({Wire("MENU"), Wire("DOWN")}));
    // The pause starts once MENU was sent; the box may have stamped MENU a little after that.
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<BoxConnection> seen = box.Connections();
    EXPECT_GE((seen[1].completed_qpc - seen[0].completed_qpc) * 1000.0 / frequency.QuadPart, 300)
        << "without the pause the keys come a few ms apart";
}

TEST_F(SenderTest, BadArgumentsSendNothingAndNameTheArgument)
{
    const std::string b = std::string(BOX) + " POWER ";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {b + "FOO", "unknown key \"FOO\""},
        {"127.0.0.256 POWER", "\"127.0.0.256\""},
        {"127.000.0.64 POWER", "\"127.000.0.64\""},
        {"0.0.0.0 POWER", "\"0.0.0.0\""},
        {b + BOX, std::string("\"") + BOX + "\": the address goes before"},
        {b + "\"VOL  UP\"", "\"VOL  UP\""},
        {b + "/text \"\"", "/text \"\""},
        {b + "/text " + std::string(252, 'y'), "/text \"yyyy"},
        {b + "/text", "/text needs"},
        {b + "/wait 60001", "/wait \"60001\""},
        {b + "/wait -1", "/wait \"-1\""},
        {b + "/wait", "/wait needs"},
        {b + "/wake 00:1a:2b:3c:4d", "/wake \"00:1a:2b:3c:4d\": a hardware address"},
        {b + "/wake 00:00:00:00:00:00", "/wake \"00:00:00:00:00:00\""},
        {b + "/wake ff-ff-ff-ff-ff-ff", "/wake \"ff-ff-ff-ff-ff-ff\": a broadcast or multicast hardware address"},
        {b + "/wake 00-1a:2b-3c:4d-5e", "/wake \"00-1a:2b-3c:4d-5e\": a hardware address"},
        {b + "/bogus", "\"/bogus\""},
        {BOX, "nothing to send"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.first);
        SendOutcome run = Send(row.first);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find(row.second), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Usage: HalcyraSend"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(box.AcceptedCount(), 0u) << "the sender exits only after its transactions";
    }
}

TEST_F(SenderTest, BoxThatRefusesNamesEveryKeyNotSent)
{
    SendOutcome run = Send(std::string(NOBODY) + " POWER \"VOL UP\"");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, std::string("HalcyraSend: POWER not sent to ") + NOBODY + ": the box refused the connection\n" +
                           "HalcyraSend: VOLUME_UP not sent to " + NOBODY + ": the box refused the connection\n");
    EXPECT_EQ(run.out, "");
}

// Keys for a box whose connection attempts hang all end unsent, with the reason, and none of
// them reaches the box once it answers again.
TEST_F(SenderTest, HangingBoxEndsEveryKeyUnsent)
{
    LoopbackBox hanging;
    hanging.hang = true;
    ASSERT_TRUE(hanging.Open(HANGING));
    SendOutcome run = Send(std::string(HANGING) + " 1 2 3");
    EXPECT_EQ(run.code, 1);
    std::string why = std::string(" not sent to ") + HANGING + ": no connection within 4 s\n";
    EXPECT_EQ(run.err, "HalcyraSend: NUMBER1" + why + "HalcyraSend: NUMBER2" + why + "HalcyraSend: NUMBER3" + why);
    hanging.Release();
    Sleep(500);
    EXPECT_EQ(hanging.CommandCount(), 0u);
}

// /wake: the 102-byte packet three times at the box's port 9 (three more where the system hands
// the box's socket the loopback broadcast as well), then the keys after it; with the given
// hardware address or the one the remote kept for the box, and none sent when none is known.
TEST_F(SenderTest, WakeSendsThePacketThreeTimesThenTheKeys)
{
    WakeListener card;
    ASSERT_TRUE(card.Open(BOX));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
    const char kept[] = "127.0.0.9=02:00:00:00:00:09;127.0.0.64=02:1a:2b:3c:4d:5e";
    ASSERT_EQ(RegSetValueExA(key, VALUE_WAKE_ADDRESSES, 0, REG_SZ, (const BYTE *)kept, sizeof(kept)), 0);
    struct Row {
        std::string arguments;
        int code;
        unsigned char hardware[6];  // all zeros: nothing is sent
        size_t keys;
    };
    const Row rows[] = {
        {std::string(BOX) + " /wake 00:1A:2b:3c:4d:5f /wait 0 POWER", 0, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f}, 1},
        {std::string(BOX) + " /wake", 0, {0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 0},
        {std::string(BOX) + " /wake \" 00-1A-2b-3C-4d-60 \"", 0, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x60}, 0},
        {std::string(NOBODY) + " /wake POWER", 2, {0}, 0},  // nothing kept for that box
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        size_t before = box.Connections().size();
        SendOutcome run = Send(row.arguments);
        EXPECT_EQ(run.code, row.code) << run.err;
        std::string packet(6, '\xFF');
        for (int i = 0; i < 16; ++i) packet.append((const char *)row.hardware, 6);
        std::vector<std::string> got = card.Receive(6, 1000);
        EXPECT_EQ(got.size() == 3 || got.size() == 6, row.code == 0) << got.size();
        EXPECT_EQ(got, std::vector<std::string>(got.size(), packet));
        EXPECT_EQ(box.WaitForCommands(before + row.keys, 10000) && box.Connections().size() == before + row.keys, true);
        if (row.code) {
            EXPECT_NE(run.err.find("no hardware address is known for 127.0.0.65"), std::string::npos) << run.err;
        }
    }
    RegDeleteValueA(key, VALUE_WAKE_ADDRESSES);
    RegCloseKey(key);
}

// The saved address when none is given: used when valid; none, 0.0.0.0 or text that fails the
// address check send nothing. The user's own saved value is put back afterwards.
TEST_F(SenderTest, SavedAddressUsedWhenNoneGiven)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
    char kept[256];
    DWORD kept_size = sizeof(kept), kept_type = REG_NONE;
    bool had_value = RegQueryValueExA(key, VALUE_ADDRESS, NULL, &kept_type, (BYTE *)kept, &kept_size) == 0;
    struct Row {
        const char *saved;  // "": no value
        int code;
        const char *said;
    };
    const Row rows[] = {
        {BOX, 0, ""},
        {"0.0.0.0", 2, "saved none"},
        {"", 2, "saved none"},
        {"127.0.0.300", 2, "saved address \"127.0.0.300\" is not a valid address"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.saved);
        if (*row.saved) RegSetValueExA(key, VALUE_ADDRESS, 0, REG_SZ, (const BYTE *)row.saved, (DWORD)strlen(row.saved) + 1);
        else RegDeleteValueA(key, VALUE_ADDRESS);
        SendOutcome run = Send("POWER");
        EXPECT_EQ(run.code, row.code) << run.err;
        EXPECT_EQ(run.err.find(row.said) != std::string::npos, true) << run.err;
        EXPECT_EQ(box.AcceptedCount(), 1u);
    }
    if (had_value) RegSetValueExA(key, VALUE_ADDRESS, 0, kept_type, (const BYTE *)kept, kept_size);
    else RegDeleteValueA(key, VALUE_ADDRESS);
    RegCloseKey(key);
    EXPECT_EQ(CommandsSince(0), std::vector<std::string>({Wire("POWER")}));
}

// "/fav NAME" sends that favourite's keys where it stands among the others; a name that is not a
// usable favourite sends nothing. The user's own favourites are put back afterwards.
TEST_F(SenderTest, FavouriteSendsItsKeysWhereItStands)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
    std::vector<char> kept(FAVOURITES_VALUE_MAX);
    DWORD kept_size = FAVOURITES_VALUE_MAX, kept_type = REG_NONE;
    bool had_value = RegQueryValueExA(key, VALUE_FAVOURITES, NULL, &kept_type, (BYTE *)kept.data(), &kept_size) == 0;
    const char value[] = "Broken 1 2\0Channel=1 0 /wait 0 \"VOL UP\"\0";
    RegSetValueExA(key, VALUE_FAVOURITES, 0, REG_MULTI_SZ, (const BYTE *)value, sizeof(value));
    SendOutcome run = Send(std::string(BOX) + " MENU /fav channel OK");
    SendOutcome unknown = Send(std::string(BOX) + " MENU /fav Broken");
    if (had_value) RegSetValueExA(key, VALUE_FAVOURITES, 0, kept_type, (const BYTE *)kept.data(), kept_size);
    else RegDeleteValueA(key, VALUE_FAVOURITES);
    RegCloseKey(key);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("no favourite \"Broken\""), std::string::npos) << unknown.err;
    ASSERT_TRUE(box.WaitForCommands(5, 10000));
    EXPECT_EQ(CommandsSince(0), std::vector<std::string>({Wire("MENU"), Wire("NUMBER1"), Wire("NUMBER0"),
                                                          Wire("VOLUME_UP"), Wire("OK")}));
}

}  // namespace

int main(int argc, char **argv)
{
    return RunProgramTests(argc, argv, "sender_test PATH_TO_HalcyraSend.exe", &g_SendExe);
}
