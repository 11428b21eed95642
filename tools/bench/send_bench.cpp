// Measures the command-line sender under Wine: one key, process start to exit, side by side
// with the floor of a console program that does one blocking connect and send; the two are run
// in turn so that both see the same machine. Prints Markdown.
// Usage: send_bench HalcyraSend.exe floor_send.exe [runs]
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/loopback_box.h"
#include "tests/support/wine_path.h"

namespace {

const char BOX_ADDRESS[] = "127.0.0.66";
const int WARM_UP_RUNS = 2;  // the first runs load the system DLLs into the file cache
LARGE_INTEGER g_Frequency;

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// Milliseconds from CreateProcess to the process's end; negative when it failed or did not end.
double RunMs(const std::string &exe, const std::string &arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\" " + arguments;
    LONGLONG t0 = Now();
    if (!CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) return -1;
    double ms = -1;
    DWORD code = 1;
    if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code) &&
        code == 0)
        ms = (Now() - t0) * 1000.0 / g_Frequency.QuadPart;
    if (ms < 0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return ms;
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[(size_t)(p * (values.size() - 1) + 0.5)];
}

void PrintRow(const char *name, const std::vector<double> &ms, int runs)
{
    printf("| %s | %zu of %d | %.1f / %.1f / %.1f |\n", name, ms.size(), runs, Percentile(ms, 0), Percentile(ms, 0.5),
           Percentile(ms, 0.9));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: send_bench HalcyraSend.exe floor_send.exe [runs]\n");
        return 2;
    }
    std::string sender = WindowsPath(argv[1]), floor_exe = WindowsPath(argv[2]);
    int runs = argc > 3 ? atoi(argv[3]) : 30;
    QueryPerformanceFrequency(&g_Frequency);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    LoopbackBox box;
    if (runs < 1 || !box.Open(BOX_ADDRESS)) {
        printf("cannot listen on %s:8089\n", BOX_ADDRESS);
        return 1;
    }
    std::string arguments = std::string(BOX_ADDRESS) + " POWER";
    std::vector<double> sender_ms, floor_ms;
    for (int i = -WARM_UP_RUNS; i < runs; ++i) {
        double s = RunMs(sender, arguments), f = RunMs(floor_exe, BOX_ADDRESS);
        if (i < 0) continue;
        if (s >= 0) sender_ms.push_back(s);
        if (f >= 0) floor_ms.push_back(f);
        box.ReapFinished();
    }
    size_t expected = 2 * (size_t)(runs + WARM_UP_RUNS), power = 0;
    box.WaitForCommands(expected, 10000);
    for (const BoxConnection &c : box.Connections()) power += c.command == std::string("press POWER\r\n", 14);
    if (sender_ms.empty() || floor_ms.empty()) {
        printf("no figures: %zu sender and %zu floor runs ended with exit code 0\n", sender_ms.size(), floor_ms.size());
        return 1;
    }
    printf("## One key from the command line, process start to exit\n\n");
    printf("| program | runs with exit code 0 | min / median / p90 ms |\n|---|---|---|\n");
    PrintRow("HalcyraSend.exe (one key)", sender_ms, runs);
    PrintRow("floor: one blocking connect and send", floor_ms, runs);
    printf("\nMedian ratio: %.2f. The box received %zu of %zu POWER commands.\n",
           Percentile(sender_ms, 0.5) / Percentile(floor_ms, 0.5), power, expected);
    return 0;
}
