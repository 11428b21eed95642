// Measures the real program under Wine: press-to-wire latency, a burst of 1,000 key
// commands, start-up against a bare window, and the process's footprint. Prints Markdown.
// Usage: remote_bench HalcyraRemote.exe bare_window.exe   (the box address must be saved
// as "IP Address" = 127.0.0.90 beforehand, see tools/bench.sh)
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/loopback_box.h"
#include "tests/support/remote_process.h"
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

void PrintFigures(const char *when, const ProcessFigures &f)
{
    printf("| %s | %d | %d | %lu KB |\n", when, f.threads, f.handles, (unsigned long)(f.private_bytes / 1024));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: remote_bench HalcyraRemote.exe bare_window.exe\n");
        return 2;
    }
    std::string exe = WindowsPath(argv[1]), bare = WindowsPath(argv[2]);
    QueryPerformanceFrequency(&g_Frequency);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    LoopbackBox box;
    if (!box.Open(BOX_ADDRESS)) {
        printf("cannot listen on %s:8089\n", BOX_ADDRESS);
        return 1;
    }

    // Start-up, alternating the two programs so that both see the same machine.
    std::vector<double> remote_starts, bare_starts;
    StartUpMs(exe, "VadoruRarid", BOX_ADDRESS);  // first runs load the system DLLs
    StartUpMs(bare, "BareWindow", "ready");
    for (int i = 0; i < 10; ++i) {
        remote_starts.push_back(StartUpMs(exe, "VadoruRarid", BOX_ADDRESS));
        bare_starts.push_back(StartUpMs(bare, "BareWindow", "ready"));
    }
    double remote_start = Percentile(remote_starts, 0.5), bare_start = Percentile(bare_starts, 0.5);

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

    // Press-to-wire latency, one press at a time.
    const WPARAM singles[] = {1001, 1002, 1003, 1008, 1010, 1011, 1012, 1013, 1017, 1021, 1022, 1033};
    const int presses = 500;
    std::vector<double> latency;
    for (int i = 0; i < presses; ++i) {
        size_t before = box.Connections().size();
        LONGLONG t0 = Now();
        PostMessageA(remote.window, WM_COMMAND, singles[i % 12], 0);
        if (!box.WaitForCommands(before + 1, 5000)) break;
        latency.push_back(Ms(box.Connections()[before].completed_qpc - t0));
        // One press at a time: the next one after this exchange is over.
        box.WaitForEnded(before, 5000);
    }

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
        size_t before = box.Connections().size();
        for (int i = 0; i < 1000; ++i) PostMessageA(remote.window, WM_COMMAND, singles[i % 12], 0);
        box.WaitForCommands(before + 1000, 180000);
        box.ReapFinished();
    }
    Sleep(3000);
    ProcessFigures after_10k = FiguresOf(remote.info.dwProcessId);
    int exit_code = CloseRemote(&remote, 15000);

    printf("## Figures\n\n");
    printf("| measure | figure | target |\n|---|---|---|\n");
    if (!latency.empty()) {
        printf("| press-to-wire p50 (%zu presses) | %.2f ms | <= 2 ms |\n", latency.size(), Percentile(latency, 0.5));
        printf("| press-to-wire p99 | %.2f ms | <= 10 ms |\n", Percentile(latency, 0.99));
        printf("| press-to-wire max | %.2f ms | |\n", Percentile(latency, 1.0));
    }
    printf("| burst: delivered / in order | %zu / %zu of %zu | 1000 of 1000 |\n", delivered, in_order, expected.size());
    printf("| burst: wall time | %.0f ms (%.0f commands/s) | |\n", burst_ms, burst_ms > 0 ? delivered * 1000.0 / burst_ms : 0);
    printf("| burst: posts refused | %d | 0 |\n", refused_posts);
    printf("| start-up, remote (median of 10) | %.1f ms | |\n", remote_start);
    printf("| start-up, bare window (median of 10) | %.1f ms | |\n", bare_start);
    printf("| start-up ratio | %.2f | <= 1.2 |\n", bare_start > 0 ? remote_start / bare_start : 0);
    printf("| private bytes growth over 10,000 commands | %ld KB | < 1024 KB |\n",
           (long)((long long)after_10k.private_bytes - (long long)later.private_bytes) / 1024);
    printf("| exit code after the run | %d | 0 |\n\n", exit_code);
    printf("| process | threads | handles | private bytes |\n|---|---|---|---|\n");
    PrintFigures("idle", idle);
    PrintFigures("right after the burst", after_burst);
    PrintFigures("10 s after the burst", later);
    PrintFigures("after 10,000 more commands", after_10k);
    return 0;
}
