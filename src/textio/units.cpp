// The I/O units, the I/O state, the fatal I/O report, the stops and the
// signal endings.
//
// The I/O state is what the fatal report prints: the current unit (or
// internal I/O), the format text of the most recent formatted or console
// statement, and four words describing the most recent statement begun.
// Every statement updates it before it runs; the report reads it.

#include "textio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

struct Unit {
    bool connected;
    bool named;
    char name[64];
    UnitCloser closer;
};
Unit units[UNIT_MAX];

// The I/O state, with its start values: no current unit, no format yet,
// and the words "writing direct unformatted internal".
struct IoState {
    int curunit;        // -1 for internal I/O (or none yet)
    const char* fmt;    // most recent format text, nullptr before any
    bool reading, sequential, formatted, external;
};
IoState io = {-1, nullptr, false, false, false, false};

bool in_fatal = false;

// Append text to a fixed report buffer.
struct Report {
    char buf[1024];
    std::size_t n = 0;
    void put(const char* s) { put(s, std::strlen(s)); }
    void put(const char* s, std::size_t len) {
        if (len > sizeof buf - n) len = sizeof buf - n;
        std::memcpy(buf + n, s, len);
        n += len;
    }
    void put_int(int v) {
        char t[16];
        int len = std::snprintf(t, sizeof t, "%d", v);
        put(t, static_cast<std::size_t>(len));
    }
};

void build_report(Report& r, const char* ctx, int err, const char* msg) {
    r.put(ctx);
    r.put(": ");
    r.put(msg ? msg : std::strerror(err));
    r.put("\n");
    if (io.curunit >= 0) {
        r.put("apparent state: unit ");
        r.put_int(io.curunit);
        r.put(" ");
        const Unit& u = units[io.curunit];
        if (u.named) {
            // file name with its trailing blanks removed
            std::size_t len = std::strlen(u.name);
            while (len > 0 && u.name[len - 1] == ' ') --len;
            r.put("named ");
            r.put(u.name, len);
            r.put("\n");
        } else {
            r.put("(unnamed)\n");
        }
    } else {
        r.put("apparent state: internal I/O\n");
    }
    if (io.fmt) {
        r.put("last format: ");
        r.put(io.fmt);
        r.put("\n");
    }
    r.put("lately ");
    r.put(io.reading ? "reading " : "writing ");
    r.put(io.sequential ? "sequential " : "direct ");
    r.put(io.formatted ? "formatted " : "unformatted ");
    r.put(io.external ? "external" : "internal");
    r.put(" IO\n");
}

void write_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

[[noreturn]] void fatal(const char* ctx, int err, const char* msg) {
    if (in_fatal) {
        // A failure while closing after a report: the report is out already.
        std::signal(SIGABRT, SIG_DFL);
        std::abort();
    }
    in_fatal = true;
    // Build the report from the state of the failing statement before the
    // flush of standard output touches it.
    Report r;
    build_report(r, ctx, err, msg);
    out_flush();
    write_all(2, r.buf, r.n);
    units_close_all(true);
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

}  // namespace

// ---------------------------------------------------------------- units

void unit_open(int unit, const char* name, UnitCloser closer) {
    Unit& u = units[unit];
    u.connected = true;
    u.named = name != nullptr;
    if (name) std::snprintf(u.name, sizeof u.name, "%s", name);
    u.closer = closer;
    io.curunit = unit;
    io.external = true;
}

void unit_open_failed(int unit, const char* name) {
    unit_open(unit, name, UnitCloser{nullptr, nullptr});
    units[unit].connected = false;
}

void unit_closed(int unit) { units[unit].connected = false; }

void units_close_all(bool fatal_close) {
    for (int i = 0; i < UNIT_MAX; ++i) {
        Unit& u = units[i];
        if (u.connected && u.closer.close) {
            u.connected = false;
            u.closer.close(fatal_close);
        }
    }
    if (fatal_close) {
        // Best effort: the report is written already.
        in_fatal = true;
    }
    out_flush();
}

// ---------------------------------------------------------------- state

void io_internal(bool reading, const char* fmt) {
    io.curunit = -1;
    io.fmt = fmt;
    io.reading = reading;
    io.sequential = true;
    io.formatted = true;
    io.external = false;
}

void io_external(int unit, bool reading, const char* fmt) {
    io.curunit = unit;
    io.fmt = fmt;
    io.reading = reading;
    io.sequential = true;
    io.formatted = true;
    io.external = true;
}

void io_current_unit(int unit) { io.curunit = unit; }

void io_reset_state() { io = IoState{-1, nullptr, false, false, false, false}; }

std::string io_report_text(const char* ctx, int err, const char* msg) {
    Report r;
    build_report(r, ctx, err, msg);
    return std::string(r.buf, r.n);
}

void io_fatal_errno(const char* ctx, int err) { fatal(ctx, err, nullptr); }
void io_fatal_msg(const char* ctx, const char* msg) { fatal(ctx, 0, msg); }
void io_fatal_fmt() { fatal("fmt", 0, "read unexpected character"); }

// ---------------------------------------------------------------- unit 6

namespace {
char outbuf[1 << 16];
std::size_t outlen = 0;
std::string* out_sink = nullptr;  // tests: console output goes here
}  // namespace

void con_capture(std::string* sink) { out_sink = sink; }

void out_write(const char* s, std::size_t n) {
    if (out_sink) {
        out_sink->append(s, n);
        return;
    }
    while (n > 0) {
        if (outlen == sizeof outbuf) out_flush();
        std::size_t k = sizeof outbuf - outlen;
        if (k > n) k = n;
        std::memcpy(outbuf + outlen, s, k);
        outlen += k;
        s += k;
        n -= k;
    }
}

// Write the buffer out. A failed write is the fatal "write" report on unit 6,
// except during a report or an ending, when the text is dropped.
void out_flush() {
    std::size_t done = 0;
    while (done < outlen) {
        ssize_t w = ::write(1, outbuf + done, outlen - done);
        if (w < 0) {
            if (errno == EINTR && !in_fatal) {
                signals_poll();
                continue;
            }
            int err = errno;
            outlen = 0;
            if (in_fatal) return;
            io_current_unit(UNIT_STDOUT);
            fatal("write", err, nullptr);
        }
        done += static_cast<std::size_t>(w);
    }
    outlen = 0;
}

// ---------------------------------------------------------------- stops

void stop_run() { stop_status(0); }

void stop_status(int status) {
    units_close_all(false);
    std::exit(status);
}

// ---------------------------------------------------------------- signals

volatile std::sig_atomic_t signal_pending = 0;

namespace {

// Interrupt, quit and termination: only note the signal; the run acts on it
// between stars, and a read or write that the signal interrupts acts on it
// at once.
extern "C" void on_async_signal(int sig) {
    if (!signal_pending) signal_pending = sig;
}

// Floating-point exception, abort and trace trap come from the program
// itself: nothing can be trusted, so only async-signal-safe calls. The line,
// every unit cut after its last complete data, then the abort.
extern "C" void on_sync_signal(int sig) {
    const char* line = sig == SIGFPE ? "Floating Exception\n" : sig == SIGABRT ? "IOT Trap\n" : "Trace trap\n";
    write_all(2, line, std::strlen(line));
    for (int i = 0; i < UNIT_MAX; ++i)
        if (units[i].connected && units[i].closer.cut) units[i].closer.cut();
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = SIG_DFL;
    sigaction(SIGABRT, &sa, nullptr);
    abort();
}

void install(int sig, void (*handler)(int), bool keep_ignored) {
    struct sigaction old, sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocked read returns and acts on the signal
    if (keep_ignored && sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
    sigaction(sig, &sa, nullptr);
}

}  // namespace

void signals_install() {
    install(SIGFPE, on_sync_signal, false);
    install(SIGABRT, on_sync_signal, false);
    install(SIGTRAP, on_sync_signal, false);
    install(SIGQUIT, on_async_signal, true);
    install(SIGINT, on_async_signal, true);
    install(SIGTERM, on_async_signal, false);
}

void signals_act() {
    int sig = signal_pending;
    const char* line = sig == SIGINT ? "Interrupt\n" : sig == SIGQUIT ? "Quit signal\n" : "Killed\n";
    if (in_fatal) return;  // a report is under way; it ends the process
    in_fatal = true;       // closing must not start a report of its own
    write_all(2, line, std::strlen(line));
    units_close_all(true);
    if (sig == SIGQUIT) {
        std::signal(SIGABRT, SIG_DFL);
        std::abort();
    }
    std::_Exit(1);
}
