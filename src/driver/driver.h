// driver: the process start, the command line and the conversion run.
//
// `get_args` fetches the five arguments (the base name whole, then the
// star-name prefix, right ascension, declination and distance into
// 20-character field texts) and gives
// the two-line usage message (exit status 2) when one is missing or blank;
// `fix_float` gives a number without a decimal point one ("45" -> "45.0").
// `conversion_run` makes the one pass over <base>.txt and never returns.
//
// Options come before the arguments: --check, --table, --faithful,
// --members, --binaries, --centre NAME (or --centre=NAME), --help (-h),
// --version, and -- to end them.
#pragma once

#include <cstdint>

#include "textio.h"

using ArgText = char[20];
// The base name of the list and the catalogue: the whole first argument,
// its trailing blanks removed, NUL-terminated; room for ".txt" behind it.
using BaseName = char[NAME_LEN - 4];

// What the options ask for.
struct Settings {
    bool check = false;     // check <base>.txt for traps; write no file
    bool table = false;     // the list is a cluster generator's table
    bool faithful = false;  // every shining star gets an entry at its own temperature and brightness
    bool members = false;   // write <base>.tsv: which star became which entry
    bool binaries = false;  // bound pairs of consecutive stars orbit their barycenters
    const char* centre = nullptr;  // the cluster's name, for its barycenter line; nullptr for none
};

// Read the options and keep the arguments after them for get_args. --help
// and --version print their text and end the process with status 0; an
// unknown option is a usage error (a line naming it, status 2).
Settings parse_command_line(int argc, char** argv);
// Keep the argument vector (the program name first) for get_args.
void keep_args(int argc, char** argv);
// The base name alone, for --check: a usage error when it is missing.
void get_base(BaseName& base);
void get_args(BaseName& base, ArgText& prefix, ArgText& ratext, ArgText& dectext, ArgText& disttext);
void fix_float(ArgText& s);
// The cluster's name for --centre, held to the rules of a name the
// planetarium finds (UTF-8, at most 100 bytes, none of " \ : / or a control
// character, and not a star's name: the prefix followed only by digits); a
// name refused is a usage error. With --binaries it may not be a
// barycenter's name either: the prefix, "B" and digits.
void check_centre(const char* name, const ArgText& prefix, bool binaries = false);

[[noreturn]] void conversion_run(const Settings& settings);

// ---------------------------------------------------------------- hand-off
//
// The run has two halves: reading (lines, columns, mass range, type counts,
// classification) and writing (report lines, catalogue entries, the
// spectral type tally, signals). Every visible effect is the writing half's,
// in star order; the reading half tells it what each star gives.
enum RecKind : std::uint8_t {
    REC_STAR,  // a star: its entry (unless dead) and its code to tally
    REC_END,   // end of the list
    REC_FMT,   // a column refused under the form in fmt: the "fmt" report
    REC_READ,  // the list could not be read (err): the "read" report
    REC_CUT,   // the list ends inside a line: the "read" report
    REC_SHORT  // a table's star line without the columns up to 19 (err of them): the "read" report
};
// The columns a star's record can carry as texts, for the writing half to
// read: in the order they are read.
enum RecText { T_LUM, T_MAG, T_TEMP, T_C12, T_X, T_Y, T_Z, NTEXTS };
struct StarRec {
    // Columns 13, 16 and 19 and the classification, and column 12 (read
    // only to be checked) with the position (columns 2, 3, 4, parsecs from
    // the centre), are the reading half's work while the writing half lags
    // (classified, pos_read); else their texts are left to the writing half,
    // which then has the time. A text is its first len characters. With
    // --binaries the star is always classified here, and its velocities and
    // column 1 again are read here too, in the room of the texts of columns
    // 13 and 16.
    union {
        char text[NTEXTS][20];
        struct {
            double vel[3];  // --binaries: columns 5 to 7, km/s, with the position's form
            double mass;    // --binaries: column 1 with the position's form
            char head[T_X * 20 - 32];
            double xyz[3];  // pos_read
        } pos;
    } f;
    std::int8_t len[NTEXTS];
    bool classified;   // columns 13, 16, 19 read and the star classified
    bool pos_read;     // column 12 and the position read (classified too)
    bool vel_refused;  // --binaries, not pos_read: a velocity the form refused, reported after the position
    bool shines;       // --faithful: the entry carries the star's own temperature
    float absmag;      // absolute magnitude, as classification leaves it
    std::int32_t nc;   // the "nc = " line to print first (column 9's length), or 0
    // What the member table shows of the star: columns 1, 13, 16 (as read)
    // and 19, the evolution type used, the star's line in the list; and its
    // number among the stars.
    float mass, lum, mv, temp;
    std::int32_t type, nstar;
    std::int64_t line;
    const char* fmt;   // REC_FMT
    int err;           // REC_READ
    char code[6];
    RecKind kind;
};

// A ring of StarRec with one writer (the reading half) and one reader (the
// writing half). The reading half fills ho_slot() and calls ho_push();
// pushed records become visible in batches, and all of them at ho_publish().
// ho_wait_room() waits while the ring is full; ho_full() tells whether it is.
// The writing half takes ho_peek() (nullptr when nothing is visible, unless
// it waits; a pending signal is acted on while waiting) and ho_pop().
void ho_reset();
StarRec& ho_slot();
void ho_push();
void ho_publish();
bool ho_full();
void ho_wait_room();
// Records pushed but not yet taken, as the reading half last saw it.
std::uint32_t ho_backlog();
// The ring's capacity in records.
std::uint32_t ho_capacity();
const StarRec* ho_peek(bool wait);
void ho_pop();
