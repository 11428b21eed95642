// The real program under load and fault: a box that misbehaves in every way during bursts,
// and bad input at every edge. The window must keep answering, every worker must end, keys to
// a box that answers must stay in order, and threads and handles must come back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/loopback_box.h"
#include "tests/support/remote_process.h"
#include "tests/support/program_test_main.h"

namespace {

std::string g_ExePath;
const char BOX_ADDRESS[] = "127.0.0.95";
const char NOBODY_ADDRESS[] = "127.0.0.96";  // nothing listens here: every connection is refused
const DWORD HANG_BOUND_MS = 2000;
const int SIGN_LABEL = 1043, ADDRESS_FIELD = 1044, FREE_TEXT_FIELD = 1046;

std::string Press(const char *name) { return std::string("press ") + name + std::string("\r\n\0", 3); }

struct Soak : ::testing::Test {
    LoopbackBox box;
    RemoteProcess remote;
    void SetUp() override
    {
        ASSERT_TRUE(box.Open(BOX_ADDRESS));
        ASSERT_TRUE(LaunchRemote(g_ExePath.c_str(), &remote, 30000)) << g_ExePath;
        ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, BOX_ADDRESS));
    }
    void TearDown() override
    {
        if (remote.info.hProcess) {
            EXPECT_EQ(CloseRemote(&remote, 15000), 0);
        }
        box.Close();
    }
    // Waits (bounded) for the box to have `count` commands, checking all along that the window
    // answers within the hang bound.
    void AwaitCommands(size_t count, DWORD timeout_ms)
    {
        DWORD start = GetTickCount();
        while (box.Connections().size() < count && GetTickCount() - start < timeout_ms) {
            ASSERT_TRUE(Responds(remote.window, HANG_BOUND_MS)) << "window hung";
            Sleep(20);
        }
        ASSERT_GE(box.Connections().size(), count);
    }
    // Waits (bounded) until the program's workers are gone: threads and handles back to idle.
    void AwaitIdle(const ProcessFigures &idle, DWORD timeout_ms, ProcessFigures *now)
    {
        DWORD start = GetTickCount();
        const int slack = 2;  // Wine's own pool threads come and go
        do {
            ASSERT_TRUE(Responds(remote.window, HANG_BOUND_MS)) << "window hung";
            box.ReapFinished();
            *now = FiguresOf(remote.info.dwProcessId);
            if (now->threads <= idle.threads + slack && now->handles <= idle.handles + slack) return;
            Sleep(100);
        } while (GetTickCount() - start < timeout_ms);
    }
};

TEST_F(Soak, MisbehavingBoxDuringBurstsLeavesTheWindowResponsiveAndNothingBehind)
{
    // Idle figures after a first key that reaches no box and one that does, so that what is
    // made once, lazily, exists: system objects, and the sign's tooltip and live region.
    ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, NOBODY_ADDRESS));
    ASSERT_TRUE(SendCommandWithin(remote.window, 1001, HANG_BOUND_MS));
    for (DWORD start = GetTickCount(); FieldText(remote.window, SIGN_LABEL) != "Not sent";) {
        ASSERT_LT(GetTickCount() - start, 10000u) << "no sign for a refused key";
        Sleep(20);
    }
    ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, BOX_ADDRESS));
    ASSERT_TRUE(SendCommandWithin(remote.window, 1001, HANG_BOUND_MS));
    ASSERT_NO_FATAL_FAILURE(AwaitCommands(1, 10000));
    ProcessFigures idle = {}, now = {};
    Sleep(500);
    idle = FiguresOf(remote.info.dwProcessId);
    AwaitIdle(idle, 2000, &idle);

    box.reply = std::string(1 << 20, 'R');  // a 1 MB answer, cut short by reset-mid, dripped...
    struct Phase { const char *name; BoxMode mode; bool listening; int keys; };
    const Phase phases[] = {
        {"answers", BOX_ANSWER, true, 40},     {"refuses", BOX_ANSWER, false, 20},
        {"never answers", BOX_SILENT, true, 4}, {"closes", BOX_CLOSE, true, 20},
        {"resets mid-reply", BOX_RESET_MID, true, 20}, {"sends 1 MB", BOX_ANSWER, true, 20},
        {"drips", BOX_DRIP, true, 6},          {"answers again", BOX_ANSWER, true, 40},
    };
    const WPARAM keys[] = {1001, 1022, 1023, 1024, 1008, 1010, 1011, 1049, 1052, 1017};
    const char *names[][4] = {{"POWER"}, {"NUMBER1"}, {"NUMBER2"}, {"NUMBER3"}, {"OK"}, {"UP"},
                              {"DOWN"}, {"NUMBER7", "NUMBER0", "NUMBER5"},
                              {"MENU", "RIGHT", "OK", "OK"}, {"MUTE"}};
    const int counts[] = {1, 1, 1, 1, 1, 1, 1, 3, 4, 1};
    for (const Phase &phase : phases) {
        SCOPED_TRACE(phase.name);
        // Keys to an address where nothing listens; those still waiting in their line when the
        // phase ends go there too, never to the box.
        if (!phase.listening) {
            ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, NOBODY_ADDRESS));
        }
        box.SetMode(phase.mode);
        size_t before = box.Connections().size();
        std::vector<std::string> expected;
        for (int i = 0; i < phase.keys; ++i) {
            int k = i % 10;
            // Sent, not posted, where the address changes after the phase: each key has read it.
            bool handed = phase.listening ? PostMessageA(remote.window, WM_COMMAND, keys[k], 0) != 0
                                          : SendCommandWithin(remote.window, keys[k], HANG_BOUND_MS);
            ASSERT_TRUE(handed);
            for (int j = 0; j < counts[k]; ++j) expected.push_back(Press(names[k][j]));
            ASSERT_TRUE(Responds(remote.window, HANG_BOUND_MS)) << "window hung";
        }
        if (phase.listening) {
            ASSERT_NO_FATAL_FAILURE(AwaitCommands(before + expected.size(), 60000));
            std::vector<BoxConnection> seen = box.Connections();
            // Keys reach the box in the order they were pressed.
            for (size_t i = 0; i < expected.size(); ++i)
                ASSERT_EQ(seen[before + i].command, expected[i]) << "key " << i;
        }
        AwaitIdle(idle, 60000, &now);
        EXPECT_LE(now.threads, idle.threads + 2) << "threads after phase";
        EXPECT_LE(now.handles, idle.handles + 2) << "handles after phase";
        if (!phase.listening) {
            ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, BOX_ADDRESS));
        }
    }
    printf("[ figures  ] idle threads %d handles %d private %lu KB; end threads %d handles %d private %lu KB\n",
           idle.threads, idle.handles, (unsigned long)(idle.private_bytes / 1024), now.threads,
           now.handles, (unsigned long)(now.private_bytes / 1024));
    EXPECT_LT(now.private_bytes, idle.private_bytes + 16 * 1024 * 1024) << "memory grew";
}

TEST_F(Soak, BadInputAtTheEdgesIsHandledSoundly)
{
    // A 10,000-character address: refused with the message, nothing sent.
    ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, std::string(10000, '7')));
    ASSERT_TRUE(PostMessageA(remote.window, WM_COMMAND, 1001, 0));
    std::string text, caption;
    ASSERT_TRUE(DismissMessageBox(remote.window, &text, &caption, 10000));
    EXPECT_EQ(text, "Invalid IP Address");
    EXPECT_EQ(caption, "Zavaveva");
    // Non-ASCII bytes in the address field: refused the same way.
    ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, "127.0.0.\xb9\xe9"));
    ASSERT_TRUE(PostMessageA(remote.window, WM_COMMAND, 1001, 0));
    ASSERT_TRUE(DismissMessageBox(remote.window, &text, &caption, 10000));
    EXPECT_EQ(text, "Invalid IP Address");
    ASSERT_TRUE(SetFieldText(remote.window, ADDRESS_FIELD, BOX_ADDRESS));

    // Free text: 10,000 characters send nothing; non-ASCII bytes go out unchanged.
    ASSERT_TRUE(SetFieldText(remote.window, FREE_TEXT_FIELD, std::string(10000, 'x')));
    ASSERT_TRUE(SendCommandWithin(remote.window, 1048, HANG_BOUND_MS));
    ASSERT_TRUE(SetFieldText(remote.window, FREE_TEXT_FIELD, "\xe9t\xe9 \x80\xff"));
    ASSERT_TRUE(SendCommandWithin(remote.window, 1048, HANG_BOUND_MS));
    ASSERT_NO_FATAL_FAILURE(AwaitCommands(1, 10000));
    EXPECT_EQ(box.Connections()[0].command, std::string("\xe9t\xe9 \x80\xff\r\n\0", 9));

    // Every command id but 2 (which closes the window), with a valid address in the field:
    // only the key ids and the free-text ids send anything, and the window never hangs.
    ASSERT_TRUE(SetFieldText(remote.window, FREE_TEXT_FIELD, "x"));
    size_t before = box.Connections().size();
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        if (id == 2) continue;
        ASSERT_TRUE(SendCommandWithin(remote.window, id, HANG_BOUND_MS)) << "id " << id;
    }
    // 37 single keys, three ids of three keys and one of four, and two free-text ids.
    const size_t expected = 37 + 3 * 3 + 4 + 2;
    ASSERT_NO_FATAL_FAILURE(AwaitCommands(before + expected, 120000));
    Sleep(500);
    EXPECT_EQ(box.Connections().size(), before + expected);

    // A notification code in the high word is never routed, whatever the id.
    before = box.Connections().size();
    unsigned seed = 2024;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245u + 12345u;
        WPARAM code = ((seed >> 8) % 0xFFFF) + 1;
        WPARAM id = 1001 + (seed >> 20) % 52;
        if (i % 7 == 0) id = 2;  // even Escape's id, with a code, is not a close
        ASSERT_TRUE(SendCommandWithin(remote.window, (code << 16) | id, HANG_BOUND_MS));
    }
    Sleep(1000);
    EXPECT_EQ(box.Connections().size(), before);
    EXPECT_TRUE(IsWindow(remote.window));
}

}  // namespace

int main(int argc, char **argv)
{
    return RunProgramTests(argc, argv, "soak_test PATH_TO_HalcyraRemote.exe", &g_ExePath);
}
