// The conversion run: one pass over <base>.txt, one star per line.
//
// For every star, in this order: split the line; read the mass (column 1)
// and keep the mass range; read the evolution type (column 9) and count it;
// read columns 12, 13 (luminosity), 16 (absolute magnitude) and 19
// (temperature); classify; read the position (columns 2, 3, 4); write the
// catalogue entry unless the star is dead; tally the code. The first column
// that does not read under its form ends the run with the "fmt" report, so
// the order of the reads decides the report's "last format:" line.

#include "driver.h"

#include "catalogue.h"
#include "classify.h"
#include "input.h"
#include "stats.h"
#include "textio.h"

#include <cstring>

namespace {

constexpr int ntypes_size = 21;  // evolution types 0 to 20
std::int32_t ntypes[ntypes_size];
const char atypes[ntypes_size][11] = {
    "low mass  ", "main seq  ", "hertz gap ", "1st gnt br", "corehelium", "1st as.gnt", "2nd as.gnt",
    "m.seq.hel.", "hgap hel. ", "gnt.br hel", "hel wd    ", "co wd     ", "on wd     ", "neut. star",
    "black hole", "snr       ", "-         ", "-         ", "-         ", "-         ", "-         "};
constexpr int named_types = 16;  // types 0 to 15 appear in the summary

ArgText base, prefix, ratext, dectext, disttext;
SpanTable cols;  // columns 1 to 20 of the current line, in place

// One real column under its form; a refusal is the "fmt" report. The I/O
// state that report shows is set only when it is made: no other report can
// come between two reads.
inline float read_f(int c) {
    float v = 0;
    if (!rd_f_text(cols[c - 1].p, cols[c - 1].len, FIELD_LEN, 10, v)) {
        io_internal(true, "(f20.10)");
        io_fatal_fmt();
    }
    return v;
}
inline double read_d(int c) {
    double v = 0;
    if (!rd_d_text(cols[c - 1].p, cols[c - 1].len, FIELD_LEN, 15, v)) {
        io_internal(true, "(d20.15)");
        io_fatal_fmt();
    }
    return v;
}

void summary(float mass_min, float mass_max) {
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

}  // namespace

void conversion_run() {
    get_args(base, prefix, ratext, dectext, disttext);

    char listname[FIELD_LEN + 5];
    int n = str_len(base, FIELD_LEN);
    std::memcpy(listname, base, static_cast<std::size_t>(n));
    std::memcpy(listname + n, ".txt", 5);
    lr_open(listname);

    float mass_min = 1000000.0f, mass_max = 0.0f;
    std::int32_t nstar = 0;
    // A column 9 that cannot be read leaves the type of the star before
    // (0 before any star had a readable type, or when that type lies
    // outside 0 to 20).
    std::int32_t ktype = 0;
    float mass, col12, lum, absmag, temp;
    double x, y, z;
    char code[6];

    const char* text;
    int len;
    while (lr_next_span(text, len)) {
        ++nstar;
        // The line is cut where fixtab would put its tabs, without copying.
        split_line(text, len, cols);

        mass = read_f(1);
        if (mass_min > mass) mass_min = mass;
        if (mass > mass_max) mass_max = mass;

        // The significant length of column 9's field text: its characters
        // are never blanks, so str_len of the text is len, or 1 when empty.
        const FieldSpan& c9 = cols[8];
        int nc = c9.len > 0 ? c9.len : 1;
        if (nc == 1 || nc == 2) {
            if (!rd_i(c9.len > 0 ? c9.p : " ", nc, ktype)) {
                io_internal(true, nc == 1 ? "(i1)" : "(i2)");
                io_fatal_fmt();
            }
        } else {
            con_begin();
            con_text("nc = ");
            con_int(nc);
            con_end();
            // No type of its own: the type of the star before, which must be
            // one of the table's 0 to 20 (a two-character column can hold
            // -9 to 99); 0 when it is not.
            if (ktype < 0 || ktype >= ntypes_size) ktype = 0;
        }
        // Types beyond the table (a two-character column holds -9 to 99)
        // are not counted; they are never shown in the summary anyway.
        if (ktype >= 0 && ktype < ntypes_size) ++ntypes[ktype];

        col12 = read_f(12);
        lum = read_f(13);
        absmag = read_f(16);
        temp = read_f(19);

        guess_type(nstar, mass, lum, absmag, col12, temp, ktype, code);

        x = read_d(2);
        y = read_d(3);
        z = read_d(4);

        // The last statement was the read of column 4: the state a report
        // from opening the catalogue shows.
        io_internal(true, "(d20.15)");
        if (std::memcmp(code, "dead  ", 6) != 0)
            gen_stc(x, y, z, code, absmag, ratext, dectext, disttext, base, prefix);

        count_stype(code);

        signals_poll();
    }

    lr_close();
    cat_close();
    summary(mass_min, mass_max);
    show_stypes();
    signals_poll();
    stop_run();
}
