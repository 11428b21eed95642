// HalcyraSend: presses the box's keys from the command line, for scripts and scheduled tasks.
// Every argument is checked before anything is sent; then each command goes through the
// remote's own transport, in order, and the program exits once every transaction has ended.
// Exit code 0: every command sent; 1: some not sent (one line each on standard error);
// 2: a bad argument, or no address (nothing sent).
#include <stdio.h>
#include <string.h>

#include "address/ipv4_value.h"
#include "sender/arguments.h"
#include "settings/registry.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"

HINSTANCE g_Instance;

namespace {

const char OWNER_WINDOW_CLASS[] = "HalcyraSendOwner";
const UINT_PTR IDT_SEND_WAIT = 1;
// Commands started ahead of the box: the next worker is ready when its turn comes, while a
// long run holds only this many transactions at a time.
const size_t SEND_AHEAD = 8;
const int EXIT_SENT = 0, EXIT_NOT_SENT = 1, EXIT_BAD_ARGUMENT = 2;

enum CommandState { COMMAND_PENDING, COMMAND_UNDER_WAY, COMMAND_NOT_SENT };

// The one run of the program; only the main thread touches it.
struct SendRun {
    SendPlan plan;
    Ipv4Value address = {{0, 0, 0, 0}};
    std::vector<CommandState> states;  // by step
    size_t next_step = 0;
    size_t started = 0;   // transactions started
    size_t settled = 0;   // of those, sent or reported undelivered
    size_t ended = 0;     // of those, ended (WM_TXN_DONE)
    bool pausing = false; // a /wait runs
    bool any_not_sent = false;
};
SendRun g_Run;

std::string Dotted(const Ipv4Value &address)
{
    char text[IPV4_TEXT_SIZE];
    address.Format(text);
    return text;
}

std::string CommandName(const KeyStep &step)
{
    if (step.kind == STEP_KEY) return step.key->name;
    return "text \"" + step.line.substr(0, step.line.size() - 3) + "\"";  // without CR, LF, NUL
}

void ReportNotSent(size_t step, const char *why)
{
    g_Run.states[step] = COMMAND_NOT_SENT;
    g_Run.any_not_sent = true;
    fprintf(stderr, "HalcyraSend: %s not sent to %s: %s\n", CommandName(g_Run.plan.steps[step]).c_str(),
            Dotted(g_Run.address).c_str(), why);
}

void StartCommand(HWND window, size_t index)
{
    const KeyStep &step = g_Run.plan.steps[index];
    const char *bytes = step.kind == STEP_KEY ? step.key->bytes : step.line.data();
    int length = step.kind == STEP_KEY ? step.key->length : (int)step.line.size();
    if (!CommandTransaction::Start(window, g_Run.address.bytes, DEVICE_COMMAND_PORT, bytes, length,
                                   (unsigned short)(index + 1))) {
        ReportNotSent(index, "it could not be started");
        return;
    }
    g_Run.states[index] = COMMAND_UNDER_WAY;
    ++g_Run.started;
}

// Starts what may start now: commands up to SEND_AHEAD under way; a pause once every command
// before it has been sent or has failed. Ends the loop when nothing is left.
void Advance(HWND window)
{
    while (!g_Run.pausing && g_Run.next_step < g_Run.plan.steps.size()) {
        const KeyStep &step = g_Run.plan.steps[g_Run.next_step];
        if (step.kind == STEP_WAIT) {
            if (g_Run.settled < g_Run.started) return;
            if (SetTimer(window, IDT_SEND_WAIT, step.wait_ms, NULL)) {
                g_Run.pausing = true;
                return;
            }
            Sleep(step.wait_ms);  // no timer: the notices wait in the queue meanwhile
        } else {
            if (g_Run.started - g_Run.ended >= SEND_AHEAD) return;
            StartCommand(window, g_Run.next_step);
        }
        ++g_Run.next_step;
    }
    if (!g_Run.pausing && g_Run.next_step == g_Run.plan.steps.size() && g_Run.ended == g_Run.started)
        PostQuitMessage(0);
}

void OnPauseOver(HWND window)
{
    KillTimer(window, IDT_SEND_WAIT);
    g_Run.pausing = false;
    ++g_Run.next_step;
    Advance(window);
}

void OnSent(HWND window)
{
    ++g_Run.settled;
    Advance(window);
}

void OnUndelivered(HWND window, WPARAM wParam)
{
    ++g_Run.settled;
    size_t index = (size_t)UndeliveredTag(wParam) - 1;
    if (index < g_Run.states.size()) ReportNotSent(index, UndeliveredReason(UndeliveredError(wParam)));
    Advance(window);
}

void OnDone(HWND window, LPARAM lParam)
{
    ReleaseTransactionResult((TransactionResult *)lParam);
    ++g_Run.ended;
    Advance(window);
}

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == IDT_SEND_WAIT) OnPauseOver(window);
        return 0;
    case WM_TXN_SENT:
        OnSent(window);
        return 0;
    case WM_TXN_UNDELIVERED:
        OnUndelivered(window, wParam);
        return 0;
    case WM_TXN_DONE:
        OnDone(window, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The transactions report to a window: a message-only one, which needs no display.
HWND CreateOwnerWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerWindowProc;
    wc.hInstance = g_Instance;
    wc.lpszClassName = OWNER_WINDOW_CLASS;
    if (!RegisterClassA(&wc)) return NULL;
    return CreateWindowExA(0, OWNER_WINDOW_CLASS, NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, g_Instance, NULL);
}

int Send()
{
    HWND window = CreateOwnerWindow();
    if (!window) {
        fprintf(stderr, "HalcyraSend: nothing sent: no window for the transport's notices\n");
        return EXIT_NOT_SENT;
    }
    g_Run.states.assign(g_Run.plan.steps.size(), COMMAND_PENDING);
    Advance(window);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
    if (g_Run.plan.verbose) {
        for (size_t i = 0; i < g_Run.states.size(); ++i)
            if (g_Run.states[i] == COMMAND_UNDER_WAY)
                printf("sent %s to %s\n", CommandName(g_Run.plan.steps[i]).c_str(), Dotted(g_Run.address).c_str());
    }
    return g_Run.any_not_sent ? EXIT_NOT_SENT : EXIT_SENT;
}

}  // namespace

int main(int argc, char **argv)
{
    g_Instance = GetModuleHandleA(NULL);
    std::string error;
    if (!ParseArguments(argc - 1, argv + 1, &g_Run.plan, &error)) {
        fprintf(stderr, "HalcyraSend: %s\n%s", error.c_str(), SEND_SYNOPSIS);
        return EXIT_BAD_ARGUMENT;
    }
    if (g_Run.plan.request != REQUEST_SEND) {
        if (g_Run.plan.request == REQUEST_USAGE)
            printf("%s%s", SEND_SYNOPSIS, SEND_DETAILS);
        else
            fputs(KeyList().c_str(), stdout);
        return EXIT_SENT;
    }
    if (g_Run.plan.address_given) {
        g_Run.address = g_Run.plan.address;
    } else {
        LoadSavedAddress(g_Run.address.bytes);
        if (g_Run.address.IsUnset()) {
            fprintf(stderr, "HalcyraSend: no ADDRESS given, and the remote has saved none for this user\n%s",
                    SEND_SYNOPSIS);
            return EXIT_BAD_ARGUMENT;
        }
    }
    return Send();
}
