// HalcyraSend: presses the box's keys from the command line, for scripts and scheduled tasks.
// Every argument is checked before anything is sent; then each command goes through the
// remote's own transport, in order, and the program exits once every transaction has ended.
// Exit code 0: every command sent; 1: some not sent (one line each on standard error);
// 2: a bad argument, no address, or no hardware address for /wake (nothing sent); 3: with
// /follow, a key made no connection and the box answered at another address of its /24.
#include <stdio.h>
#include <string.h>

#include "address/address.h"
#include "address/ipv4_value.h"
#include "sender/arguments.h"
#include "settings/registry.h"
#include "settings/wake_addresses.h"
#include "transport/box_search.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"
#include "transport/undelivered_reason.h"
#include "transport/wake.h"

HINSTANCE g_Instance;

namespace {

const char OWNER_WINDOW_CLASS[] = "HalcyraSendOwner";
const UINT_PTR IDT_SEND_WAIT = 1;
const UINT_PTR IDT_SEND_BOUND = 2;
// Commands started ahead of the box: a usual run's keys all at once, so that the keys behind
// one that cannot connect end with it, while a very long run holds only this many at a time.
const size_t SEND_AHEAD = 256;
// Beyond the transport's own bounds for the run's keys: time for the process's own work.
const DWORD SEND_BOUND_MARGIN_MS = 5000;
const int EXIT_SENT = 0, EXIT_NOT_SENT = 1, EXIT_BAD_ARGUMENT = 2, EXIT_BOX_MOVED = 3;

enum CommandState { COMMAND_PENDING, COMMAND_UNDER_WAY, COMMAND_SENT, COMMAND_NOT_SENT };

// The one run of the program; only the main thread touches it.
struct SendRun {
    SendPlan plan;
    Ipv4Value address = {{0, 0, 0, 0}};
    std::vector<CommandState> states;  // by step
    std::vector<const char *> not_sent_why;  // by step: why it was not sent, or null
    std::vector<bool> ended;                 // by step: the command has ended, or could not start
    size_t next_step = 0;
    size_t started = 0;   // transactions started
    size_t settled = 0;   // of those, sent or reported undelivered
    size_t ended_count = 0;  // of those, ended (WM_TXN_DONE)
    bool pausing = false; // a /wait runs
    bool any_not_sent = false;
    bool no_connection = false;  // some key was not sent because no connection was made
    bool refused = true;         // and every such connection was refused
    bool out_of_time = false;  // the run's bound passed before every command ended
    std::string wake_destinations;  // where the last wake packet went, for /v
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
    if (step.kind == STEP_WAKE) {
        char shown[HARDWARE_TEXT_SIZE];
        unsigned char hardware[6];
        memcpy(hardware, step.hardware, 6);
        HWAddrByteToStr(hardware, shown);
        return std::string("wake packet for ") + shown;
    }
    return "text \"" + step.line.substr(0, step.line.size() - 3) + "\"";  // without CR, LF, NUL
}

// Kept until the run ends and then printed in the order of the arguments: keys that end together
// (those behind a key that could not connect) may be reported in any order.
void ReportNotSent(size_t step, const char *why)
{
    g_Run.states[step] = COMMAND_NOT_SENT;
    g_Run.not_sent_why[step] = why;
    g_Run.any_not_sent = true;
}

void PrintNotSent()
{
    for (size_t i = 0; i < g_Run.not_sent_why.size(); ++i)
        if (g_Run.not_sent_why[i])
            fprintf(stderr, "HalcyraSend: %s not sent to %s: %s\n", CommandName(g_Run.plan.steps[i]).c_str(),
                    Dotted(g_Run.address).c_str(), g_Run.not_sent_why[i]);
}

void StartCommand(HWND window, size_t index)
{
    const KeyStep &step = g_Run.plan.steps[index];
    const char *bytes = step.kind == STEP_KEY ? step.key->bytes : step.line.data();
    int length = step.kind == STEP_KEY ? step.key->length : (int)step.line.size();
    if (!CommandTransaction::Start(window, g_Run.address.bytes, DEVICE_COMMAND_PORT, bytes, length,
                                   (unsigned short)(index + 1))) {
        ReportNotSent(index, "it could not be started");
        g_Run.ended[index] = true;  // nothing under way
        return;
    }
    g_Run.states[index] = COMMAND_UNDER_WAY;
    ++g_Run.started;
}

// The wake packet, once the commands before it were sent or failed: its sends block for their
// short intervals, during which the notices wait in the queue.
void Wake(size_t index)
{
    WakeTarget target = PrepareWake(g_Run.address.bytes, g_Run.plan.steps[index].hardware);
    if (SendWake(target).Any()) {
        g_Run.states[index] = COMMAND_SENT;
        if (g_Run.plan.verbose) {
            char destinations[WAKE_DESTINATIONS_TEXT_SIZE];
            DescribeWakeDestinations(target, destinations);
            g_Run.wake_destinations = destinations;
        }
    } else {
        ReportNotSent(index, "no datagram could be sent");
    }
}

// Starts what may start now: commands up to SEND_AHEAD under way; a pause once every command
// before it has been sent or has failed. Ends the loop when nothing is left.
void Advance(HWND window)
{
    if (g_Run.out_of_time) return;  // past the bound nothing more starts: the program is ending
    while (!g_Run.pausing && g_Run.next_step < g_Run.plan.steps.size()) {
        const KeyStep &step = g_Run.plan.steps[g_Run.next_step];
        if (step.kind == STEP_WAKE) {
            if (g_Run.settled < g_Run.started) return;
            Wake(g_Run.next_step);
        } else if (step.kind == STEP_WAIT) {
            if (g_Run.settled < g_Run.started) return;
            if (SetTimer(window, IDT_SEND_WAIT, step.wait_ms, NULL)) {
                g_Run.pausing = true;
                return;
            }
            Sleep(step.wait_ms);  // no timer: the notices wait in the queue meanwhile
        } else {
            if (g_Run.started - g_Run.ended_count >= SEND_AHEAD) return;
            StartCommand(window, g_Run.next_step);
        }
        ++g_Run.next_step;
    }
    if (!g_Run.pausing && g_Run.next_step == g_Run.plan.steps.size() && g_Run.ended_count == g_Run.started)
        PostQuitMessage(0);
}

void OnPauseOver(HWND window)
{
    KillTimer(window, IDT_SEND_WAIT);
    g_Run.pausing = false;
    ++g_Run.next_step;
    Advance(window);
}

void OnSent(HWND window, WPARAM wParam)
{
    ++g_Run.settled;
    size_t index = (size_t)UndeliveredTag(wParam) - 1;
    if (index < g_Run.states.size() && g_Run.states[index] == COMMAND_UNDER_WAY) g_Run.states[index] = COMMAND_SENT;
    Advance(window);
}

// The whole run's bound: the longest its keys can take at the transport's bounds, its pauses,
// and a margin. A notice that never comes cannot keep the program waiting.
DWORD RunBoundMs()
{
    DWORD pauses = 0;
    int commands = 0;
    for (const KeyStep &step : g_Run.plan.steps) {
        if (step.kind == STEP_WAIT) pauses += step.wait_ms;
        else if (step.kind == STEP_WAKE) pauses += WAKE_SENDS * WAKE_INTERVAL_MS;
        else ++commands;
    }
    return pauses + TransactionsEndWithinMs(commands) + SEND_BOUND_MARGIN_MS;
}

// Names each command that had not ended (sent or not), once: one already named as not sent
// is not named again.
void OnOutOfTime(HWND window)
{
    KillTimer(window, IDT_SEND_BOUND);
    KillTimer(window, IDT_SEND_WAIT);
    g_Run.out_of_time = true;
    for (size_t i = 0; i < g_Run.states.size(); ++i) {
        if (g_Run.plan.steps[i].kind == STEP_WAIT || g_Run.plan.steps[i].kind == STEP_WAKE) continue;
        if (!g_Run.ended[i] && !g_Run.not_sent_why[i])
            fprintf(stderr, "HalcyraSend: %s did not end within %lu s\n", CommandName(g_Run.plan.steps[i]).c_str(),
                    (unsigned long)(RunBoundMs() / 1000));
    }
    PostQuitMessage(0);
}

void OnUndelivered(HWND window, WPARAM wParam)
{
    ++g_Run.settled;
    size_t index = (size_t)UndeliveredTag(wParam) - 1;
    if (index < g_Run.states.size()) ReportNotSent(index, UndeliveredReason(UndeliveredError(wParam)));
    if (NoConnectionMade(UndeliveredError(wParam))) {
        g_Run.no_connection = true;
        g_Run.refused = g_Run.refused && UndeliveredError(wParam) == WSAECONNREFUSED;
    }
    Advance(window);
}

void OnDone(HWND window, WPARAM wParam, LPARAM lParam)
{
    ReleaseTransactionResult((TransactionResult *)lParam);
    size_t index = (size_t)DoneTag(wParam) - 1;
    if (index < g_Run.ended.size()) g_Run.ended[index] = true;
    ++g_Run.ended_count;
    Advance(window);
}

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == IDT_SEND_WAIT) OnPauseOver(window);
        if (wParam == IDT_SEND_BOUND) OnOutOfTime(window);
        return 0;
    case WM_TXN_SENT:
        OnSent(window, wParam);
        return 0;
    case WM_TXN_UNDELIVERED:
        OnUndelivered(window, wParam);
        return 0;
    case WM_TXN_DONE:
        OnDone(window, wParam, lParam);
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

// /follow after a key that made no connection: the box is looked for by the hardware address that
// the remote learned, and where it answers is printed. Nothing is saved: the remote's settings
// stay the remote's. EXIT_BOX_MOVED when it answers at one other address, else 0.
int FollowBox()
{
    WakeAddresses known;
    LoadWakeAddresses(&known);
    unsigned char hardware[6];
    std::string old = Dotted(g_Run.address);
    if (!FindWakeAddress(known, g_Run.address.bytes, hardware)) {
        fprintf(stderr, "HalcyraSend: /follow: no hardware address is known for %s (the remote learns it once a key "
                        "reached the box)\n", old.c_str());
        return 0;
    }
    MovedBoxFinding finding;
    FindMovedBox(g_Run.address.bytes, hardware, g_Run.refused, &finding);
    char shown[HARDWARE_TEXT_SIZE];
    HWAddrByteToStr(hardware, shown);
    if (finding.searched && finding.choice == MOVED_BOX_ONE && memcmp(finding.found, g_Run.address.bytes, 4) != 0) {
        std::string now = Dotted(Ipv4Value::Of(finding.found));
        printf("the box moved: not sent, found at %s\n", now.c_str());
        return EXIT_BOX_MOVED;
    }
    // A refusal names the box as there only where its /24 could have been asked (range set).
    if (!finding.searched && finding.refused && finding.range.count)
        fprintf(stderr, "HalcyraSend: /follow: %s refused the connection and holds the box's hardware address %s (or "
                        "none other): the box is there; not looked for elsewhere\n", old.c_str(), shown);
    else if (!finding.searched)
        fprintf(stderr, "HalcyraSend: /follow: the box with hardware address %s could not be looked for near %s\n",
                shown, old.c_str());
    else
        fprintf(stderr, "HalcyraSend: /follow: looked for the box with hardware address %s in the /24 of %s: %u "
                        "addresses answered, %d with it\n", shown, old.c_str(), finding.answered, finding.matching);
    return 0;
}

int Send()
{
    HWND window = CreateOwnerWindow();
    if (!window) {
        fprintf(stderr, "HalcyraSend: nothing sent: no window for the transport's notices\n");
        return EXIT_NOT_SENT;
    }
    g_Run.states.assign(g_Run.plan.steps.size(), COMMAND_PENDING);
    g_Run.not_sent_why.assign(g_Run.plan.steps.size(), nullptr);
    g_Run.ended.assign(g_Run.plan.steps.size(), false);
    if (!SetTimer(window, IDT_SEND_BOUND, RunBoundMs(), NULL)) {
        fprintf(stderr, "HalcyraSend: nothing sent: no timer to bound the run\n");
        DestroyWindow(window);
        return EXIT_NOT_SENT;
    }
    Advance(window);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
    PrintNotSent();
    if (g_Run.plan.verbose) {
        for (size_t i = 0; i < g_Run.states.size(); ++i)
            if (g_Run.states[i] == COMMAND_SENT)
                printf("sent %s to %s\n", CommandName(g_Run.plan.steps[i]).c_str(),
                       g_Run.plan.steps[i].kind == STEP_WAKE ? g_Run.wake_destinations.c_str()
                                                             : Dotted(g_Run.address).c_str());
    }
    if (g_Run.plan.follow && g_Run.no_connection && FollowBox() == EXIT_BOX_MOVED) return EXIT_BOX_MOVED;
    return g_Run.any_not_sent || g_Run.out_of_time ? EXIT_NOT_SENT : EXIT_SENT;
}

// The remote's saved address, checked as the address field is: a value that does not pass is
// refused rather than read as far as it goes ("192.168.1.300" is not 192.168.1.44).
int LoadCheckedSavedAddress(Ipv4Value *address)
{
    char saved[IPV4_TEXT_MAX + 1];
    if (LoadSavedAddressText(saved) && !Ipv4Value::Parse(saved, address)) {
        fprintf(stderr, "HalcyraSend: no ADDRESS given, and the remote's saved address \"%s\" is not a valid "
                        "address; nothing sent\n%s", saved, SEND_SYNOPSIS);
        return EXIT_BAD_ARGUMENT;
    }
    if (address->IsUnset()) {
        fprintf(stderr, "HalcyraSend: no ADDRESS given, and the remote has saved none for this user\n%s",
                SEND_SYNOPSIS);
        return EXIT_BAD_ARGUMENT;
    }
    return 0;
}

// A /wake without a hardware address takes the one the remote learned for the box; without one
// nothing is sent.
int FillWakeAddresses()
{
    WakeAddresses known;
    bool loaded = false;
    for (KeyStep &step : g_Run.plan.steps) {
        if (step.kind != STEP_WAKE || step.hardware_given) continue;
        if (!loaded) LoadWakeAddresses(&known);
        loaded = true;
        if (!FindWakeAddress(known, g_Run.address.bytes, step.hardware)) {
            fprintf(stderr, "HalcyraSend: /wake: no hardware address is known for %s (the remote learns it once a "
                            "key reached the box); give it, as /wake 00:1a:2b:3c:4d:5e; nothing sent\n",
                    Dotted(g_Run.address).c_str());
            return EXIT_BAD_ARGUMENT;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    g_Instance = GetModuleHandleA(NULL);
    std::string error;
    std::vector<Favourite> favourites;
    LoadFavourites(&favourites);
    // The names as the command line gives them: in the system's code page.
    for (Favourite &favourite : favourites) favourite.name = AnsiOfUtf8(favourite.name);
    if (!ParseArguments(argc - 1, argv + 1, favourites, &g_Run.plan, &error)) {
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
    } else if (int status = LoadCheckedSavedAddress(&g_Run.address)) {
        return status;
    }
    if (int status = FillWakeAddresses()) return status;
    return Send();
}
