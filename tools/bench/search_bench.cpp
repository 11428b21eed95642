// Time to search a /24 of loopback for the box, with stand-in boxes on three of its addresses:
// from the start of the search until its last address has answered, five runs.
// Usage: search_bench (run by tools/bench.sh; not part of the tests). Loopback only.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/loopback_box.h"
#include "transport/box_search.h"

HINSTANCE g_Instance;

namespace {

const char RANGE[] = "127.0.11.0/24";
const char *const BOXES[] = {"127.0.11.10", "127.0.11.100", "127.0.11.250"};
const int RUNS = 5;
const DWORD RUN_LIMIT_MS = 30000;

// One search; its time in milliseconds, or a negative number when it did not end in time.
double SearchOnce(HWND window, const SearchRange &range, unsigned short tag, unsigned *found)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    BoxSearch *search = StartBoxSearch(window, range, tag);
    if (!search) return -1;
    *found = 0;
    DWORD begun = GetTickCount();
    MSG msg;
    double ms = -1;
    while (ms < 0 && GetTickCount() - begun < RUN_LIMIT_MS) {
        if (!PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
            continue;
        }
        if (msg.wParam == tag && msg.message == WM_SEARCH_FOUND) ++*found;
        if (msg.message == WM_SEARCH_DONE && msg.wParam == tag) {
            QueryPerformanceCounter(&end);
            ms = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
        }
    }
    StopBoxSearch(search);
    return ms;
}

}  // namespace

int main()
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    std::vector<LoopbackBox> boxes(3);
    for (int i = 0; i < 3; ++i)
        if (!boxes[i].Open(BOXES[i])) {
            std::printf("cannot open a stand-in box on %s\n", BOXES[i]);
            return 1;
        }
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    SearchRange range;
    if (!window || ParseSearchRange(RANGE, &range) != RANGE_OK) return 1;
    std::vector<double> times;
    unsigned found = 0;
    for (int run = 1; run <= RUNS; ++run) {
        double ms = SearchOnce(window, range, (unsigned short)run, &found);
        if (ms < 0 || found != 3) {
            std::printf("run %d: %s (found %u)\n", run, ms < 0 ? "did not end" : "wrong count", found);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("## Find box\n\nSearch of %s (256 addresses, 3 stand-in boxes, up to %d attempts at once): "
                "median %.0f ms, fastest %.0f ms, slowest %.0f ms over %d runs; %u found each time.\n",
                RANGE, SEARCH_MAX_ATTEMPTS, times[RUNS / 2], times.front(), times.back(), RUNS, found);
    return 0;
}
