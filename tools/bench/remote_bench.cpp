// Measures the real program under Wine: press-to-wire latency side by side with the floor of a
// thread per key, a 40-key burst to a box that never answers, a burst of 1,000 key commands,
// start-up against a bare window, and the process's footprint. Prints Markdown.
// Usage: remote_bench HalcyraRemote.exe bare_window.exe floor_window.exe [latency | startup [PAIRS]]
// (the box address must be saved as "IP Address" = 127.0.0.90 beforehand, see tools/bench.sh;
// "latency" measures the latency only, "startup" the start-up only)
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/window_ids.h"
#include "tests/support/loopback_box.h"
#include "tests/support/remote_process.h"
#include "tests/support/dpi_aware.h"
#include "tests/support/wine_path.h"

namespace {

const char BOX_ADDRESS[] = "127.0.0.90";
LARGE_INTEGER g_Frequency;

double Ms(LONGLONG ticks) { return ticks * 1000.0 / g_Frequency.QuadPart; }
LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// Start-up: process start until its main window is visible and its field shows `expected`.
double StartUpMs(const std::string &exe, const char *window_class, const char *expected)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\"";
    LONGLONG t0 = Now();
    if (!CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info))
        return -1;
    double elapsed = -1;
    while (Ms(Now() - t0) < 30000) {
        HWND window = NULL;
        for (HWND w = FindWindowExA(NULL, NULL, window_class, NULL); w; w = FindWindowExA(NULL, w, window_class, NULL)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == info.dwProcessId) window = w;
        }
        if (window && IsWindowVisible(window) && FieldText(window, 1044) == expected) {
            elapsed = Ms(Now() - t0);
            PostMessageA(window, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(1);  // each look asks the wineserver, which the starting program needs as well
    }
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return elapsed;
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    size_t index = (size_t)(p * (values.size() - 1) + 0.5);
    return values[index];
}

std::string Press(const char *name) { return std::string("press ") + name + std::string("\r\n\0", 3); }

const int STARTUP_PAIRS = 10;       // alternating starts of each program in a full run
const int STARTUP_ONLY_PAIRS = 15;  // in a start-up run, which takes well under a minute
const int STARTUP_PAIRS_MAX = 200;   // a mistyped figure does not run for hours

struct StartUpFigures {
    std::vector<double> remote, bare, ratios;  // ratios: remote / bare of the same pair
};

// Starts the remote and the bare window in turn, so that both see the same machine.
StartUpFigures MeasureStartUp(const std::string &exe, const std::string &bare, int pairs)
{
    StartUpFigures figures;
    StartUpMs(exe, REMOTE_WINDOW_CLASS, BOX_ADDRESS);  // first runs load the system DLLs
    StartUpMs(bare, "BareWindow", "ready");
    for (int i = 0; i < pairs; ++i) {
        double remote_ms = StartUpMs(exe, REMOTE_WINDOW_CLASS, BOX_ADDRESS);
        double bare_ms = StartUpMs(bare, "BareWindow", "ready");
        if (remote_ms < 0 || bare_ms <= 0) continue;  // a start that never showed its window
        figures.remote.push_back(remote_ms);
        figures.bare.push_back(bare_ms);
        figures.ratios.push_back(remote_ms / bare_ms);
    }
    return figures;
}

// The ratio of the medians, with the spread of the pairs' own ratios (quartiles and extremes),
// since on a shared machine one run's median ratio alone says little.
void PrintStartUp(const StartUpFigures &f)
{
    if (f.ratios.empty()) {
        printf("| start-up | no figures | |\n");
        return;
    }
    printf("| start-up, remote (median of %zu; min / max) | %.1f ms (%.1f / %.1f) | |\n", f.remote.size(),
           Percentile(f.remote, 0.5), Percentile(f.remote, 0), Percentile(f.remote, 1));
    printf("| start-up, bare window (median of %zu; min / max) | %.1f ms (%.1f / %.1f) | |\n", f.bare.size(),
           Percentile(f.bare, 0.5), Percentile(f.bare, 0), Percentile(f.bare, 1));
    printf("| start-up ratio (pairs' ratios: quartiles, min / max) | %.2f (%.2f to %.2f; %.2f / %.2f) | <= 1.2 |\n",
           Percentile(f.remote, 0.5) / Percentile(f.bare, 0.5), Percentile(f.ratios, 0.25),
           Percentile(f.ratios, 0.75), Percentile(f.ratios, 0), Percentile(f.ratios, 1));
}

const int LATENCY_BLOCKS = 5;      // blocks of presses per program and regime, taken in turn
const int PRESSES_PER_BLOCK = 100;
const double PRESS_GAP_MS = 30;    // as a person presses
const int SILENT_BURST = 40;
const WPARAM SINGLE_IDS[12] = {1001, 1002, 1003, 1008, 1010, 1011, 1012, 1013, 1017, 1021, 1022, 1033};

struct PressFigures {
    std::vector<double> ms;
};

// Presses `window` PRESSES_PER_BLOCK times (POWER and other single keys; the floor sends its
// own command whatever the id). With a gap, the presses are that far apart; without, the next
// press goes as soon as the box holds the previous command.
void MeasurePresses(LoopbackBox *box, HWND window, double gap_ms, PressFigures *figures)
{
    Sleep(300);  // the previous block's exchanges are over
    for (int i = 0; i < PRESSES_PER_BLOCK; ++i) {
        size_t before = box->CommandCount();
        LONGLONG t0 = Now();
        PostMessageA(window, WM_COMMAND, SINGLE_IDS[i % 12], 0);
        if (!box->WaitForCommands(before + 1, 5000)) return;
        figures->ms.push_back(Ms(box->CompletedAt(before) - t0));
        if (gap_ms > 0) {
            double left = gap_ms - Ms(Now() - t0);
            if (left > 0) Sleep((DWORD)(left + 0.5));  // no spinning: the machine has two cores
        }
    }
}

struct LaunchedWindow {
    HANDLE process = NULL;
    HWND window = NULL;
};

bool LaunchFloor(const std::string &exe, LaunchedWindow *launched, DWORD timeout_ms)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\" " + BOX_ADDRESS;
    if (!CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    launched->process = info.hProcess;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        for (HWND w = FindWindowExA(NULL, NULL, "FloorWindow", NULL); w; w = FindWindowExA(NULL, w, "FloorWindow", NULL)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == info.dwProcessId && IsWindowVisible(w)) {
                launched->window = w;
                return true;
            }
        }
        Sleep(20);
    }
    TerminateProcess(info.hProcess, 1);
    return false;
}

void PrintLatencyRow(const char *regime, const PressFigures &remote, const PressFigures &floor, double target_p50,
                     double target_p99)
{
    if (remote.ms.empty() || floor.ms.empty()) {
        printf("| %s | no figures | | | |\n", regime);
        return;
    }
    double rp50 = Percentile(remote.ms, 0.5), rp99 = Percentile(remote.ms, 0.99), rmax = Percentile(remote.ms, 1.0);
    double fp50 = Percentile(floor.ms, 0.5), fp99 = Percentile(floor.ms, 0.99), fmax = Percentile(floor.ms, 1.0);
    char t50[32] = "", t99[32] = "";
    if (target_p50 > 0) snprintf(t50, sizeof(t50), " (target <= %.1f)", target_p50);
    if (target_p99 > 0) snprintf(t99, sizeof(t99), " (target <= %.1f)", target_p99);
    printf("| %s, %zu/%zu presses | %.2f / %.2f / %.2f | %.2f / %.2f / %.2f | %.2f%s | %.2f%s |\n", regime,
           remote.ms.size(), floor.ms.size(), rp50, rp99, rmax, fp50, fp99, fmax, rp50 / fp50, t50, rp99 / fp99, t99);
}

void PrintLatency(const PressFigures &remote_spaced, const PressFigures &floor_spaced, const PressFigures &remote_b2b,
                  const PressFigures &floor_b2b)
{
    printf("## Press-to-wire latency, remote against the floor (a thread per key, blocking connect and send)\n\n");
    printf("| regime | remote p50 / p99 / max ms | floor p50 / p99 / max ms | p50 ratio | p99 ratio |\n");
    printf("|---|---|---|---|---|\n");
    PrintLatencyRow("30 ms apart", remote_spaced, floor_spaced, 1.2, 2.0);
    PrintLatencyRow("back to back", remote_b2b, floor_b2b, 0, 0);
    printf("\n");
}

void PrintFigures(const char *when, const ProcessFigures &f)
{
    printf("| %s | %d | %d | %lu KB |\n", when, f.threads, f.handles, (unsigned long)(f.private_bytes / 1024));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        printf("usage: remote_bench HalcyraRemote.exe bare_window.exe floor_window.exe [latency | startup [PAIRS]]\n");
        return 2;
    }
    DeclareDpiAware();
    std::string exe = WindowsPath(argv[1]), bare = WindowsPath(argv[2]), floor_exe = WindowsPath(argv[3]);
    bool latency_only = argc > 4 && std::string(argv[4]) == "latency";
    bool startup_only = argc > 4 && std::string(argv[4]) == "startup";
    QueryPerformanceFrequency(&g_Frequency);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    LoopbackBox box;
    if (!box.Open(BOX_ADDRESS)) {
        printf("cannot listen on %s:8089\n", BOX_ADDRESS);
        return 1;
    }

    if (startup_only) {
        int pairs = argc > 5 ? atoi(argv[5]) : STARTUP_ONLY_PAIRS;
        if (pairs < 1 || pairs > STARTUP_PAIRS_MAX) pairs = STARTUP_ONLY_PAIRS;
        printf("| measure | figure | target |\n|---|---|---|\n");
        PrintStartUp(MeasureStartUp(exe, bare, pairs));
        return 0;
    }
    StartUpFigures starts;
    if (!latency_only) starts = MeasureStartUp(exe, bare, STARTUP_PAIRS);

    RemoteProcess remote;
    if (!LaunchRemote(exe.c_str(), &remote, 30000)) {
        printf("cannot start %s\n", exe.c_str());
        return 1;
    }
    SetFieldText(remote.window, 1044, BOX_ADDRESS);
    PostMessageA(remote.window, WM_COMMAND, 1001, 0);
    box.WaitForCommands(1, 10000);
    Sleep(1000);
    ProcessFigures idle = FiguresOf(remote.info.dwProcessId);

    // Press-to-wire latency, the remote and the floor side by side: blocks of presses taken in
    // turn, so that both see the same machine.
    LaunchedWindow floor;
    if (!LaunchFloor(floor_exe, &floor, 30000)) {
        printf("cannot start %s\n", floor_exe.c_str());
        return 1;
    }
    PressFigures remote_spaced, floor_spaced, remote_b2b, floor_b2b;
    for (int block = 0; block < LATENCY_BLOCKS; ++block) {
        MeasurePresses(&box, remote.window, PRESS_GAP_MS, &remote_spaced);
        MeasurePresses(&box, floor.window, PRESS_GAP_MS, &floor_spaced);
        MeasurePresses(&box, remote.window, 0, &remote_b2b);
        MeasurePresses(&box, floor.window, 0, &floor_b2b);
    }
    PostMessageA(floor.window, WM_CLOSE, 0, 0);
    WaitForSingleObject(floor.process, 10000);
    CloseHandle(floor.process);
    box.ReapFinished();
    if (latency_only) {
        PrintLatency(remote_spaced, floor_spaced, remote_b2b, floor_b2b);
        CloseRemote(&remote, 15000);
        return 0;
    }

    // A box that takes every command and never answers: 40 digits posted without pause.
    box.SetMode(BOX_SILENT);
    size_t silent_base = box.CommandCount();
    for (int i = 0; i < SILENT_BURST; ++i) PostMessageA(remote.window, WM_COMMAND, 1021 + i % 10, 0);
    LONGLONG silent_start = Now();
    box.WaitForCommands(silent_base + SILENT_BURST, 180000);
    double silent_ms = Ms(Now() - silent_start);
    std::vector<BoxConnection> silent_seen = box.Connections();
    size_t silent_delivered = silent_seen.size() - silent_base, silent_in_order = 0;
    for (size_t i = 0; i < (size_t)SILENT_BURST && silent_base + i < silent_seen.size(); ++i) {
        static const char *digits[] = {"NUMBER0", "NUMBER1", "NUMBER2", "NUMBER3", "NUMBER4",
                                       "NUMBER5", "NUMBER6", "NUMBER7", "NUMBER8", "NUMBER9"};
        silent_in_order += silent_seen[silent_base + i].command == Press(digits[i % 10]);
    }
    box.SetMode(BOX_ANSWER);
    box.WaitForEnded(silent_base + SILENT_BURST - 1, 30000);  // the last one ends on its own
    box.ReapFinished();

    // Burst: 1,000 key commands, single and multi-key ids mixed, posted as fast as accepted.
    struct Id { WPARAM id; std::vector<const char *> names; };
    const Id mix[] = {{1001, {"POWER"}}, {1022, {"NUMBER1"}}, {1049, {"NUMBER7", "NUMBER0", "NUMBER5"}},
                      {1008, {"OK"}}, {1052, {"MENU", "RIGHT", "OK", "OK"}}, {1015, {"VOLUME_UP"}},
                      {1051, {"MENU", "OK", "OK"}}, {1002, {"PLAYPAUSE"}}};
    std::vector<std::string> expected;
    std::vector<WPARAM> posts;
    for (int i = 0; expected.size() < 1000; ++i) {
        const Id &m = mix[i % 8];
        if (expected.size() + m.names.size() > 1000) {
            posts.push_back(1001);
            expected.push_back(Press("POWER"));
            continue;
        }
        posts.push_back(m.id);
        for (const char *n : m.names) expected.push_back(Press(n));
    }
    box.ReapFinished();
    size_t base = box.Connections().size();
    LONGLONG burst_start = Now();
    int refused_posts = 0;
    for (WPARAM id : posts) refused_posts += PostMessageA(remote.window, WM_COMMAND, id, 0) ? 0 : 1;
    box.WaitForCommands(base + expected.size(), 180000);
    std::vector<BoxConnection> seen = box.Connections();
    size_t delivered = seen.size() - base, in_order = 0;
    for (size_t i = 0; i < expected.size() && base + i < seen.size(); ++i) in_order += seen[base + i].command == expected[i];
    double burst_ms = delivered ? Ms(seen.back().completed_qpc - burst_start) : 0;
    ProcessFigures after_burst = FiguresOf(remote.info.dwProcessId);
    Sleep(10000);
    box.ReapFinished();
    ProcessFigures later = FiguresOf(remote.info.dwProcessId);

    // Memory over 10,000 further commands.
    for (int round = 0; round < 10; ++round) {
        size_t before = box.CommandCount();
        for (int i = 0; i < 1000; ++i) PostMessageA(remote.window, WM_COMMAND, SINGLE_IDS[i % 12], 0);
        box.WaitForCommands(before + 1000, 180000);
        box.ReapFinished();
    }
    Sleep(3000);
    ProcessFigures after_10k = FiguresOf(remote.info.dwProcessId);
    int exit_code = CloseRemote(&remote, 15000);

    printf("## Figures\n\n");
    printf("| measure | figure | target |\n|---|---|---|\n");
    printf("| 40-key burst, box never answers: delivered / in order | %zu / %zu of %d (%.1f s) | %d of %d |\n",
           silent_delivered, silent_in_order, SILENT_BURST, silent_ms / 1000, SILENT_BURST, SILENT_BURST);
    printf("| burst: delivered / in order | %zu / %zu of %zu | 1000 of 1000 |\n", delivered, in_order, expected.size());
    printf("| burst: wall time | %.0f ms (%.0f commands/s) | |\n", burst_ms, burst_ms > 0 ? delivered * 1000.0 / burst_ms : 0);
    printf("| burst: posts refused | %d | 0 |\n", refused_posts);
    PrintStartUp(starts);
    printf("| private bytes growth over 10,000 commands | %ld KB | < 1024 KB |\n",
           (long)((long long)after_10k.private_bytes - (long long)later.private_bytes) / 1024);
    printf("| exit code after the run | %d | 0 |\n\n", exit_code);
    PrintLatency(remote_spaced, floor_spaced, remote_b2b, floor_b2b);
    printf("| process | threads | handles | private bytes |\n|---|---|---|---|\n");
    PrintFigures("idle", idle);
    PrintFigures("right after the burst", after_burst);
    PrintFigures("10 s after the burst", later);
    PrintFigures("after 10,000 more commands", after_10k);
    return 0;
}
