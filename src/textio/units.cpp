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
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Unit {
    bool connected;
    bool named;
    char name[NAME_LEN];
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
const char* fatal_hint = nullptr;
volatile std::sig_atomic_t ending_by_signal = 0;

// Append text to a fixed report buffer.
struct Report {
    char buf[NAME_LEN + 1024];
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

// A report or a signal's line. The process is ending already: a failure,
// or a signal that interrupts a write that waits, ends the writing.
void write_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) return;
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
    // A signal that came first ends the run by its own rule: a write that
    // failed because of it (a pipe without reader, the file size limit)
    // ends by that signal, not with a report.
    if (signal_pending) signals_act();
    in_fatal = true;
    // Build the report from the state of the failing statement before the
    // flush of standard output touches it.
    Report r;
    build_report(r, ctx, err, msg);
    out_flush();
    write_all(2, r.buf, r.n);
    if (fatal_hint) write_all(2, fatal_hint, std::strlen(fatal_hint));
    units_close_all(true);
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

}  // namespace

// ---------------------------------------------------------------- units

void std_fds_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is this one: those below it are open.
        int nul = ::open("/dev/null", O_RDONLY);
        if (nul >= 0 && nul != fd) {
            dup2(nul, fd);
            ::close(nul);
        }
    }
}

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

void unit_attach(int unit, UnitCloser closer) {
    units[unit].connected = true;
    units[unit].closer = closer;
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
void io_fatal_hint(const char* line) { fatal_hint = line; }

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
// A signal that interrupts a write (or comes during one) is acted on before
// the rest is written; what is written stays written.
void out_flush() {
    std::size_t done = 0;
    while (done < outlen) {
        ssize_t w = ::write(1, outbuf + done, outlen - done);
        if (w >= 0) {
            done += static_cast<std::size_t>(w);
        } else if (errno != EINTR || in_fatal) {
            int err = errno;
            outlen = 0;
            if (in_fatal) return;
            io_current_unit(UNIT_STDOUT);
            fatal("write", err, nullptr);
        }
        if (signal_pending && !in_fatal) {
            std::memmove(outbuf, outbuf + done, outlen - done);
            outlen -= done;
            done = 0;
            signals_act();
        }
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

// Interrupt, quit, termination and every other signal from outside that
// would end the process: only note the first one; the run acts on it
// between stars, and a read or write that the signal interrupts acts on it
// at once.
extern "C" void on_async_signal(int sig) {
    if (!signal_pending) signal_pending = sig;
}

// Cut every unit after its last complete data, with async-signal-safe calls.
void cut_units() {
    for (int i = 0; i < UNIT_MAX; ++i)
        if (units[i].connected && units[i].closer.cut) units[i].closer.cut();
}

void set_default(int sig) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = SIG_DFL;
    sigaction(sig, &sa, nullptr);
}

// Floating-point exception, abort and trace trap come from the program
// itself: nothing can be trusted, so only async-signal-safe calls. The line,
// every unit cut after its last complete data, then the abort.
extern "C" void on_sync_signal(int sig) {
    const char* line = sig == SIGFPE ? "Floating Exception\n" : sig == SIGABRT ? "IOT Trap\n" : "Trace trap\n";
    write_all(2, line, std::strlen(line));
    cut_units();
    set_default(SIGABRT);
    abort();
}

// A memory fault, a bad instruction or a refused system call: from the
// program itself, the units are cut here and the signal, back at its default
// action, ends the process once the handler returns. The same signal sent
// by another process is one from outside like any other.
extern "C" void on_fault_signal(int sig, siginfo_t* si, void*) {
    if (si->si_code <= 0) {
        on_async_signal(sig);
        return;
    }
    cut_units();
    set_default(sig);
    raise(sig);
}

// Which disposition found at start stays: none, an ignored one, or any
// that is not the default action.
enum Keep { REPLACE, KEEP_IGNORED, KEEP_SET };

void install(int sig, void (*handler)(int), Keep keep, void (*action)(int, siginfo_t*, void*) = nullptr) {
    struct sigaction old, sa;
    if (keep != REPLACE && sigaction(sig, nullptr, &old) == 0) {
        if (old.sa_handler == SIG_IGN) return;
        if (keep == KEEP_SET && ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)) return;
    }
    std::memset(&sa, 0, sizeof sa);
    if (action) {
        sa.sa_sigaction = action;
        sa.sa_flags = SA_SIGINFO;
    } else {
        sa.sa_handler = handler;
    }
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a blocked read or write returns and acts on the signal.
    sigaction(sig, &sa, nullptr);
}

// The signals from outside whose default action ends the process, beyond
// interrupt, quit and termination. Each ends the run without a line of its
// own, by the signal itself, so a shell or a batch system sees what it
// always saw (128 + n); the units are closed first. One ignored at start
// stays ignored, and one that something in the process (a profiler, a
// sanitizer) handles already stays with it.
const int quiet_signals[] = {SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,
                             SIGXCPU, SIGXFSZ, SIGIO, SIGPWR,
#ifdef SIGSTKFLT
                             SIGSTKFLT,
#endif
};
const int fault_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGSYS};

}  // namespace

void signals_install() {
    install(SIGFPE, on_sync_signal, REPLACE);
    install(SIGABRT, on_sync_signal, REPLACE);
    install(SIGTRAP, on_sync_signal, REPLACE);
    install(SIGQUIT, on_async_signal, KEEP_IGNORED);
    install(SIGINT, on_async_signal, KEEP_IGNORED);
    install(SIGTERM, on_async_signal, REPLACE);
    for (int sig : quiet_signals) install(sig, on_async_signal, KEEP_SET);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) install(sig, on_async_signal, KEEP_SET);
    for (int sig : fault_signals) install(sig, nullptr, KEEP_SET, on_fault_signal);
}

bool signal_ending() { return ending_by_signal != 0; }

void signals_act() {
    int sig = signal_pending;
    if (in_fatal) return;  // a report is under way; it ends the process
    in_fatal = true;       // closing must not start a report of its own
    ending_by_signal = 1;
    const char* line = sig == SIGINT ? "Interrupt\n" : sig == SIGQUIT ? "Quit signal\n" : sig == SIGTERM ? "Killed\n" : "";
    write_all(2, line, std::strlen(line));
    units_close_all(true);
    if (sig == SIGQUIT) {
        std::signal(SIGABRT, SIG_DFL);
        std::abort();
    }
    if (sig == SIGINT || sig == SIGTERM) std::_Exit(1);
    // Any other: the signal itself, at its default action.
    set_default(sig);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    std::_Exit(128 + sig);
}
