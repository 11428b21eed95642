// standin_box: plays the set-top box's command service on a loopback address, for tests,
// benchmarks and demos. Linux only; one thread, one poll loop, any number of connections.
//
//   standin_box [--addr A] [--port P] [--mode M] [--log FILE] [--seed S]
//               [--idle-timeout MS] [--count N] [--duration MS] [--ready-file PATH]
//
// --addr must lie in 127.0.0.0/8 (default 127.0.0.1); --port defaults to 8089.
// A command is complete once the received bytes contain CR LF NUL. Then, by --mode:
//   answer            send "OK\r\n" at once (default)
//   delay:MS          send "OK\r\n" MS ms later
//   random-delay:MAX  send "OK\r\n" after 0..MAX ms, drawn per connection from --seed (default 1)
//   silent            never answer
//   close             close without answering
//   bytes:N           send N pattern bytes ('A' + i % 26)
//   reset             reset the connection (RST)
//   reset-mid:N       send N pattern bytes, then reset
//   drip:MS           send one pattern byte every MS ms, at most 1000
// After answering the box reads on until the peer's FIN, then closes. A FIN that comes before the
// answer has started ends the connection at once (the client gave up); an answer that is being
// written is finished first. A connection with nothing planned ends after --idle-timeout ms
// without traffic (default 60000, 0 = never).
// --count N: exit after N connections have ended. --duration MS: exit after MS ms.
// --ready-file PATH: "ready\n" is written there (atomically) once the box listens.
// SIGINT and SIGTERM end the box; connections still open are logged with end=exit.
// Exit code: 0 when stopped by --count, --duration or a signal; 1 when it cannot listen or open
// its files; 2 on a usage error or an address outside 127.0.0.0/8.
//
// Log: one line per connection when it ends, on stdout and appended to --log FILE, flushed per
// line. Lines come in end order. Tab-separated key=value fields, always all of them, in this order:
//   conn=<n>         sequence number from 1, in accept order
//   t_ms=<ms>        ms since the box started, at the end
//   wall=<time>      UTC wall clock at the end, YYYY-MM-DDTHH:MM:SS.mmmZ
//   peer=<a.b.c.d:port>
//   dur_ms=<ms>      from accept to end
//   bytes=<n>        bytes received in total
//   trunc=<0|1>      1 when more than 65536 bytes came; hex and text hold the first 65536
//   cmd=<0|1>        1 when CR LF NUL was seen (within the stored bytes)
//   delay_ms=<ms>    planned wait before the answer (drip: the interval); -1 when none was planned
//   sent=<n>         answer bytes handed to the kernel
//   end=<reason>     half_closed  the peer sent FIN (a half-close, or a close we could not tell apart)
//                    peer_closed  the peer sent FIN, then our write failed: it had closed fully
//                    reset        the peer reset the connection
//                    our_close    mode close;  our_reset  mode reset or reset-mid
//                    timeout      --idle-timeout;  error  another socket error;  exit  box stopped
//   mode=<mode>      the --mode text
//   hex=<hex>        the received bytes, lowercase hex (authoritative)
//   text=<escaped>   the same bytes; printable ASCII as is, \\ \r \n \t \0, else \xNN
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const size_t kMaxStored = 65536;   // received bytes kept per connection
const size_t kMaxConns = 512;      // open connections; more wait in the listen backlog
const uint64_t kDripCap = 1000;
const uint64_t kMaxReplyBytes = 1ull << 30;
const int64_t kMaxDelayMs = 24ll * 3600 * 1000;
const char kOkReply[] = "OK\r\n";

enum ModeKind { kAnswer, kDelay, kRandomDelay, kSilent, kClose, kBytes, kReset, kResetMid, kDrip };

struct ModeInfo {
    const char *name;
    ModeKind kind;
    bool has_arg;
    uint64_t min_arg, max_arg;
};

const ModeInfo kModes[] = {
    {"answer", kAnswer, false, 0, 0},
    {"delay", kDelay, true, 0, kMaxDelayMs},
    {"random-delay", kRandomDelay, true, 0, kMaxDelayMs},
    {"silent", kSilent, false, 0, 0},
    {"close", kClose, false, 0, 0},
    {"bytes", kBytes, true, 0, kMaxReplyBytes},
    {"reset", kReset, false, 0, 0},
    {"reset-mid", kResetMid, true, 0, kMaxReplyBytes},
    {"drip", kDrip, true, 1, kMaxDelayMs},
};

struct Options {
    std::string addr_text = "127.0.0.1";
    in_addr addr{};
    uint16_t port = 8089;
    std::string mode_text = "answer";
    ModeKind mode = kAnswer;
    uint64_t mode_arg = 0;
    std::string log_path, ready_path;
    uint64_t seed = 1;
    int64_t idle_ms = 60000;    // 0: never
    uint64_t count = 0;         // 0: no limit
    int64_t duration_ms = 0;    // 0: no limit
};

struct Conn {
    int fd = -1;
    uint64_t seq = 0;
    std::string peer;
    int64_t accepted_ms = 0, last_ms = 0;
    std::string got;             // first kMaxStored bytes received
    uint64_t received = 0;
    bool cmd = false, peer_eof = false;
    int64_t delay_ms = -1;
    int64_t reply_at = -1;       // planned answer start; -1: none
    bool writing = false;        // an answer is being written
    uint64_t reply_len = 0, sent = 0;
    int64_t drip_next = -1;      // next drip byte; -1: none
    bool abort = false;          // close with RST
    const char *end = nullptr;   // set once the connection is over
};

struct Box {
    Options opt;
    int listen_fd = -1;
    FILE *log = nullptr;
    int64_t start_ms = 0, accept_pause_until = 0;
    uint64_t next_seq = 1, ended = 0, rng = 0;
    std::vector<Conn> conns;
};

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int64_t MonoMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string WallText() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t;
    gmtime_r(&ts.tv_sec, &t);
    char buf[96];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
             t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, int(ts.tv_nsec / 1000000));
    return buf;
}

uint64_t NextRandom(uint64_t *state) {  // splitmix64
    uint64_t z = (*state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

bool ParseU64(const char *s, uint64_t min, uint64_t max, uint64_t *out) {
    if (*s == '\0') return false;
    uint64_t v = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
        unsigned d = unsigned(*s - '0');
        if (v > (max - d) / 10) return false;
        v = v * 10 + d;
    }
    if (v < min) return false;
    *out = v;
    return true;
}

bool ParseMode(const std::string &text, Options *o) {
    size_t colon = text.find(':');
    std::string name = text.substr(0, colon);
    for (const ModeInfo &m : kModes) {
        if (name != m.name) continue;
        o->mode = m.kind;
        if (!m.has_arg) return colon == std::string::npos;
        if (colon == std::string::npos) return false;
        return ParseU64(text.c_str() + colon + 1, m.min_arg, m.max_arg, &o->mode_arg);
    }
    return false;
}

void Usage(FILE *f) {
    fputs("usage: standin_box [--addr 127.x.y.z] [--port P] [--mode M] [--log FILE] [--seed S]\n"
          "                   [--idle-timeout MS] [--count N] [--duration MS] [--ready-file PATH]\n"
          "modes: answer delay:MS random-delay:MAXMS silent close bytes:N reset reset-mid:N"
          " drip:MS\n", f);
}

// Returns 0 when the options are good, 2 on a usage error (reported on stderr).
int ParseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") { Usage(stdout); exit(0); }
        if (i + 1 >= argc) { fprintf(stderr, "standin_box: %s needs a value\n", argv[i]); return 2; }
        const char *v = argv[++i];
        uint64_t n = 0;
        bool ok = true;
        if (name == "--addr") {
            o->addr_text = v;
        } else if (name == "--port") {
            ok = ParseU64(v, 1, 65535, &n);
            o->port = uint16_t(n);
        } else if (name == "--mode") {
            o->mode_text = v;
            ok = ParseMode(o->mode_text, o);
        } else if (name == "--log") {
            o->log_path = v;
        } else if (name == "--ready-file") {
            o->ready_path = v;
        } else if (name == "--seed") {
            ok = ParseU64(v, 0, UINT64_MAX, &o->seed);
        } else if (name == "--count") {
            ok = ParseU64(v, 1, UINT64_MAX, &o->count);
        } else if (name == "--idle-timeout") {
            ok = ParseU64(v, 0, kMaxDelayMs, &n);
            o->idle_ms = int64_t(n);
        } else if (name == "--duration") {
            ok = ParseU64(v, 1, kMaxDelayMs, &n);
            o->duration_ms = int64_t(n);
        } else {
            fprintf(stderr, "standin_box: unknown option %s\n", name.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) { fprintf(stderr, "standin_box: bad value for %s: %s\n", name.c_str(), v); return 2; }
    }
    if (inet_pton(AF_INET, o->addr_text.c_str(), &o->addr) != 1) {
        fprintf(stderr, "standin_box: not an IPv4 address: %s\n", o->addr_text.c_str());
        return 2;
    }
    if ((ntohl(o->addr.s_addr) >> 24) != 127) {
        fprintf(stderr, "standin_box: refusing %s: only 127.0.0.0/8 is allowed\n", o->addr_text.c_str());
        return 2;
    }
    return 0;
}

int OpenListener(const Options &o) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(o.port);
    sa.sin_addr = o.addr;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(fd, SOMAXCONN) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

bool WriteReadyFile(const std::string &path) {
    std::string tmp = path + ".tmp";
    FILE *f = fopen(tmp.c_str(), "w");
    if (!f) return false;
    bool ok = fputs("ready\n", f) >= 0;
    ok = (fclose(f) == 0) && ok;
    return ok && rename(tmp.c_str(), path.c_str()) == 0;
}

void AppendEscaped(std::string *out, const std::string &bytes) {
    char buf[8];
    for (unsigned char ch : bytes) {
        switch (ch) {
        case '\\': *out += "\\\\"; break;
        case '\r': *out += "\\r"; break;
        case '\n': *out += "\\n"; break;
        case '\t': *out += "\\t"; break;
        case '\0': *out += "\\0"; break;
        default:
            if (ch >= 0x20 && ch < 0x7f) { *out += char(ch); break; }
            snprintf(buf, sizeof buf, "\\x%02x", ch);
            *out += buf;
        }
    }
}

void AppendHex(std::string *out, const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    for (unsigned char ch : bytes) {
        *out += digits[ch >> 4];
        *out += digits[ch & 15];
    }
}

void LogEnd(Box &b, const Conn &c, int64_t now) {
    char head[512];
    snprintf(head, sizeof head,
             "conn=%llu\tt_ms=%lld\twall=%s\tpeer=%s\tdur_ms=%lld\tbytes=%llu\ttrunc=%d\tcmd=%d"
             "\tdelay_ms=%lld\tsent=%llu\tend=%s\tmode=",
             (unsigned long long)c.seq, (long long)(now - b.start_ms), WallText().c_str(),
             c.peer.c_str(), (long long)(now - c.accepted_ms), (unsigned long long)c.received,
             c.received > c.got.size() ? 1 : 0, c.cmd ? 1 : 0, (long long)c.delay_ms,
             (unsigned long long)c.sent, c.end);
    std::string line = head;
    line += b.opt.mode_text;
    line += "\thex=";
    AppendHex(&line, c.got);
    line += "\ttext=";
    AppendEscaped(&line, c.got);
    line += '\n';
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
    if (b.log) {
        fwrite(line.data(), 1, line.size(), b.log);
        fflush(b.log);
    }
}

// Ends a write that failed: after the peer's FIN a refused write means it closed fully.
void WriteFailed(Conn &c) {
    if (errno == EPIPE || errno == ECONNRESET) c.end = c.peer_eof ? "peer_closed" : "reset";
    else c.end = "error";
}

void FillReply(const Box &b, uint64_t offset, char *buf, size_t n) {
    bool ok_text = b.opt.mode == kAnswer || b.opt.mode == kDelay || b.opt.mode == kRandomDelay;
    for (size_t i = 0; i < n; ++i) {
        uint64_t k = offset + i;
        buf[i] = ok_text ? kOkReply[k % (sizeof kOkReply - 1)] : char('A' + k % 26);
    }
}

// Writes as much of the answer as the socket takes; finishes the connection's answer when done.
void WriteReply(Box &b, Conn &c, int64_t now) {
    static char chunk[65536];
    while (c.sent < c.reply_len) {
        size_t n = size_t(std::min<uint64_t>(sizeof chunk, c.reply_len - c.sent));
        FillReply(b, c.sent, chunk, n);
        ssize_t w = send(c.fd, chunk, n, MSG_NOSIGNAL);
        if (w > 0) { c.sent += uint64_t(w); c.last_ms = now; continue; }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        WriteFailed(c);
        return;
    }
    c.writing = false;
    if (b.opt.mode == kResetMid) { c.end = "our_reset"; c.abort = true; }
    else if (c.peer_eof) c.end = "half_closed";
}

void StartReply(Box &b, Conn &c, int64_t now) {
    c.writing = true;
    WriteReply(b, c, now);
}

void DripOne(Box &b, Conn &c, int64_t now) {
    char ch = 0;
    FillReply(b, c.sent, &ch, 1);
    ssize_t w = send(c.fd, &ch, 1, MSG_NOSIGNAL);
    if (w == 1) {
        c.sent++;
        c.last_ms = now;
    } else if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        WriteFailed(c);
        return;
    }
    c.drip_next = c.sent >= kDripCap ? -1 : now + int64_t(b.opt.mode_arg);
}

void OnCommand(Box &b, Conn &c, int64_t now) {
    c.cmd = true;
    int64_t arg = int64_t(b.opt.mode_arg);
    switch (b.opt.mode) {
    case kAnswer: c.reply_len = sizeof kOkReply - 1; c.delay_ms = 0; StartReply(b, c, now); break;
    case kDelay: c.reply_len = sizeof kOkReply - 1; c.delay_ms = arg; c.reply_at = now + arg; break;
    case kRandomDelay:
        c.reply_len = sizeof kOkReply - 1;
        c.delay_ms = int64_t(NextRandom(&b.rng) % (b.opt.mode_arg + 1));
        c.reply_at = now + c.delay_ms;
        break;
    case kSilent: break;
    case kClose: c.end = "our_close"; break;
    case kBytes:
    case kResetMid: c.reply_len = b.opt.mode_arg; c.delay_ms = 0; StartReply(b, c, now); break;
    case kReset: c.end = "our_reset"; c.abort = true; break;
    case kDrip: c.reply_len = kDripCap; c.delay_ms = arg; c.drip_next = now + arg; break;
    }
}

void ReadSome(Box &b, Conn &c, int64_t now) {
    char buf[16384];
    for (int round = 0; round < 16 && !c.end; ++round) {  // bounded, so one peer cannot starve others
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.received += uint64_t(n);
            c.last_ms = now;
            size_t old = c.got.size();
            c.got.append(buf, std::min<size_t>(size_t(n), kMaxStored - old));
            if (!c.cmd && c.got.find(std::string("\r\n\0", 3), old >= 2 ? old - 2 : 0) != std::string::npos)
                OnCommand(b, c, now);
            continue;
        }
        if (n == 0) {
            c.peer_eof = true;
            c.last_ms = now;
            if (!c.writing) c.end = "half_closed";
            return;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) c.end = errno == ECONNRESET ? "reset" : "error";
        return;
    }
}

void RunTimers(Box &b, Conn &c, int64_t now) {
    if (!c.end && c.reply_at >= 0 && now >= c.reply_at) {
        c.reply_at = -1;
        StartReply(b, c, now);
    }
    if (!c.end && c.drip_next >= 0 && now >= c.drip_next) DripOne(b, c, now);
    if (!c.end && b.opt.idle_ms > 0 && c.reply_at < 0 && c.drip_next < 0 &&
        now - c.last_ms >= b.opt.idle_ms)
        c.end = "timeout";
}

void AcceptNew(Box &b, int64_t now) {
    while (b.conns.size() < kMaxConns) {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        int fd = accept4(b.listen_fd, reinterpret_cast<sockaddr *>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) b.accept_pause_until = now + 100;  // e.g. EMFILE
            return;
        }
        Conn c;
        c.fd = fd;
        c.seq = b.next_seq++;
        char ip[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &sa.sin_addr, ip, sizeof ip);
        c.peer = std::string(ip) + ":" + std::to_string(ntohs(sa.sin_port));
        c.accepted_ms = c.last_ms = now;
        b.conns.push_back(std::move(c));
    }
}

// Logs and closes the connection; with abort set the close sends RST.
void Finish(Box &b, Conn &c, int64_t now) {
    LogEnd(b, c, now);
    if (c.abort) {
        linger lg{1, 0};
        setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    }
    close(c.fd);
    c.fd = -1;
    b.ended++;
}

void Reap(Box &b, int64_t now) {
    size_t keep = 0;
    for (size_t i = 0; i < b.conns.size(); ++i) {
        if (b.conns[i].end) Finish(b, b.conns[i], now);
        else if (keep != i) b.conns[keep++] = std::move(b.conns[i]);
        else keep++;
    }
    b.conns.resize(keep);
}

int PollTimeout(const Box &b, int64_t now) {
    int64_t next = now + 1000;  // wake at least once a second
    auto take = [&](int64_t t) { if (t >= 0 && t < next) next = t; };
    if (b.opt.duration_ms > 0) take(b.start_ms + b.opt.duration_ms);
    if (b.accept_pause_until > now) take(b.accept_pause_until);
    for (const Conn &c : b.conns) {
        take(c.reply_at);
        take(c.drip_next);
        if (b.opt.idle_ms > 0 && c.reply_at < 0 && c.drip_next < 0) take(c.last_ms + b.opt.idle_ms);
    }
    return int(next > now ? next - now : 0);
}

void RunLoop(Box &b) {
    std::vector<pollfd> pfds;
    while (!g_stop) {
        int64_t now = MonoMs();
        if (b.opt.duration_ms > 0 && now - b.start_ms >= b.opt.duration_ms) return;
        if (b.opt.count > 0 && b.ended >= b.opt.count) return;
        pfds.clear();
        for (const Conn &c : b.conns) {
            short ev = 0;
            if (!c.peer_eof) ev |= POLLIN;
            if (c.writing) ev |= POLLOUT;
            pfds.push_back({c.fd, ev, 0});
        }
        bool listening = b.conns.size() < kMaxConns && now >= b.accept_pause_until;
        if (listening) pfds.push_back({b.listen_fd, POLLIN, 0});
        int n = poll(pfds.data(), pfds.size(), PollTimeout(b, now));
        if (n < 0 && errno != EINTR) { perror("standin_box: poll"); return; }
        now = MonoMs();
        size_t polled = b.conns.size();
        for (size_t i = 0; n > 0 && i < polled; ++i) {
            Conn &c = b.conns[i];
            short rev = pfds[i].revents;
            if (!c.end && !c.peer_eof && (rev & (POLLIN | POLLHUP | POLLERR))) ReadSome(b, c, now);
            if (!c.end && c.writing && (rev & (POLLOUT | POLLHUP | POLLERR))) WriteReply(b, c, now);
        }
        for (Conn &c : b.conns) RunTimers(b, c, now);
        Reap(b, now);
        if (listening && n > 0 && (pfds.back().revents & POLLIN)) AcceptNew(b, now);
    }
}

}  // namespace

int main(int argc, char **argv) {
    Box b;
    int rc = ParseOptions(argc, argv, &b.opt);
    if (rc != 0) return rc;
    b.rng = b.opt.seed;

    struct sigaction sa {};
    sa.sa_handler = OnSignal;  // no SA_RESTART: poll must return on a signal
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!b.opt.log_path.empty() && !(b.log = fopen(b.opt.log_path.c_str(), "a"))) {
        fprintf(stderr, "standin_box: cannot open log %s: %s\n", b.opt.log_path.c_str(), strerror(errno));
        return 1;
    }
    b.listen_fd = OpenListener(b.opt);
    if (b.listen_fd < 0) {
        fprintf(stderr, "standin_box: cannot listen on %s:%u: %s\n", b.opt.addr_text.c_str(),
                unsigned(b.opt.port), strerror(errno));
        if (b.log) fclose(b.log);
        return 1;
    }
    b.start_ms = MonoMs();
    fprintf(stderr, "standin_box: listening on %s:%u mode=%s\n", b.opt.addr_text.c_str(),
            unsigned(b.opt.port), b.opt.mode_text.c_str());
    if (!b.opt.ready_path.empty() && !WriteReadyFile(b.opt.ready_path)) {
        fprintf(stderr, "standin_box: cannot write %s\n", b.opt.ready_path.c_str());
        rc = 1;
    } else {
        RunLoop(b);
    }

    int64_t now = MonoMs();
    for (Conn &c : b.conns) {
        if (!c.end) c.end = "exit";
        Finish(b, c, now);
    }
    b.conns.clear();
    close(b.listen_fd);
    if (b.log) fclose(b.log);
    return rc;
}
