// The check of a member list: every line through the conversion's reader,
// splitting and column reads, in the conversion's order, with a finding
// wherever what is read differs from what the list most likely means.

#include "check.h"

#include "classify.h"
#include "input.h"
#include "orbit.h"
#include "textio.h"

#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The kinds of finding, in the order the summary names them: errors (what
// stops a conversion), warnings (what it reads otherwise than meant), notes
// (what it does as the list means it, but a reader may not expect).
enum Kind {
    K_REFUSED,    // error: a field the conversion refuses
    K_CUT_OFF,    // error: the list ends inside its last line
    K_SHORT_STOP, // error: a table's star line without the columns up to 19
    K_NO_POINT,
    K_EMPTY,
    K_NCOLS,
    K_LONG_FIELD,
    K_LONG_LINE,
    K_TYPE_LEN,
    K_TYPE_RANGE,
    K_NOT_FINITE,
    K_NO_TEMP,
    K_CR,
    K_BYTE,
    K_SHORT,      // a plain list's star line without the columns up to 19
    // Properties of the whole list, reported once after the lines.
    K_NBODY,      // the masses add up to 1
    K_ALL_DARK,   // no star gets an entry
    K_NO_STARS,   // not a single star line
    K_DARK_SHINING,  // note: shining stars with the generator's no-magnitude mark
    K_PAIRS,         // note: bound pairs of consecutive stars, which --binaries makes orbit
    NKINDS
};
constexpr int first_warning = K_NO_POINT;
constexpr int first_list_kind = K_NBODY;
constexpr int first_note = K_DARK_SHINING;
const char* const kind_names[NKINDS] = {
    "field not read",          "list cut off",        "too few columns",  "no decimal point",
    "empty column",            "column count",        "field cut",        "line cut",
    "evolution type not read", "unknown evolution type", "not finite",    "no temperature",
    "carriage return",         "byte not printable",  "too few columns",  "N-body units",
    "all dark",                "no star lines",       "no magnitude",     "bound pairs",
};
const char* severity(int k) { return k < first_warning ? "error" : k < first_note ? "warning" : "note"; }
constexpr long shown_per_kind = 10;

long counts[NKINDS];
char listname[NAME_LEN];
long lineno = 0;

// What the columns the conversion reads hold, and the form each is read with.
const char* quantity(int c) {
    switch (c) {
        case 1: return "mass";
        case 2: return "x";
        case 3: return "y";
        case 4: return "z";
        case 5: return "vx";
        case 6: return "vy";
        case 7: return "vz";
        case 9: return "evolution type";
        case 12: return "radius, not used";
        case 13: return "luminosity";
        case 16: return "absolute magnitude";
        default: return "temperature";
    }
}

void put(const char* s) { out_write(s, std::strlen(s)); }

// A finding's line: its head (where and how grave), then fmt's text.
void emit(char* text, std::size_t size, int n, const char* fmt, va_list ap) {
    std::vsnprintf(text + n, size - static_cast<std::size_t>(n), fmt, ap);
    put(text);
    put("\n");
}

// One finding: "<list>:LINE:CHAR: warning: <text>" (CHAR 1-based).
void finding(Kind k, long col, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void finding(Kind k, long col, const char* fmt, ...) {
    if (++counts[k] > shown_per_kind) return;
    char text[NAME_LEN + 1024];
    int n = std::snprintf(text, sizeof text, "%s:%ld:%ld: %s: ", listname, lineno, col, severity(k));
    va_list ap;
    va_start(ap, fmt);
    emit(text, sizeof text, n, fmt, ap);
    va_end(ap);
}

// A finding about the whole list, once, after those of its lines:
// "<list>: warning: <text>".
void list_finding(Kind k, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void list_finding(Kind k, const char* fmt, ...) {
    ++counts[k];
    char text[NAME_LEN + 1024];
    int n = std::snprintf(text, sizeof text, "%s: %s: ", listname, severity(k));
    va_list ap;
    va_start(ap, fmt);
    emit(text, sizeof text, n, fmt, ap);
    va_end(ap);
}

// A field's characters for a message, quoted, at most 40 of them, with
// bytes that are not printable written as \xHH. Two at a time can be in use.
const char* quoted(const char* p, int len) {
    static char texts[2][4 * 40 + 8];
    static int which = 0;
    char* q = texts[which ^= 1];
    int n = 0;
    q[n++] = '"';
    for (int i = 0; i < len && i < 40; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c < 32 || c >= 127 || c == '"' || c == '\\')
            n += std::snprintf(q + n, sizeof texts[0] - static_cast<std::size_t>(n), "\\x%02X", c);
        else
            q[n++] = static_cast<char>(c);
    }
    if (len > 40) {
        std::memcpy(q + n, "...", 3);
        n += 3;
    }
    q[n++] = '"';
    q[n] = '\0';
    return q;
}

// The first byte of the line's first nl characters outside printable ASCII
// (a tab is a separator; a carriage return at the end has a finding of its
// own); -1 when there is none.
int first_odd_byte(const char* p, int nl) {
    int i = 0;
#if defined(__SSE2__)
    // Sixteen at a time: a byte below the blank (bytes from 128 on count as
    // negative) other than the tab, or DEL.
    const __m128i blank = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), del = _mm_set1_epi8(127);
    for (; i + 16 <= nl; i += 16) {
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i odd = _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(b, tab), _mm_cmplt_epi8(b, blank)),
                                   _mm_cmpeq_epi8(b, del));
        if (int m = _mm_movemask_epi8(odd)) return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < nl; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if ((c < 32 && c != '\t') || c >= 127) return i;
    }
    return -1;
}

// The state the conversion carries from star to star.
int first_ncols = -1;        // the first star line's column count
int prev_ncols = 0;          // the star line before's, 0 before the first
std::int32_t ktype = 0;      // the type kept for a column 9 that cannot be read
long stars = 0;
long stop_line = 0;          // the line at which the conversion stops, 0 while it goes on
long lines_with_empty = 0;   // star lines holding an empty column among 1 to 19
double mass_sum = 0;         // of the masses read
long dark = 0;               // stars whose code is "dead": no entry
long dark_shining = 0;       // of them, types 0 to 12 with T > 0 and L > 0
bool first_line_comment = false;
bool faithful = false;       // judged as --faithful converts: every shining star has an entry
bool binaries = false;       // judged as --binaries converts: the velocities are read
// Bound pairs of consecutive star lines, taken in list order as --binaries
// takes them: a star that the star before did not take waits for the next.
long pairs = 0;
bool holding = false;
OrbBody held;
// The first empty column of the current line (NCOLS + 1 when none): the
// columns after it have moved, so what they hold is no finding of its own.
int shifted_after = NCOLS + 1;

// Whether a warning about column c stands on its own.
bool own(int c) { return c <= shifted_after; }

void long_field(int c, long at, const FieldSpan& s, int chars) {
    finding(K_LONG_FIELD, at, "column %d (%s) %s has %d characters: only the first %d are read, %s", c, quantity(c),
            quoted(s.p, chars), chars, FIELD_LEN, quoted(s.p, s.len));
}

// Whether cutting a real column of chars characters (more than FIELD_LEN)
// changes what the conversion reads beyond the precision of its form: the
// cut value v against the value of the whole text. Always when the cut
// drops a digit before the decimal point, the point itself or any part of
// an exponent, or hides a text that is no number; else, when the dropped
// characters are digits of the fraction, for the single-precision columns
// when the two single-precision values differ, for the positions when they
// differ by more than 1e-12 relative (a double, the catalogue's 17 digits
// and the planetarium's single-precision positions show nothing smaller).
// point_cut tells whether the point was among what the cut dropped.
bool cut_matters(const FieldSpan& s, int chars, int d, bool single, double v, bool& point_cut) {
    double whole;
    RealParts at;
    point_cut = false;
    if (!rd_whole(s.p, chars, d, whole, at)) return true;
    if (at.end_at <= FIELD_LEN) return false;  // a comma ends the number within the cut
    point_cut = at.point_at >= FIELD_LEN;
    if (at.point_at < 0 || point_cut || at.exp_at >= 0) return true;
    if (single) return static_cast<float>(whole) != static_cast<float>(v);
    return std::fabs(v - whole) > 1e-12 * std::fabs(whole);
}

// A real column under its form (d implied decimals, float or double as the
// conversion reads it): findings for a cut that matters, a refusal, a
// missing point or a value that is not finite; false when refused. With
// `as_double`, the value read as a double whenever the field has a decimal
// point (then the form's implied decimals do not count), else left alone.
bool real_column(const LineCut& cut, int c, int d, bool single, double& v, double* as_double = nullptr) {
    FieldSpan s = column(cut, c);
    const long at = cut.starts[c] + 1;
    const int chars = column_chars(cut, c);
    RealShape shape{false, false};
    if (!rd_shape(s.p, s.len, FIELD_LEN, d, v, shape)) {
        if (chars > FIELD_LEN && own(c)) long_field(c, at, s, chars);
        finding(K_REFUSED, at, "column %d (%s) %s is not a number under the form (%s): the conversion stops here with the \"fmt\" report",
                c, quantity(c), quoted(s.p, s.len), d == 10 ? "f20.10" : "d20.15");
        return false;
    }
    if (as_double && shape.point) *as_double = v;
    if (single) v = static_cast<float>(v);
    if (!own(c)) return true;
    bool point_cut = false;
    if (chars > FIELD_LEN && cut_matters(s, chars, d, single, v, point_cut)) long_field(c, at, s, chars);
    if (!std::isfinite(v))
        finding(K_NOT_FINITE, at, "column %d (%s) %s reads as %s", c, quantity(c), quoted(s.p, s.len),
                std::isnan(v) ? "not a number" : v < 0 ? "minus infinity" : "infinity");
    else if (!shape.point && shape.nonzero && !point_cut)  // a point cut off: the cut's finding says it
        finding(K_NO_POINT, at, "column %d (%s) %s has no decimal point: read as %G", c, quantity(c),
                quoted(s.p, s.len), v);
    return true;
}

// One star's line (nl characters of it in the buffer): its columns in the
// order the conversion reads them.
void check_star(const LineCut& cut, int nl, bool table) {
    ++stars;
    const long stops_before = counts[K_REFUSED] + counts[K_SHORT_STOP];
    // An empty column among 1 to 19 within the line (two separators in a
    // row, or one at the start): the columns after it move one place on,
    // and the line has a column more. A table's runs of separators hold none.
    shifted_after = NCOLS + 1;
    for (int c = 1; !table && c < NCOLS; ++c) {
        if (column_chars(cut, c) != 0 || cut.ends[c] >= nl) continue;
        ++lines_with_empty;
        shifted_after = c;
        finding(K_EMPTY, cut.starts[c] + 1, "column %d is empty (%s): every later column moves one place on", c,
                c == 1 ? "the line begins with a separator" : "two separators in a row");
        break;
    }
    // Without the columns up to the temperature (a table written without
    // stellar evolution has 7) the star is read with zeros for the rest: in
    // a table that is the end of the conversion. What the missing columns
    // would hold is no finding of its own.
    const bool short_line = cut.ncols < 19;
    if (short_line) {
        if (table && stop_line)
            finding(K_SHORT_STOP, 1, "the line has %d column%s; the conversion reads columns up to 19, the "
                    "temperature, and has stopped at line %ld before it: was the table written with stellar "
                    "evolution?", cut.ncols, cut.ncols == 1 ? "" : "s", stop_line);
        else if (table)
            finding(K_SHORT_STOP, 1, "the line has %d column%s; the conversion reads columns up to 19, the "
                    "temperature, and stops here: was the table written with stellar evolution?",
                    cut.ncols, cut.ncols == 1 ? "" : "s");
        else
            finding(K_SHORT, 1, "the line has %d column%s; the conversion reads columns up to 19, the temperature: "
                    "was the table written with stellar evolution?", cut.ncols, cut.ncols == 1 ? "" : "s");
        if (shifted_after > cut.ncols) shifted_after = cut.ncols;
    }
    if (first_ncols < 0) first_ncols = cut.ncols;
    else if (cut.ncols != first_ncols && shifted_after > NCOLS && !short_line)
        finding(K_NCOLS, 1, "the line has %d columns, the first line %d", cut.ncols, first_ncols);

    // Column 1 also as --binaries reads it, with the position's form.
    double v, mass_d = -1;
    bool ok = real_column(cut, 1, 10, true, v, &mass_d);
    const float mass = static_cast<float>(v);
    if (ok) mass_sum += mass;

    FieldSpan c9 = column(cut, 9);
    const int nc = c9.len > 0 ? c9.len : 1;
    const long at9 = cut.starts[9] + 1;
    if (nc == 1 || nc == 2) {
        std::int32_t k = ktype;
        if (!rd_i(c9.len > 0 ? c9.p : " ", nc, k)) {
            ok = false;
            finding(K_REFUSED, at9, "column 9 (evolution type) %s is not a number under the form (i%d): the conversion stops here with the \"fmt\" report",
                    quoted(c9.p, c9.len), nc);
        } else {
            ktype = k;
            if ((k < 0 || k > 15) && own(9))
                finding(K_TYPE_RANGE, at9, "column 9 (evolution type) %s is not one of the types 0 to 15", quoted(c9.p, c9.len));
        }
    } else {
        // As the conversion: the type of the star before, when it is one of 0 to 20.
        if (ktype < 0 || ktype > 20) ktype = 0;
        if (own(9))
            finding(K_TYPE_LEN, at9, "column 9 (evolution type) %s is not one or two characters: the type of the star before (%d) is used",
                quoted(c9.p, column_chars(cut, 9)), ktype);
    }

    double col12, lum, mag, temp;
    ok &= real_column(cut, 12, 10, true, col12);
    ok &= real_column(cut, 13, 10, true, lum);
    ok &= real_column(cut, 16, 10, true, mag);
    const bool temp_ok = real_column(cut, 19, 10, true, temp);
    if (ok && temp_ok) {
        float fl = static_cast<float>(lum), fm = static_cast<float>(mag), f12 = static_cast<float>(col12),
              ft = static_cast<float>(temp);
        char code[6];
        std::int32_t nstar = static_cast<std::int32_t>(stars);
        if (faithful) faithful_type(fl, fm, ft, ktype, code);
        else guess_type(nstar, mass, fl, fm, f12, ft, ktype, code);
        if (std::memcmp(code, "dead", 4) == 0) {
            ++dark;
            if (ktype >= 0 && ktype <= 12 && ft > 0 && fl > 0) ++dark_shining;
        }
        // A shining star of a type that takes its class from the temperature,
        // without a temperature to take it from.
        if (ktype <= 9 && std::memcmp(code, "????", 4) == 0 && own(19)) {
            FieldSpan t = column(cut, 19);
            finding(K_NO_TEMP, cut.starts[19] + 1, "column 19 (temperature) %s%s: the star, which shines, gets the code ????",
                    t.len ? quoted(t.p, t.len) : "is empty", t.len ? " is 0 K or below" : ", read as 0 K");
        }
    }
    // The position and, for the pair rule, the velocities (read, with their
    // findings, only when --binaries reads them) and column 1 again, all
    // with the position's form.
    OrbBody body;
    bool body_ok = true;
    for (int c = 2; c <= 4; ++c) body_ok &= real_column(cut, c, 15, false, body.x[c - 2]);
    for (int c = 5; c <= 7; ++c) {
        if (binaries) {
            body_ok &= real_column(cut, c, 15, false, body.v[c - 5]);
        } else {
            FieldSpan sv = column(cut, c);
            body_ok &= rd_d_text(sv.p, sv.len, FIELD_LEN, 15, body.v[c - 5]);
        }
    }
    body.m = mass_d;
    if (mass_d < 0) {
        FieldSpan sm = column(cut, 1);
        body_ok &= rd_d_text(sm.p, sm.len, FIELD_LEN, 15, body.m);
    }
    if (stop_line) return;
    if (counts[K_REFUSED] + counts[K_SHORT_STOP] > stops_before) {
        stop_line = lineno;
        return;
    }
    if (holding && body_ok) {
        OrbRelative rel;
        OrbElements el;
        orb_relative(held, body, rel);
        if (orb_bound(held, body, rel) && orb_elements(rel, el)) {
            ++pairs;
            holding = false;
            return;
        }
    }
    holding = body_ok;
    held = body;
}

// "orblenz: <what> <list>: <reason>" on standard error.
int cannot(const char* what, int err) {
    out_flush();
    char line[NAME_LEN + 256];
    int len = std::snprintf(line, sizeof line, "orblenz: cannot %s %s: %s\n", what, listname, std::strerror(err));
    if (::write(2, line, static_cast<std::size_t>(len)) < 0) return 2;
    return 2;
}

void summary(bool table, const char* base, int baselen) {
    char text[2 * NAME_LEN + 1024];
    for (int k = 0; k < NKINDS; ++k) {
        if (counts[k] <= shown_per_kind) continue;
        std::snprintf(text, sizeof text, "%s: ... and %ld more like this (%s)\n", listname,
                      counts[k] - shown_per_kind, kind_names[k]);
        put(text);
    }

    // What the whole list holds. Masses that add up to 1 are the N-body
    // units of a generator (McLuster's -u 0), whose lengths the conversion
    // takes for parsecs. The generator writes M_V 9999.9 for every star it
    // has no colours for: shining stars that the dark test leaves out, as
    // the generator means it, so a note.
    if (stars > 10 && std::fabs(mass_sum - 1.0) <= 0.001)
        list_finding(K_NBODY, "the masses add up to %.3f: the list looks like N-body units; positions are read as "
                     "parsecs (write the table in physical units, McLuster's -u 1)", mass_sum);
    if (stars > 0 && dark == stars)
        list_finding(K_ALL_DARK, "every star is dark: the conversion writes no catalogue");
    // A list whose only line is cut off has its own finding already.
    if (stars == 0 && !counts[K_CUT_OFF])
        list_finding(K_NO_STARS, "no star lines: the conversion writes no catalogue");
    if (dark_shining == 1)
        list_finding(K_DARK_SHINING, "1 star that shines (types 0-12, T > 0, L > 0) has a magnitude that makes it "
                     "dark and gets no entry: McLuster writes 9999.9 for stars it has no colours for (below 3000 K "
                     "or above 55000 K). --faithful gives that star an entry");
    else if (dark_shining > 1)
        list_finding(K_DARK_SHINING, "%ld stars that shine (types 0-12, T > 0, L > 0) have a magnitude that makes "
                     "them dark and get no entry: McLuster writes 9999.9 for stars it has no colours for (below "
                     "3000 K or above 55000 K). --faithful gives those stars an entry", dark_shining);
    if (pairs == 1)
        list_finding(K_PAIRS, "1 pair of consecutive star lines is a bound binary (1/2 |dv|^2 < G (m1 + m2) / |dr|, "
                     "columns 1 to 7 in Msun, pc and km/s): --binaries makes it orbit its barycenter in the planetarium");
    else if (pairs > 1)
        list_finding(K_PAIRS, "%ld pairs of consecutive star lines are bound binaries (1/2 |dv|^2 < G (m1 + m2) / |dr|, "
                     "columns 1 to 7 in Msun, pc and km/s): --binaries makes them orbit their barycenters in the "
                     "planetarium", pairs);

    long totals[3] = {0, 0, 0};  // errors, warnings, notes
    for (int k = 0; k < NKINDS; ++k) totals[k < first_warning ? 0 : k < first_note ? 1 : 2] += counts[k];
    int n = std::snprintf(text, sizeof text, "%s: %ld lines, %ld stars: ", listname, lineno, stars);
    // "N errors (kind n, ...)": a kind of the whole list is named alone.
    auto list = [&](long total, const char* word, int from, int to) {
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%ld %s%s", total, word,
                           total == 1 ? "" : "s");
        if (total == 0) return;
        const char* sep = " (";
        for (int k = from; k < to; ++k) {
            if (!counts[k]) continue;
            n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%s%s", sep, kind_names[k]);
            if (k < first_list_kind)
                n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " %ld", counts[k]);
            sep = ", ";
        }
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ")");
    };
    list(totals[0], "error", 0, first_warning);
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ", ");
    list(totals[1], "warning", first_warning, first_note);
    if (totals[2]) {
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ", ");
        list(totals[2], "note", first_note, NKINDS);
    }
    put(text);
    put("\n");
    // The layout of a cluster generator's table, read as a plain list.
    const bool all_empty = stars > 0 && lines_with_empty == stars;
    if (!table && (first_line_comment || all_empty)) {
        std::snprintf(text, sizeof text,
                      "%s: %s%s%s: if it is a cluster generator's table, read it with --table: orblenz --check --table %.*s\n",
                      listname, first_line_comment ? "the first line begins with \"#\"" : "",
                      first_line_comment && all_empty ? " and " : "",
                      all_empty ? "every line holds an empty column" : "", baselen, base);
        put(text);
    }
}

}  // namespace

int check_list(const char* base, bool table, bool faithful_, bool binaries_) {
    faithful = faithful_;
    binaries = binaries_;
    const int n = std::snprintf(listname, sizeof listname, "%s.txt", base) - 4;
    if (int err = lr_try_open(listname)) return cannot("open", err);
    LineCut cut;
    for (;;) {
        const char* p;
        int len, err = 0;
        int got = lr_take(p, len, err, true);
        if (got == LR_ERROR) {
            if (err == EINTR) {
                signals_poll();
                continue;
            }
            return cannot("read", err);
        }
        if (got == LR_END) break;
        ++lineno;
        signals_poll();
        const int nl = len < LINE_LEN ? len : LINE_LEN;
        if (table) {
            split_table(p, len, cut);
            if (table_skips(cut)) continue;
        } else {
            split_line(p, len, cut);
            if (lineno == 1) first_line_comment = begins_with_hash(p, len);
        }
        // What is left of a list cut off while it was written: no star,
        // and the end of a conversion.
        if (!lr_line_ended() && !last_line_complete(cut.ncols, prev_ncols)) {
            finding(K_CUT_OFF, len + 1, "the list ends inside this line, %d columns into it: it was cut off, and the conversion stops here",
                    cut.ncols);
            break;
        }
        prev_ncols = cut.ncols;
        check_star(cut, nl, table);
        const bool cr = len > 0 && p[len - 1] == '\r';
        if (len > LINE_LEN)
            finding(K_LONG_LINE, LINE_LEN + 1, "the line has more than %d characters: the rest of it is not read",
                    LINE_LEN);
        int odd = first_odd_byte(p, cr && len - 1 < nl ? len - 1 : nl);
        if (odd >= 0)
            finding(K_BYTE, odd + 1, "byte 0x%02X is not printable ASCII",
                    static_cast<unsigned>(static_cast<unsigned char>(p[odd])));
        if (cr)
            finding(K_CR, len, "the line ends in a carriage return (a Windows line end): it stays in the last column");
    }
    lr_close();
    summary(table, base, n);
    out_flush();
    // Notes leave the status alone.
    for (int k = 0; k < first_note; ++k)
        if (counts[k]) return 1;
    return 0;
}
