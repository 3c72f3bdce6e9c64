// textio: the text conventions of orblenz.
//
// Everything the program shows a person or writes into a number field goes
// through here:
//   - console report lines on standard output (items without widths, the
//     80-column break rule, the real item form);
//   - the fixed-format numeric fields: reading F20.10, D20.15, D20.10, I1, I2
//     and writing D23.17, F7.2, F4.1, I6.6, I1;
//   - the I/O units (0 standard error, 3 star list, 4 catalogue, 5 standard
//     input, 6 standard output), the I/O state that the fatal I/O report
//     prints, the report itself, the silent stop and the signal endings.
//
// Field texts are fixed-length character arrays, blank padded, never
// NUL-terminated; their length travels beside them.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>

// ---------------------------------------------------------------- units

enum : int {
    UNIT_STDERR = 0,
    UNIT_LIST = 3,       // the star list <base>.txt
    UNIT_CATALOGUE = 4,  // the catalogue <base>.stc
    UNIT_STDIN = 5,
    UNIT_STDOUT = 6,
    UNIT_MAX = 8
};
// The longest file name a unit keeps, its terminator included: the system's
// own limit on a path (PATH_MAX), so that every name that can be opened is
// named whole in a report.
enum : int { NAME_LEN = 4096 };

// How an open unit is closed. `close` runs at the normal end, at a fatal
// report and at an interrupt: it writes what is complete and releases the
// file; with `fatal` set it must not start another fatal report. `cut` runs
// from a synchronous fatal signal handler and may only use async-signal-safe
// calls (write, ftruncate, close).
struct UnitCloser {
    void (*close)(bool fatal);
    void (*cut)();
};

// Make sure descriptors 0, 1 and 2 are open, first thing in the process:
// one that is closed is opened on /dev/null for reading only, so that no
// file opened later takes its number (and a report or a signal's line into
// the catalogue), while a write to it still fails as on a closed one.
void std_fds_open();
// Connect a unit: its file name (nullptr for none) and how to close it.
// Also the "open" statement of the I/O state: the current unit becomes this
// one and the fourth state word becomes "external".
void unit_open(int unit, const char* name, UnitCloser closer);
// The open failed: the unit keeps its name for the report but has no closer.
void unit_open_failed(int unit, const char* name);
// Give a unit its closer before its file is opened, without an "open"
// statement (the I/O state is left as it is): the closer then runs at
// every end of the run, whether the file was opened or not.
void unit_attach(int unit, UnitCloser closer);
// Forget a unit after its owner closed it.
void unit_closed(int unit);
// Close every open unit in unit order, then flush standard output.
// With `fatal` set, failures are ignored (a report is already under way).
void units_close_all(bool fatal);

// ---------------------------------------------------------------- I/O state

// Begin a formatted statement on a text variable (internal I/O), with its
// format text, e.g. io_internal(true, "(f20.10)") before a field read.
void io_internal(bool reading, const char* fmt);
// Begin a formatted sequential statement on an external unit; fmt is the
// format text, or "list io" for a console report statement.
void io_external(int unit, bool reading, const char* fmt);
// The unit that failed becomes the current unit (for failures found outside a
// statement, such as a flush at close).
void io_current_unit(int unit);

// The fatal I/O report, then the abnormal end (SIGABRT, exit status 134).
// Standard output is flushed first; the report goes to standard error; every
// open unit is closed with its complete lines written; SIGABRT's default
// action is restored so the abort handler prints nothing.
[[noreturn]] void io_fatal_errno(const char* ctx, int err);
[[noreturn]] void io_fatal_msg(const char* ctx, const char* msg);
// The "fmt" report for a field that does not read under its form.
[[noreturn]] void io_fatal_fmt();
// A line (with its line feed, a text that stays) written to standard error
// right after any fatal report, before the units are closed; nullptr for
// none.
void io_fatal_hint(const char* line);

// The four-line (or three-line) report text for the current state, as
// io_fatal_* would write it. For tests.
std::string io_report_text(const char* ctx, int err, const char* msg);
// Reset the I/O state to its start values. For tests.
void io_reset_state();

// ---------------------------------------------------------------- stops

// The silent stop: close every unit, flush standard output, exit status 0.
[[noreturn]] void stop_run();
// Close every unit, flush standard output, exit with `status` (usage error).
[[noreturn]] void stop_status(int status);

// Install the fatal-signal handlers: floating-point exception, abort, trace
// trap, quit (left ignored if ignored at start), interrupt (likewise) and
// termination; and every other signal whose default action ends the
// process (hangup, broken pipe, user signals, alarms, limits, ...), unless
// it was ignored or handled at start. Signals from outside only raise a
// flag; the run acts on it through signals_poll().
void signals_install();
// Pending signal from outside (the first one), or 0.
extern volatile std::sig_atomic_t signal_pending;
// Act on a pending signal: its line on standard error, every unit closed,
// then exit status 1 (interrupt, termination), abort (quit), or, for any
// other, the end by that same signal at its default action (128 + n).
void signals_act();
// Whether the run is ending by a signal (signals_act is under way): a unit's
// closer then says nothing of its own.
bool signal_ending();
inline void signals_poll() {
    if (signal_pending) signals_act();
}

// ---------------------------------------------------------------- console

// One console report statement: begin, items, end. Lines go to unit 6.
void con_begin();
void con_text(const char* s, std::size_t n);
void con_text(const char* s);  // a C string, all of its characters
void con_int(std::int32_t v);
void con_real(float v);
void con_end();
// Send console output into `sink` instead of standard output (nullptr
// restores standard output). For tests.
void con_capture(std::string* sink);
// Write raw bytes to standard output's buffer (no statement, no state).
void out_write(const char* s, std::size_t n);
// Write standard output's buffer out; a failure is the fatal "write" report.
void out_flush();

// The text of a real item with its two leading characters ("  0.5", " -2.25",
// "  1.E+10"); returns its length. `out` must hold 32 characters.
std::size_t real_item(float v, char* out);

// ---------------------------------------------------------------- fields

// Input forms. Each reads one field of `w` characters and returns whether it
// was accepted; on refusal the output is unchanged. The caller decides what a
// refusal means (the run makes it the "fmt" report).
//
// Reals (Fw.d, Dw.d): blanks ignored anywhere, optional sign, digits with an
// optional point, an optional exponent (E, e, D, d, or a sign alone, then
// digits), a comma ends the field; without a point the last d digits are the
// fraction. The value is the nearest double; rd_f rounds that to single.
bool rd_d(const char* f, int w, int d, double& v);
bool rd_f(const char* f, int w, int d, float& v);
// The same for a field given as its first len characters at p (len <= w),
// the rest blanks: the field need not be copied out of the line it is in.
// At least 16 characters must be readable at p, whatever len is.
bool rd_d_text(const char* p, int len, int w, int d, double& v);
bool rd_f_text(const char* p, int len, int w, int d, float& v);
// What a real field holds besides its value, for the check of a list: the
// same reading (the full rules) as rd_d_text, also telling whether a decimal
// point stands in the number and whether it has a digit other than zero.
struct RealShape {
    bool point;
    bool nonzero;
};
bool rd_shape(const char* p, int len, int w, int d, double& v, RealShape& shape);
// The whole text of a field longer than its form (len characters of any
// length), read by the full rules as one field of that width, for the check
// to tell what cutting it to its form's width drops: where the decimal point
// and the exponent (its letter, or the sign that stands for one) stand, and
// where the reading stopped (a comma, or len); -1 where a part is missing.
struct RealParts {
    int point_at, exp_at, end_at;
};
bool rd_whole(const char* p, int len, int d, double& v, RealParts& where);
// Integers (Iw): leading blanks, optional sign, digits with blanks ignored,
// a comma ends the field; blanks or a sign alone read as 0.
bool rd_i(const char* f, int w, std::int32_t& v);

// Output forms; each writes exactly its width, no terminator.
void wr_d23_17(double v, char* out);            // 23 characters
void wr_f(float v, int w, int d, char* out);    // Fw.d: F7.2, F4.1
void wr_i6_6(std::int32_t v, char* out);        // 6 characters
void wr_i1(std::int32_t v, char* out);          // 1 character
// The shortest text that reads back as the same value, byte for byte what
// std::to_chars(out, end, v) writes without a format (at most 32
// characters); returns its end.
char* wr_shortest(double v, char* out);
char* wr_shortest(float v, char* out);
