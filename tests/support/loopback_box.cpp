#include "tests/support/loopback_box.h"

#include <algorithm>
#include <chrono>

namespace {

bool HasCommandEnd(const std::string &bytes, size_t *end)
{
    static const char terminator[3] = {'\r', '\n', '\0'};
    size_t at = bytes.find(std::string(terminator, 3));
    if (at == std::string::npos) return false;
    *end = at + 3;
    return true;
}

// Sends in pieces, each bounded by the socket's send time-out, so a client that has gone away
// can never hold the box (Wine may not fail a large blocking send when the peer resets).
void SendAll(SOCKET s, const std::string &data)
{
    DWORD timeout = 5000;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, (const char *)&timeout, sizeof(timeout));
    size_t offset = 0;
    while (offset < data.size()) {
        int piece = (int)std::min<size_t>(data.size() - offset, 16384);
        int n = send(s, data.data() + offset, piece, 0);
        if (n <= 0) return;
        offset += n;
    }
}

void ServeConnectionBody(LoopbackBox *box, SOCKET s, BoxMode mode, unsigned delay_ms,
                         BoxConnection conn);

void ServeConnection(LoopbackBox *box, SOCKET s, BoxMode mode, unsigned delay_ms, BoxConnection conn,
                     bool *done)
{
    ServeConnectionBody(box, s, mode, delay_ms, conn);
    std::lock_guard<std::mutex> hold(box->lock);
    *done = true;
}

void ResetConnection(SOCKET s)
{
    linger hard = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, (const char *)&hard, sizeof(hard));
    closesocket(s);
}

// Reads until the command is complete (or the client stops sending) and stamps the moment.
bool ReadCommand(SOCKET s, BoxConnection *conn)
{
    char buffer[4096];
    size_t end = 0;
    if (HasCommandEnd(conn->bytes, &end)) return true;
    for (;;) {
        int n = recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) return false;
        conn->bytes.append(buffer, n);
        if (HasCommandEnd(conn->bytes, &end)) break;
    }
    conn->command = conn->bytes.substr(0, end);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    conn->completed_qpc = now.QuadPart;
    return true;
}

void MarkEnded(LoopbackBox *box, size_t index)
{
    {
        std::lock_guard<std::mutex> hold(box->lock);
        box->connections[index].ended = true;
    }
    box->changed.notify_all();
}

void ServeConnectionBody(LoopbackBox *box, SOCKET s, BoxMode mode, unsigned delay_ms,
                         BoxConnection conn)
{
    DWORD timeout = 20000;  // a client that never closes cannot hold a test forever
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char *)&timeout, sizeof(timeout));
    char buffer[4096];
    if (conn.completed_qpc != 0 || ReadCommand(s, &conn)) {
        size_t index;
        {
            std::lock_guard<std::mutex> hold(box->lock);
            box->connections.push_back(conn);
            index = box->connections.size() - 1;
        }
        box->changed.notify_all();
        switch (mode) {
        case BOX_ANSWER: SendAll(s, box->reply); break;
        case BOX_DELAY:
        case BOX_RANDOM_DELAY:
            Sleep(delay_ms);
            SendAll(s, box->reply);
            break;
        case BOX_SILENT: break;
        case BOX_CLOSE:
            closesocket(s);
            MarkEnded(box, index);
            return;
        case BOX_RESET:
            ResetConnection(s);
            MarkEnded(box, index);
            return;
        case BOX_SHUTDOWN: shutdown(s, SD_SEND); break;
        case BOX_RESET_MID:
            SendAll(s, box->reply.substr(0, box->reply.size() / 2));
            ResetConnection(s);
            MarkEnded(box, index);
            return;
        case BOX_DRIP:
            // One byte a second until the client closes or the reply runs out.
            for (char c : box->reply) {
                if (send(s, &c, 1, 0) != 1) break;
                Sleep(1000);
            }
            break;
        }
        // Read on until the client closes its side, as a real box would.
        for (;;) {
            int n = recv(s, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            std::lock_guard<std::mutex> hold(box->lock);
            box->connections[index].bytes.append(buffer, n);
        }
        MarkEnded(box, index);
    }
    closesocket(s);
}

void AcceptLoop(LoopbackBox *box)
{
    Sleep(box->accept_delay_ms);
    {
        std::unique_lock<std::mutex> hold(box->lock);
        box->changed.wait(hold, [box] { return !box->hang || box->released || box->closing; });
    }
    for (;;) {
        SOCKET s = accept(box->listener, NULL, NULL);
        if (s == INVALID_SOCKET) return;
        // The command is read here, so its arrival is stamped without waiting for a thread;
        // a client that sends nothing for a while is left to its own thread.
        BoxConnection conn;
        DWORD quick = 2000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char *)&quick, sizeof(quick));
        ReadCommand(s, &conn);
        unsigned delay = 0;
        BoxMode mode;
        {
            std::lock_guard<std::mutex> hold(box->lock);
            if (box->closing) {
                closesocket(s);
                return;
            }
            ++box->accepted;
            conn.accept_order = (unsigned)box->accepted;
            mode = box->mode;
            box->seed = box->seed * 1103515245u + 12345u;
            if (mode == BOX_DELAY) delay = box->delay_ms;
            if (mode == BOX_RANDOM_DELAY)
                delay = box->delay_ms > 0 ? (box->seed >> 16) % (unsigned)(box->delay_ms + 1) : 0;
            box->workers.emplace_back();
            LoopbackBox::Worker &worker = box->workers.back();
            worker.thread = std::thread(ServeConnection, box, s, mode, delay, conn, &worker.done);
        }
        box->changed.notify_all();
        box->ReapFinished();
    }
}

}  // namespace

bool LoopbackBox::Open(const char *loopback_address)
{
    address = loopback_address;
    listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) return false;
    BOOL yes = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, (const char *)&yes, sizeof(yes));
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(8089);
    local.sin_addr.s_addr = inet_addr(loopback_address);
    if ((ntohl(local.sin_addr.s_addr) >> 24) != 127) return false;  // loopback only
    if (bind(listener, (sockaddr *)&local, sizeof(local)) != 0 || listen(listener, hang ? 0 : backlog) != 0) {
        closesocket(listener);
        listener = INVALID_SOCKET;
        return false;
    }
    if (hang) {
        filler = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(filler, (sockaddr *)&local, sizeof(local)) != 0) return false;
    }
    accept_thread = std::thread(AcceptLoop, this);
    return true;
}

void LoopbackBox::Release()
{
    if (filler != INVALID_SOCKET) closesocket(filler);  // accepted first, it ends at once
    filler = INVALID_SOCKET;
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
    }
    changed.notify_all();
}

void LoopbackBox::Close()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        closing = true;
    }
    changed.notify_all();
    if (filler != INVALID_SOCKET) closesocket(filler);
    filler = INVALID_SOCKET;
    if (listener != INVALID_SOCKET) {
        closesocket(listener);
        listener = INVALID_SOCKET;
    }
    if (accept_thread.joinable()) accept_thread.join();
    std::list<Worker> pending;
    {
        std::lock_guard<std::mutex> hold(lock);
        pending.swap(workers);
    }
    for (Worker &w : pending) w.thread.join();
}

void LoopbackBox::ReapFinished()
{
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> hold(lock);
        for (auto it = workers.begin(); it != workers.end();) {
            auto next = std::next(it);
            if (it->done) finished.splice(finished.end(), workers, it);
            it = next;
        }
    }
    for (Worker &w : finished) w.thread.join();
}

bool LoopbackBox::WaitForCommands(size_t count, DWORD timeout_ms)
{
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                            [&] { return connections.size() >= count; });
}

// In the order the box accepted them: each connection is recorded by a thread of its own, and
// two accepted in a row may be recorded the other way round.
std::vector<BoxConnection> LoopbackBox::Connections()
{
    std::vector<BoxConnection> seen;
    {
        std::lock_guard<std::mutex> hold(lock);
        seen = connections;
    }
    std::stable_sort(seen.begin(), seen.end(), [](const BoxConnection &a, const BoxConnection &b) {
        return a.accept_order < b.accept_order;
    });
    return seen;
}

size_t LoopbackBox::CommandCount()
{
    std::lock_guard<std::mutex> hold(lock);
    return connections.size();
}

LONGLONG LoopbackBox::CompletedAt(size_t index)
{
    std::lock_guard<std::mutex> hold(lock);
    return index < connections.size() ? connections[index].completed_qpc : 0;
}

bool LoopbackBox::WaitForEnded(size_t index, DWORD timeout_ms)
{
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                            [&] { return connections.size() > index && connections[index].ended; });
}

void LoopbackBox::SetMode(BoxMode new_mode)
{
    std::lock_guard<std::mutex> hold(lock);
    mode = new_mode;
}

size_t LoopbackBox::AcceptedCount()
{
    std::lock_guard<std::mutex> hold(lock);
    return accepted;
}

bool WakeListener::Open(const char *loopback_address)
{
    socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) return false;
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(9);
    at.sin_addr.s_addr = inet_addr(loopback_address);
    if (bind(socket, (const sockaddr *)&at, sizeof(at)) == 0) return true;
    Close();
    return false;
}

std::vector<std::string> WakeListener::Receive(size_t count, DWORD quiet_ms)
{
    std::vector<std::string> datagrams;
    while (socket != INVALID_SOCKET && datagrams.size() < count) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait = {(long)(quiet_ms / 1000), (long)(quiet_ms % 1000) * 1000};
        if (select(0, &readable, NULL, NULL, &wait) != 1) break;
        char buffer[512];
        int got = recv(socket, buffer, sizeof(buffer), 0);
        if (got < 0) break;
        datagrams.push_back(std::string(buffer, (size_t)got));
    }
    return datagrams;
}

void WakeListener::Close()
{
    if (socket != INVALID_SOCKET) closesocket(socket);
    socket = INVALID_SOCKET;
}
