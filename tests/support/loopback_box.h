// An in-process stand-in for the set-top box's command service, for the Windows tests:
// listens on 127.0.0.N:8089, records every connection's bytes in arrival order, and
// answers as told. Loopback only.
// In the test's own process rather than tools/standin_box (the Linux stand-in of run.sh and the
// end-to-end test): the tests stamp each command with their own clock, change the mode between
// connections, hold connection attempts until they release them, and wait on the box itself;
// and a test program runs on Windows as well as under Wine.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum BoxMode {
    BOX_ANSWER,        // reply at once with the reply text
    BOX_DELAY,         // reply after delay_ms
    BOX_RANDOM_DELAY,  // reply after 0..delay_ms, different per connection
    BOX_SILENT,        // never answer, keep the connection until the client closes
    BOX_CLOSE,         // close without answering
    BOX_RESET,         // reset the connection
    BOX_SHUTDOWN,      // half-close without answering (zero-byte reply)
    BOX_RESET_MID,     // send the first half of the reply, then reset
    BOX_DRIP,          // send the reply one byte a second
};

struct BoxConnection {
    std::string bytes;     // everything received until the client closed
    std::string command;   // the bytes up to and including the first CR LF NUL
    LONGLONG completed_qpc = 0;  // QueryPerformanceCounter when the command was complete
    bool ended = false;          // the exchange is over on the box's side
    unsigned accept_order = 0;   // 1 for the first connection the box accepted, and so on
};

struct LoopbackBox {
    std::string address;  // "127.0.0.N"
    BoxMode mode = BOX_ANSWER;  // may change while open: SetMode; each connection keeps its own
    std::string reply = "OK\r\n";
    int delay_ms = 0;
    int backlog = 64;          // connections the system holds before the box accepts them
    DWORD accept_delay_ms = 0; // the box starts accepting this long after Open
    // Open listens with room for one waiting connection and takes it itself: every connection
    // attempt hangs (its SYN is dropped) until Release, from which on the box accepts as usual.
    bool hang = false;

    // Starts listening; false if the address could not be bound.
    bool Open(const char *loopback_address);
    void Close();
    // Waits (bounded) until `count` connections have delivered a whole command.
    bool WaitForCommands(size_t count, DWORD timeout_ms);
    std::vector<BoxConnection> Connections();
    // Cheap reads for timing loops: the number of whole commands, and when command `index`
    // was complete (0 when there is no such command yet).
    size_t CommandCount();
    LONGLONG CompletedAt(size_t index);
    // Waits (bounded) until connection `index` (in command order) has ended.
    bool WaitForEnded(size_t index, DWORD timeout_ms);
    size_t AcceptedCount();
    void SetMode(BoxMode new_mode);
    void Release();
    // Joins the threads of connections that have ended, so they hold no handles.
    void ReapFinished();

    ~LoopbackBox() { Close(); }

    SOCKET listener = INVALID_SOCKET;
    SOCKET filler = INVALID_SOCKET;  // hang: the connection that takes the one place
    bool released = false;
    std::thread accept_thread;
    struct Worker {
        std::thread thread;
        bool done = false;
    };
    std::list<Worker> workers;  // list: a worker's `done` flag stays where it is
    std::mutex lock;
    std::condition_variable changed;
    std::vector<BoxConnection> connections;  // in the order their commands completed
    size_t accepted = 0;
    unsigned seed = 12345;
    bool closing = false;
};

// A UDP socket on 127.0.0.N, port 9: the datagrams a sleeping box's network card would see.
struct WakeListener {
    SOCKET socket = INVALID_SOCKET;
    bool Open(const char *loopback_address);
    // The datagrams received until `count` have come, or none has for `quiet_ms`.
    std::vector<std::string> Receive(size_t count, DWORD quiet_ms);
    void Close();
    ~WakeListener() { Close(); }
};
