// The conversion run: one pass over <base>.txt, one star per line.
//
// For every star, in this order: split the line; read the mass (column 1)
// and keep the mass range; read the evolution type (column 9) and count it;
// read columns 12, 13 (luminosity), 16 (absolute magnitude) and 19
// (temperature); classify; read the position (columns 2, 3, 4); write the
// catalogue entry unless the star is dead; tally the code. The first column
// that does not read under its form ends the run with the "fmt" report, so
// the order of the reads decides the report's "last format:" line. (Column
// 12 is read just before the position: the report cannot tell, since
// classification does not consult it and it shares its form with 13, 16
// and 19.)
//
// The pass runs in two halves joined by the hand-off ring: the reading half
// (lines, columns, classification, and column 12 and the position when the
// other half lags) on a thread of its own, the writing half (column 12 and
// the position otherwise, report lines, entries, tally, reports) on the
// main thread. The reading
// half has no visible effect: what it finds reaches the output only through
// the writing half, star by star in list order, so the output, the reports
// and what a signal leaves behind are those of the plain pass. Where no
// thread can be started, one thread does both halves by turns.
//
// With --binaries the writing half holds each star until the next star
// line is read: two consecutive stars that are bound (the pair rule of
// orbit.h, on columns 1 to 7) are written as a binary, and a star that the
// star before did not take is then tried with the one after it. A star
// whose next line ends the run is written as a single star before the
// report. The reading half then reads everything of every star itself,
// the velocities (columns 5 to 7) and column 1 again after the position,
// with the position's form.

#include "driver.h"

#include "catalogue.h"
#include "classify.h"
#include "input.h"
#include "orbit.h"
#include "stats.h"
#include "textio.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

namespace {

constexpr int ntypes_size = 21;  // evolution types 0 to 20
const char atypes[ntypes_size][11] = {
    "low mass  ", "main seq  ", "hertz gap ", "1st gnt br", "corehelium", "1st as.gnt", "2nd as.gnt",
    "m.seq.hel.", "hgap hel. ", "gnt.br hel", "hel wd    ", "co wd     ", "on wd     ", "neut. star",
    "black hole", "snr       ", "-         ", "-         ", "-         ", "-         ", "-         "};
constexpr int named_types = 16;  // types 0 to 15 appear in the summary

BaseName base;
ArgText prefix, ratext, dectext, disttext;
// The writing half's own settings: nothing it looks at with every star
// shares a cache line with the reading half's state.
bool members = false;   // --members: the member table beside the catalogue
bool faithful = false;  // --faithful, for the stars the writing half classifies
bool binaries = false;  // --binaries: bound pairs orbit

// ---------------------------------------------------------------- reading half

// Its state; the writing half looks at the mass range and type counts only
// once the reading half has finished. It changes with every star, so it
// fills cache lines of its own (the line cut by its type): a line shared
// with anything the writing half touches would pass between the two cores
// at every change. Beside it the reading half touches only constant tables,
// the ring's records and shared words, and the list reader's buffer and
// state, which fill their own lines too.
struct alignas(64) ReadingState {
    float mass_min = 1000000.0f, mass_max = 0.0f;
    std::int32_t nstar = 0;
    std::int32_t ktype = 0;
    int prev_ncols = 0;
    std::int32_t ntypes[ntypes_size] = {};
    bool by_turns_mode = false, table_layout = false;  // how it runs, looked at with every line
    bool faithful = false;   // --faithful: shining stars placed by their own light
    bool binaries = false;   // --binaries: every star read whole, velocities too
    std::int64_t lines = 0;  // lines of the list taken so far
} rs;
LineCut cut;  // the current line, cut into its columns in place
float& mass_min = rs.mass_min;
float& mass_max = rs.mass_max;
std::int32_t& nstar = rs.nstar;
// A column 9 that cannot be read leaves the type of the star before (0
// before any star had a readable type, or when that type lies outside 0 to
// 20).
std::int32_t& ktype = rs.ktype;
int& prev_ncols = rs.prev_ncols;  // columns of the line before, 0 before the first
std::int32_t (&ntypes)[ntypes_size] = rs.ntypes;  // stars of each type
// The list is a cluster generator's table (--table).
bool& table_layout = rs.table_layout;

// One real column under its form; false when the form refuses it.
inline bool read_f(int c, float& v) {
    FieldSpan s = column(cut, c);
    return rd_f_text(s.p, s.len, FIELD_LEN, 10, v);
}
inline bool read_d(int c, double& v) {
    FieldSpan s = column(cut, c);
    return rd_d_text(s.p, s.len, FIELD_LEN, 15, v);
}

// One star's line, cut into its columns, into its record: a star, or the
// refusal or cut that ends the run.
void read_star(StarRec& r) {
    r.nc = 0;
    r.shines = false;
    r.vel_refused = false;
    r.kind = REC_FMT;
    // A last line without its line feed and with fewer columns than the
    // line before is what is left of a list cut off while it was written:
    // no star, but the end of the run.
    if (!lr_line_ended() && !last_line_complete(cut.ncols, prev_ncols)) {
        r.kind = REC_CUT;
        return;
    }
    prev_ncols = cut.ncols;
    // A table's star line must reach column 19, the temperature: a table
    // written without stellar evolution (7 columns) would give every star
    // the code ????.
    if (table_layout && cut.ncols < 19) {
        r.kind = REC_SHORT;
        r.err = cut.ncols;
        return;
    }
    ++nstar;

    float mass = 0;
    r.fmt = "(f20.10)";
    if (!read_f(1, mass)) return;
    r.mass = mass;
    r.line = rs.lines;
    if (mass_min > mass) mass_min = mass;
    if (mass > mass_max) mass_max = mass;

    // The significant length of column 9's field text: its characters are
    // never blanks, so str_len of the text is len, or 1 when empty.
    FieldSpan c9 = column(cut, 9);
    int nc = c9.len > 0 ? c9.len : 1;
    if (nc == 1 || nc == 2) {
        r.fmt = nc == 1 ? "(i1)" : "(i2)";
        if (!rd_i(c9.len > 0 ? c9.p : " ", nc, ktype)) return;
    } else {
        r.nc = nc;  // the "nc = " line
        // No type of its own: the type of the star before, which must be
        // one of the table's 0 to 20 (a two-character column can hold -9 to
        // 99); 0 when it is not.
        if (ktype < 0 || ktype >= ntypes_size) ktype = 0;
    }
    // Types beyond the table are not counted; they are never shown in the
    // summary anyway.
    if (ktype >= 0 && ktype < ntypes_size) ++ntypes[ktype];

    // Columns 13, 16 and 19 and the classification, then column 12 and the
    // position: read here while the writing half lags behind (more than a
    // sixteenth, then an eighth of the ring waits for it), else left to it
    // as texts; the two halves then share the work whichever is slower on
    // this machine, and little is left for the writing half alone at the
    // end. Column 12 is read after the position's turn has come:
    // classification does not consult it, and a refusal of it reads the
    // same "(f20.10)" as one of columns 13, 16 or 19, while it must come
    // before one of the position's. A column's 20 characters from its start
    // are readable (at most 20 tabs precede them).
    r.type = ktype;
    r.nstar = nstar;
    const std::uint32_t backlog = ho_backlog();
    r.classified = rs.binaries || backlog > ho_capacity() / 16;
    r.pos_read = backlog > ho_capacity() / 8;
    // The columns from the text `from` on, left to the writing half.
    auto leave_texts = [&r](int from) {
        static constexpr int text_col[NTEXTS] = {13, 16, 19, 12, 2, 3, 4};
        for (int k = from; k < NTEXTS; ++k) {
            FieldSpan s = column(cut, text_col[k]);
            std::memcpy(r.f.text[k], s.p, FIELD_LEN);
            r.len[k] = static_cast<std::int8_t>(s.len);
        }
    };
    if (!r.classified) {
        leave_texts(T_LUM);
        r.kind = REC_STAR;
        return;
    }
    float col12 = 0, lum = 0, temp = 0;
    r.fmt = "(f20.10)";
    if (!read_f(13, lum) || !read_f(16, r.absmag) || !read_f(19, temp)) return;
    r.lum = lum;
    r.mv = r.absmag;
    r.temp = temp;
    if (rs.faithful) r.shines = faithful_type(lum, r.absmag, temp, ktype, r.code);
    else guess_type(nstar, mass, lum, r.absmag, col12, temp, ktype, r.code);
    // --binaries: the velocities and column 1 again, after the position in
    // the order of the reads: a refusal waits for column 12 and the
    // position, wherever they are read. (Column 1 has read already: the
    // position's form refuses none of what its form takes.)
    if (rs.binaries) {
        r.vel_refused = !read_d(5, r.f.pos.vel[0]) || !read_d(6, r.f.pos.vel[1]) || !read_d(7, r.f.pos.vel[2]);
        (void)read_d(1, r.f.pos.mass);
    }

    if (r.pos_read) {
        if (!read_f(12, col12)) return;
        r.fmt = "(d20.15)";
        if (!read_d(2, r.f.pos.xyz[0]) || !read_d(3, r.f.pos.xyz[1]) || !read_d(4, r.f.pos.xyz[2])) return;
        if (r.vel_refused) return;
    } else {
        leave_texts(T_C12);
    }
    r.kind = REC_STAR;
}

// A list whose first line begins with "#" (its first character that is not
// a blank or a tab) is most likely a cluster generator's table read without
// --table: any fatal report is then followed by a line that says so.
char table_hint[NAME_LEN + 128];


enum Step { STEP_STAR, STEP_WOULD_BLOCK, STEP_DONE };

// Both halves on the main thread, by turns: a read a signal interrupts
// acts on it there and then.
bool& by_turns_mode = rs.by_turns_mode;

// The next line into the ring (which has room). STEP_DONE once the last
// record (end, refusal or failed read) is in; STEP_WOULD_BLOCK when, unless
// may_block, the next line is not read yet.
Step read_step(bool may_block) {
    const char* text;
    int len, err = 0;
    int got;
    for (;;) {
        got = lr_take(text, len, err, may_block);
        if (got == LR_LINE) {
            if (++rs.lines == 1 && !table_layout && begins_with_hash(text, len)) io_fatal_hint(table_hint);
            // The line is cut in place, without copying: where fixtab would
            // put its tabs, or at the runs of separators of a table, whose
            // blank and comment lines hold no star.
            if (!table_layout) {
                split_line(text, len, cut);
                break;
            }
            split_table(text, len, cut);
            if (!table_skips(cut)) break;
            continue;
        }
        if (got != LR_ERROR || err != EINTR) break;
        // On its own thread the reading half sees no signal; the writing
        // half acts on them.
        if (by_turns_mode) signals_poll();
    }
    if (got == LR_WOULD_BLOCK) return STEP_WOULD_BLOCK;
    StarRec& r = ho_slot();
    if (got == LR_LINE) {
        read_star(r);
    } else {
        r.nc = 0;
        r.kind = got == LR_END ? REC_END : REC_READ;
        r.err = err;
    }
    ho_push();
    return r.kind == REC_STAR ? STEP_STAR : STEP_DONE;
}

// The reading half on its own thread: it never waits for input with records
// still unseen by the writing half.
void* reading_half(void*) {
    for (;;) {
        ho_wait_room();
        Step s = read_step(false);
        if (s == STEP_WOULD_BLOCK) {
            ho_publish();
            s = read_step(true);
        }
        if (s == STEP_DONE) break;
    }
    ho_publish();
    return nullptr;
}

// ---------------------------------------------------------------- writing half

void summary() {
    con_begin();
    con_text("Star Types");
    con_end();
    for (int k = 0; k < named_types; ++k) {
        con_begin();
        con_text(atypes[k], 10);
        con_int(ntypes[k]);
        con_end();
    }
    con_begin();
    con_text("mass min,max = ");
    con_real(mass_min);
    con_text(", ");
    con_real(mass_max);
    con_end();
}

// A real column the record carries as text, under its form.
inline bool read_text_f(const StarRec& r, int k, float& v) {
    return rd_f_text(r.f.text[k], r.len[k], FIELD_LEN, 10, v);
}

// One star, read and classified, as its entry, member line and tally take it.
struct Star {
    char code[6];
    bool lit;  // --faithful: the entry carries its temperature
    float absmag, lum, mv, temp;
    double pos[3];
    OrbBody body;  // --binaries
    std::int64_t line;
    std::int32_t type;
    float mass;
};

// One star's entry (unless it has none), member line and tally.
inline void write_single(const Star& s) {
    if (members) members_room();
    if (std::memcmp(s.code, "dead  ", 6) != 0)
        gen_stc(s.pos[0], s.pos[1], s.pos[2], s.code, s.absmag, ratext, dectext, disttext, base, prefix,
                s.lit ? &s.temp : nullptr);
    if (members)
        members_star(Member{s.line, s.code, s.type, s.mass, s.lum, s.mv, s.temp, s.pos[0], s.pos[1], s.pos[2]},
                     faithful, binaries);
    count_stype(s.code);
    signals_poll();
}

// --binaries: the star held until the next star line tells whether the two
// are a binary.
Star held;
bool holding = false;

// A binary: the two stars in list order, each with its member line and
// tally as a single star has them.
void write_pair(const Star& a, const Star& b, const OrbElements& el) {
    cat_pair(a.body, a.code, a.absmag, b.body, b.code, b.absmag, el, ratext, dectext, disttext, base, prefix);
    for (const Star* s : {&a, &b}) {
        if (members) members_room();
        gen_stc_pair(s->lit ? &s->temp : nullptr);
        if (members)
            members_star(Member{s->line, s->code, s->type, s->mass, s->lum, s->mv, s->temp, s->pos[0], s->pos[1],
                                s->pos[2]},
                         faithful, binaries);
        count_stype(s->code);
    }
    signals_poll();
}

// The held star, if any, as a single star: its next line ends the run.
inline void release_held() {
    if (!holding) return;
    holding = false;
    write_single(held);
}

// A star just read: with --binaries it waits for the next, or makes a
// binary with the one held, or sends the held one on alone and waits.
inline void take_star(const Star& s) {
    if (!binaries) {
        write_single(s);
        return;
    }
    if (!holding) {
        held = s;
        holding = true;
        return;
    }
    OrbRelative rel;
    OrbElements el;
    orb_relative(held.body, s.body, rel);
    if (orb_bound(held.body, s.body, rel) && orb_elements(rel, el)) {
        holding = false;
        write_pair(held, s, el);
        return;
    }
    write_single(held);
    held = s;
}

// A column of the record that its form refuses: the held star first, then
// the "fmt" report.
[[noreturn]] void refuse(const char* fmt) {
    release_held();
    io_internal(true, fmt);
    io_fatal_fmt();
}

// One record's effects; false at the end of the list.
bool write_star(const StarRec& r) {
    if (r.nc) {
        con_begin();
        con_text("nc = ");
        con_int(r.nc);
        con_end();
    }
    if (r.kind != REC_STAR) {
        release_held();
        if (r.kind == REC_END) return false;
        if (r.kind == REC_FMT) {
            io_internal(true, r.fmt);
            io_fatal_fmt();
        }
        io_external(UNIT_LIST, true, "(a)");
        io_current_unit(UNIT_LIST);
        if (r.kind == REC_CUT) io_fatal_msg("read", "the list ends inside a line");
        if (r.kind == REC_SHORT) {
            char msg[128];
            std::snprintf(msg, sizeof msg, "a star line of %d column%s; a table's star lines reach column 19, "
                          "the temperature", r.err, r.err == 1 ? "" : "s");
            io_fatal_msg("read", msg);
        }
        io_fatal_errno("read", r.err);
    }
    // What the reading half left: columns 13, 16 and 19 and the
    // classification, column 12, and the position, columns 2 to 4, read
    // last, in that order. After it the state a report from opening the
    // catalogue shows is that of the read of column 4.
    // (With --binaries the reading half has classified the star and read
    // its velocities.)
    Star s;
    s.absmag = r.absmag;
    s.lum = r.lum;
    s.mv = r.mv;
    s.temp = r.temp;
    s.lit = r.shines;
    if (!r.classified) {
        io_internal(true, "(f20.10)");
        if (!read_text_f(r, T_LUM, s.lum) || !read_text_f(r, T_MAG, s.absmag) || !read_text_f(r, T_TEMP, s.temp))
            refuse("(f20.10)");
        s.mv = s.absmag;
        const float col12 = 0;
        if (faithful) s.lit = faithful_type(s.lum, s.absmag, s.temp, r.type, s.code);
        else guess_type(r.nstar, r.mass, s.lum, s.absmag, col12, s.temp, r.type, s.code);
    } else {
        std::memcpy(s.code, r.code, sizeof s.code);
    }
    if (!r.pos_read) {
        float col12;
        io_internal(true, "(f20.10)");
        if (!read_text_f(r, T_C12, col12)) refuse("(f20.10)");
    }
    io_internal(true, "(d20.15)");
    if (r.pos_read) {
        std::memcpy(s.pos, r.f.pos.xyz, sizeof s.pos);
    } else {
        for (int k = 0; k < 3; ++k)
            if (!rd_d_text(r.f.text[T_X + k], r.len[T_X + k], FIELD_LEN, 15, s.pos[k])) refuse("(d20.15)");
        if (r.vel_refused) refuse("(d20.15)");
    }
    s.line = r.line;
    s.type = r.type;
    s.mass = r.mass;
    if (binaries) {
        s.body.m = r.f.pos.mass;
        std::memcpy(s.body.x, s.pos, sizeof s.body.x);
        std::memcpy(s.body.v, r.f.pos.vel, sizeof s.body.v);
    }
    take_star(s);
    return true;
}

// Every visible record; false once the end of the list was taken.
bool write_visible(bool wait) {
    while (const StarRec* r = ho_peek(wait)) {
        bool more = write_star(*r);
        ho_pop();
        if (!more) return false;
    }
    return true;
}

// Both halves on this thread, by turns: read until the ring is full or the
// next line must wait for input, then write what was read.
void by_turns() {
    by_turns_mode = true;
    for (;;) {
        Step s = ho_full() ? STEP_WOULD_BLOCK : read_step(false);
        if (s == STEP_WOULD_BLOCK) {
            ho_publish();
            write_visible(false);
            s = read_step(true);
        }
        if (s == STEP_DONE) break;
    }
    ho_publish();
    write_visible(false);
}

}  // namespace

void conversion_run(const Settings& settings) {
    get_args(base, prefix, ratext, dectext, disttext);
    if (settings.centre) {
        check_centre(settings.centre, prefix, settings.binaries);
        cat_set_centre(settings.centre);
    }
    table_layout = settings.table;
    rs.faithful = faithful = settings.faithful;
    rs.binaries = binaries = settings.binaries;
    members = settings.members;

    char listname[NAME_LEN];
    std::snprintf(listname, sizeof listname, "%s.txt", base);
    lr_open(listname);
    cat_begin(base);
    if (members) members_begin(base, settings.faithful, settings.binaries);
    std::snprintf(table_hint, sizeof table_hint,
                  "orblenz: %s begins with '#': a generator's table? convert it with --table\n", listname);

    // The reading half starts with the signals from outside blocked, so that
    // they reach this thread, which acts on them between stars; those a
    // fault raises stay with the thread that raised it.
    ho_reset();
    sigset_t all, old;
    sigfillset(&all);
    for (int sig : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&all, sig);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    pthread_t reader;
    bool threaded = pthread_create(&reader, nullptr, reading_half, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (threaded) {
        while (write_visible(true)) {
        }
        pthread_join(reader, nullptr);
    } else {
        by_turns();
    }

    lr_close();
    cat_close();
    summary();
    show_stypes();
    signals_poll();
    stop_run();
}
