// Fuzz target: one star record line's way through the program.
//
// The input is cut into lines at its line feeds. Each line (cut to 512
// characters, padded with blanks) goes through what the conversion run does
// with a line: fixtab, extr_tab_fields, the column reads (F20.10 on columns
// 1, 12, 13, 16, 19; I1 or I2 on column 9 by its significant length; D20.15
// on columns 2, 3, 4), guess_type, the catalogue entry line (stc_entry, also
// after the sky placement round trip) and the spectral type tally
// (count_stype). Nothing may crash, and these must hold:
//   - fixtab turns exactly the blanks into tabs;
//   - extr_tab_fields gives the same 21 fields as the plain work-text
//     algorithm (find the tab, take the field, shift the rest to the front),
//     and split_line the same columns 1 to 20 in place, which read the same
//     through rd_d_text and rd_f_text as through rd_d and rd_f;
//   - str_len is the position of the last non-blank character, or 1;
//   - guess_type scales the magnitude by 0.95f and leaves six printable
//     characters in the code;
//   - a star whose coordinates or magnitude are not finite gets no entry
//     line (stc_entry writes nothing);
//   - any other entry line has its fixed pieces in place and one line feed
//     at its end; its number fields, and the output forms on their own
//     (D23.17, F7.2, F4.1, I6.6, I1, also on raw bit patterns from the
//     line), are what a plain writer built on printf's digits gives, except
//     that in the entry a three-digit exponent keeps its letter E and a
//     magnitude too wide for F7.2 below zero is its whole "%.2f" text;
//   - an entry line the run could write (a prefix the run accepts, a
//     magnitude that does not make the star dark) is one the planetarium
//     loads: the strict reader of tests/stc_reader.h reads it;
//   - two consecutive lines (and two bodies of raw bit patterns) that the
//     pair rule of --binaries binds have elements in their ranges, and the
//     orbiting entries of both stars are lines the strict reader reads;
//   - count_stype counts a known code, adds a new one, and refuses a new one
//     when the table is full, with the report line (the table is filled on
//     purpose every 16384 inputs; otherwise it restarts at 256 codes, to keep
//     the searches short).
// The whole input is also read through the line reader from a memory file,
// which must deliver the same lines.
//
// Console output goes into a string (con_capture), never to standard output.

#include "catalogue.h"
#include "classify.h"
#include "input.h"
#include "stats.h"
#include "textio.h"

#include "ref_forms.h"
#include "stc_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

std::string console;  // captured console lines
unsigned long inputs = 0;

[[noreturn]] void fail(const char* what, const char* line, std::size_t n) {
    std::fprintf(stderr, "fuzz_line: %s\nline (%zu bytes, hex):", what, n);
    for (std::size_t i = 0; i < n && i < LINE_LEN; ++i)
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(line[i]));
    std::fprintf(stderr, "\n");
    __builtin_trap();
}

// Significant length, written plainly.
int ref_str_len(const char* s, int len) {
    for (int i = len; i >= 1; --i)
        if (s[i - 1] != ' ') return i;
    return 1;
}

// The field table by the work-text algorithm, step by step.
void ref_fields(const LineBuf& line, FieldTable& out) {
    char work[LINE_LEN];
    std::memcpy(work, line, LINE_LEN);
    for (int i = 0; i < 20; ++i) {
        int k = 0;  // 1-based position of the first tab, 0 if none
        for (int p = 0; p < LINE_LEN; ++p)
            if (work[p] == '\t') {
                k = p + 1;
                break;
            }
        std::memset(out[i], ' ', FIELD_LEN);
        if (k > 0) {
            int len = k - 1 < FIELD_LEN ? k - 1 : FIELD_LEN;
            std::memcpy(out[i], work, static_cast<std::size_t>(len));
            char moved[LINE_LEN];
            std::memset(moved, ' ', LINE_LEN);
            std::memcpy(moved, work + k, static_cast<std::size_t>(LINE_LEN - k));
            std::memcpy(work, moved, LINE_LEN);
        }
    }
    std::memcpy(out[20], work, FIELD_LEN);
}

bool same_float(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    if (a == 0.0f && b == 0.0f) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

float float_at(const char* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[noreturn]] void fail_field(const char* form, const char* got, const char* want, int w, double v,
                             const char* line, std::size_t n) {
    std::fprintf(stderr, "fuzz_line: %s of %a (%.17g): library \"%.*s\", plain \"%.*s\"\n", form, v, v, w, got, w,
                 want);
    fail("output field disagrees", line, n);
}

// The output forms on their own, against the plain writers.
void check_out_forms(double v, float f, std::int32_t i, const char* line, std::size_t n) {
    char got[23], want[23];
    wr_d23_17(v, got);
    ref_d23_17(v, want);
    if (std::memcmp(got, want, 23) != 0) fail_field("D23.17", got, want, 23, v, line, n);
    wr_f(f, 7, 2, got);
    ref_f(f, 7, 2, want);
    if (std::memcmp(got, want, 7) != 0) fail_field("F7.2", got, want, 7, f, line, n);
    wr_f(f, 4, 1, got);
    ref_f(f, 4, 1, want);
    if (std::memcmp(got, want, 4) != 0) fail_field("F4.1", got, want, 4, f, line, n);
    wr_i6_6(i, got);
    if (i >= 0 && i <= 999999) std::snprintf(want, sizeof want, "%06d", static_cast<int>(i));
    else std::memcpy(want, "******", 6);
    if (std::memcmp(got, want, 6) != 0) fail_field("I6.6", got, want, 6, i, line, n);
    wr_i1(i, got);
    want[0] = i >= 0 && i <= 9 ? static_cast<char>('0' + i) : '*';
    if (got[0] != want[0]) fail_field("I1", got, want, 1, i, line, n);
}

// Check one entry line made by stc_entry.
void check_entry(const char* prefix, int lenc, std::int64_t num, double ra, double dec, double dist,
                 const char* code, int n, float absmag, const char* line, std::size_t lsize) {
    const std::size_t cap = 200 + static_cast<std::size_t>(lenc);
    char* out = static_cast<char*>(std::malloc(cap));  // exactly what the writer may use
    int len = stc_entry(out, prefix, lenc, num, ra, dec, dist, code, n, absmag);
    if (!(std::isfinite(ra) && std::isfinite(dec) && std::isfinite(dist) && std::isfinite(absmag))) {
        if (len != 0) fail("an entry line for a star that is not finite", line, lsize);
        std::free(out);
        return;
    }
    if (len <= 0 || static_cast<std::size_t>(len) > cap) fail("entry line of an impossible length", line, lsize);
    if (out[len - 1] != '\n') fail("entry line does not end with a line feed", line, lsize);
    if (std::memchr(out, '\n', static_cast<std::size_t>(len - 1))) fail("line feed inside an entry line", line, lsize);

    int digits = 6;
    if (num > 999999) {
        digits = 0;
        for (std::int64_t v = num; v > 0; v /= 10) ++digits;
    }

    // The fixed pieces, in order, and the fields between them.
    const char* p = out;
    auto expect = [&](const char* lit) {
        std::size_t k = std::strlen(lit);
        if (std::memcmp(p, lit, k) != 0) fail("entry piece out of place", line, lsize);
        p += k;
    };
    auto field = [&](bool coord, double v) {  // a number field, as the plain writer has it
        char want[64];
        int w = coord ? 23 : 7;
        if (coord) {
            ref_d23_17(v, want);
            if (want[19] != 'E') {  // three exponent digits: the letter kept
                std::memmove(want + 20, want + 19, 4);
                want[19] = 'E';
                w = 24;
            }
        } else {
            ref_f(static_cast<float>(v), 7, 2, want);
            if (want[0] == '*' && v < 0) w = std::snprintf(want, sizeof want, "%.2f", v);
        }
        if (std::memcmp(p, want, static_cast<std::size_t>(w)) != 0)
            fail_field(coord ? "D23.17 in an entry" : "F7.2 in an entry", p, want, w, v, line, lsize);
        p += w;
    };
    expect(" Star \"");
    if (std::memcmp(p, prefix, static_cast<std::size_t>(lenc)) != 0) fail("prefix not in place", line, lsize);
    p += lenc;
    for (int i = 0; i < digits; ++i)
        if (!((p[i] >= '0' && p[i] <= '9') || (digits == 6 && p[i] == '*')))
            fail("entry number not digits", line, lsize);
    p += digits;
    expect("\" {RA ");
    field(true, ra);
    expect(" Dec ");
    field(true, dec);
    expect(" Distance ");
    field(true, dist);
    expect(" SpectralType \"");
    if (std::memcmp(p, code, static_cast<std::size_t>(n)) != 0) fail("code not in place", line, lsize);
    p += n;
    expect("\" AbsMag ");
    field(false, static_cast<double>(absmag));
    expect(" }\n");
    if (p != out + len) fail("entry pieces do not add up", line, lsize);

    // A prefix the run refuses, or a magnitude that makes the star dark,
    // never reaches the catalogue.
    bool written = absmag <= 9000.0f;
    for (int i = 0; i < lenc; ++i) written = written && stc_reader::name_char_ok(static_cast<unsigned char>(prefix[i]));
    if (written) {
        if (const char* fault = stc_reader::entry_fault(out, static_cast<std::size_t>(len))) {
            std::fprintf(stderr, "fuzz_line: %s:\n%.*s", fault, len, out);
            fail("an entry the planetarium would not load", line, lsize);
        }
    }
    std::free(out);
}

// Count one code and check what the tally did with it.
void count_checked(const char* code, const char* line, std::size_t lsize) {
    std::int32_t before_n = ctyp.nused;
    std::int32_t at = 0;
    for (std::int32_t i = 1; i <= ctyp.nused && !at; ++i) {
        // A plain loop, not memcmp: the fuzzer's memcmp hook is slow.
        const char* e = ctyp.names[i - 1];
        if (e[0] == code[0] && e[1] == code[1] && e[2] == code[2] && e[3] == code[3] && e[4] == code[4]) at = i;
    }
    std::int32_t before_c = at ? ctyp.counts[at - 1] : 0;
    std::size_t before_console = console.size();
    count_stype(code);
    if (at) {
        if (ctyp.nused != before_n || ctyp.counts[at - 1] != before_c + 1) fail("known code not counted", line, lsize);
    } else if (before_n >= CTYP_SIZE) {
        if (ctyp.nused != before_n) fail("full table grew", line, lsize);
        static const char msg[] = " too many spectral types, not counted: ";
        if (console.compare(before_console, sizeof msg - 1, msg) != 0) fail("no refusal line", line, lsize);
    } else {
        if (ctyp.nused != before_n + 1 || ctyp.counts[ctyp.nused - 1] != 1 ||
            std::memcmp(ctyp.names[ctyp.nused - 1], code, 5) != 0)
            fail("new code not added", line, lsize);
    }
}

std::int32_t ktype = 0;  // the evolution type held from the star before
constexpr std::int32_t table_restart = 256;

// --binaries: the star of the line before, as the run holds it.
OrbBody held;
bool holding = false;

// A pair the rule binds is written as orbits in range that load.
void check_orbit(const OrbBody& a, const OrbBody& b, const char* prefix, int lenc, const char* code, float absmag,
                 const char* data, std::size_t size) {
    OrbRelative rel;
    OrbElements el;
    orb_relative(a, b, rel);
    if (!orb_bound(a, b, rel) || !orb_elements(rel, el)) return;
    if (!(el.e >= 0 && el.e < 1 && el.incl >= 0 && el.incl <= 180 && el.node >= 0 && el.node < 360 && el.peri >= 0 &&
          el.peri < 360 && el.anomaly >= 0 && el.anomaly < 360))
        fail("orbital elements out of range", data, size);
    // As for a plain entry: only a prefix the run accepts and a finite
    // magnitude that leaves the star an entry reach the catalogue.
    bool written = std::isfinite(absmag) && absmag <= 9000.0f;
    for (int i = 0; i < lenc; ++i) written = written && stc_reader::name_char_ok(static_cast<unsigned char>(prefix[i]));
    char line[1024];
    for (bool first : {true, false}) {
        int len = stc_orbit_entry(line, prefix, lenc, 1, "P_B000001", 9, el, a.m, b.m, first, code, str_len(code, 5),
                                  absmag, nullptr);
        if (!written) continue;
        if (const char* fault = stc_reader::entry_fault(line, static_cast<std::size_t>(len))) {
            std::fprintf(stderr, "fuzz_line: %s:\n%.*s", fault, len, line);
            fail("an orbiting entry the strict reader refuses", data, size);
        }
    }
}

void one_line(const char* data, std::size_t size) {
    LineBuf line;
    std::size_t n = size < static_cast<std::size_t>(LINE_LEN) ? size : static_cast<std::size_t>(LINE_LEN);
    std::memset(line, ' ', LINE_LEN);
    std::memcpy(line, data, n);
    LineBuf orig;
    std::memcpy(orig, line, LINE_LEN);

    fixtab(line);
    for (int i = 0; i < LINE_LEN; ++i)
        if (line[i] != (orig[i] == ' ' ? '\t' : orig[i])) fail("fixtab changed the wrong character", data, size);

    FieldTable fld, ref;
    std::memset(fld, 'Z', sizeof fld);
    extr_tab_fields(line, fld);
    ref_fields(line, ref);
    for (int i = 0; i < NFIELDS; ++i) {
        if (std::memcmp(fld[i], ref[i], FIELD_LEN) != 0) fail("extr_tab_fields disagrees", data, size);
        if (str_len(fld[i], FIELD_LEN) != ref_str_len(fld[i], FIELD_LEN)) fail("str_len disagrees", data, size);
    }
    // The in-place cut of the run: the same field texts for columns 1 to
    // 20, and every column reads the same in place as from its text.
    {
        static char place[LINE_LEN + LINE_SLACK];
        std::memset(place, 'x', sizeof place);  // after the line: no separator
        std::memcpy(place, data, n);
        LineCut cut;
        split_line(place, static_cast<int>(size < 100000 ? size : 100000), cut);
        for (int i = 0; i < NCOLS; ++i) {
            char text[FIELD_LEN];
            FieldSpan c = column(cut, i + 1);
            span_text(c, text);
            if (std::memcmp(text, fld[i], FIELD_LEN) != 0) fail("split_line disagrees", data, size);
            double a = 1, b = 2;
            float fa = 1, fb = 2;
            bool oka = rd_d(fld[i], FIELD_LEN, 15, a), okb = rd_d_text(c.p, c.len, FIELD_LEN, 15, b);
            if (oka != okb || (oka && std::memcmp(&a, &b, sizeof a) != 0)) fail("rd_d_text disagrees", data, size);
            oka = rd_f(fld[i], FIELD_LEN, 10, fa);
            okb = rd_f_text(c.p, c.len, FIELD_LEN, 10, fb);
            if (oka != okb || (oka && std::memcmp(&fa, &fb, sizeof fa) != 0)) fail("rd_f_text disagrees", data, size);
        }
    }
    auto col = [&](int c) { return fld[c - 1]; };

    // The column reads, as the run does them; a refused column leaves 0.
    float mass = 0, col12 = 0, lum = 0, absmag = 0, temp = 0;
    double x = 0, y = 0, z = 0;
    (void)rd_f(col(1), FIELD_LEN, 10, mass);
    int nc = str_len(col(9), FIELD_LEN);
    if (nc == 1 || nc == 2) {
        std::int32_t k = ktype;
        if (rd_i(col(9), nc, k)) ktype = k;
    } else {
        con_begin();
        con_text("nc = ");
        con_int(nc);
        con_end();
    }
    (void)rd_f(col(12), FIELD_LEN, 10, col12);
    (void)rd_f(col(13), FIELD_LEN, 10, lum);
    (void)rd_f(col(16), FIELD_LEN, 10, absmag);
    (void)rd_f(col(19), FIELD_LEN, 10, temp);
    (void)rd_d(col(2), FIELD_LEN, 15, x);
    (void)rd_d(col(3), FIELD_LEN, 15, y);
    (void)rd_d(col(4), FIELD_LEN, 15, z);

    // Classification: once with the columns, once with raw bit patterns
    // from the line (NaNs, infinities, subnormals, any type number).
    char code[6];
    char code2[6];
    const std::int32_t nstar = 1;
    {
        float m_in = absmag;
        guess_type(nstar, mass, lum, absmag, col12, temp, ktype, code);
        if (!same_float(absmag, m_in * 0.95f)) fail("magnitude not scaled by 0.95f", data, size);
        for (char c : code)
            if (c < 32 || c > 126) fail("unprintable character in the code", data, size);
    }
    float rl = float_at(orig), rm = float_at(orig + 4), rt = float_at(orig + 8);
    std::int32_t rk = static_cast<signed char>(orig[12]);
    {
        float m_in = rm;
        guess_type(nstar, mass, rl, rm, col12, rt, rk, code2);
        if (!same_float(rm, m_in * 0.95f)) fail("magnitude not scaled by 0.95f (raw)", data, size);
        for (char c : code2)
            if (c < 32 || c > 126) fail("unprintable character in the code (raw)", data, size);
    }

    // Console items with the values read and the raw ones.
    con_begin();
    con_text("mass min,max = ");
    con_real(mass);
    con_text(", ");
    con_real(rl);
    con_real(rm);
    con_real(rt);
    con_int(rk);
    con_end();
    {
        char* item = static_cast<char*>(std::malloc(32));
        std::size_t ilen = real_item(rt, item);
        if (ilen < 3 || ilen > 32) fail("real item length out of range", data, size);
        std::free(item);
    }

    // Catalogue entry lines: the prefix is a field text of 20 characters.
    const char* prefix = col(5);
    int lenc = str_len(prefix, FIELD_LEN);
    std::uint64_t u;
    std::memcpy(&u, orig + 16, sizeof u);
    std::int64_t num;
    switch (u % 4) {
        case 0: num = static_cast<std::int64_t>(u % 1000000); break;              // the usual six digits
        case 1: num = static_cast<std::int64_t>(u % 1000000000000000ULL); break;  // past 999999
        case 2: num = -static_cast<std::int64_t>(u % 1000); break;
        default: num = 999999 + static_cast<std::int64_t>(u % 3); break;
    }
    int nc1 = str_len(code, 5);
    check_entry(prefix, lenc, num, x, y, z, code, nc1, absmag, data, size);
    double X, Y, Z, ra, dec, dist;
    sph2cart(x, y, z, X, Y, Z);
    cart2sph(X, Y, Z, ra, dec, dist);
    check_entry(prefix, lenc, num, ra, dec, dist, code2, str_len(code2, 5), rm, data, size);
    // Raw bit patterns from the line: every exponent, subnormals, NaNs.
    double r1, r2, r3;
    std::memcpy(&r1, orig + 24, 8);
    std::memcpy(&r2, orig + 32, 8);
    std::memcpy(&r3, orig + 40, 8);
    check_entry(prefix, lenc, num, r1, r2, r3, code2, str_len(code2, 5), float_at(orig + 48), data, size);
    std::int32_t ri;
    std::memcpy(&ri, orig + 52, 4);
    check_out_forms(r1, float_at(orig + 48), ri, data, size);
    check_out_forms(x, mass, ktype, data, size);
    check_out_forms(static_cast<double>(float_at(orig + 56)), float_at(orig + 60), static_cast<std::int32_t>(u % 23) - 3,
                    data, size);

    // Binaries: this line's star with the one before, and two raw bodies.
    OrbBody body{}, raw[2];
    (void)rd_d(col(1), FIELD_LEN, 15, body.m);
    body.x[0] = x, body.x[1] = y, body.x[2] = z;
    for (int k = 0; k < 3; ++k) (void)rd_d(col(5 + k), FIELD_LEN, 15, body.v[k]);
    if (holding) check_orbit(held, body, prefix, lenc, code, absmag, data, size);
    held = body;
    holding = true;
    std::memcpy(raw, orig + 64, sizeof raw);
    check_orbit(raw[0], raw[1], prefix, lenc, code, absmag, data, size);

    // The tally: the code, and a five-byte key from the line's rest.
    count_checked(code, data, size);
    count_checked(col(21), data, size);
    // A long table makes every count a long search: start again now and then.
    if (ctyp.nused >= table_restart) ctyp_reset();
}

// Fill the table to the last entry with new codes, then one more new code
// must be refused with the report line, and known codes still count.
void fill_table() {
    std::uint32_t tag = 0;
    char key[5];
    auto next_key = [&] {
        key[0] = '\x01';  // distinct keys (a line's key may match one: then it counts)
        std::memcpy(key + 1, &tag, 4);
        ++tag;
    };
    while (ctyp.nused < CTYP_SIZE) {
        next_key();
        count_checked(key, "", 0);
    }
    next_key();
    count_checked(key, "", 0);
    count_checked(ctyp.names[CTYP_SIZE - 1], "", 0);
    ctyp_reset();
}

// The line reader over the whole input must deliver the same lines.
void check_reader(const std::uint8_t* data, std::size_t size, const std::vector<std::pair<std::size_t, std::size_t>>& lines) {
    int fd = memfd_create("fuzz_line", 0);
    if (fd < 0) return;  // no memory files here: skip this check
    std::size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, data + done, size - done);
        if (w <= 0) {
            ::close(fd);
            return;
        }
        done += static_cast<std::size_t>(w);
    }
    ::lseek(fd, 0, SEEK_SET);
    lr_attach_fd(fd, "fuzz_line.txt");
    LineBuf buf;
    std::size_t i = 0;
    while (lr_next(buf)) {
        if (i >= lines.size()) fail("reader delivered an extra line", reinterpret_cast<const char*>(data), size);
        LineBuf want;
        std::memset(want, ' ', LINE_LEN);
        std::size_t len = lines[i].second < static_cast<std::size_t>(LINE_LEN) ? lines[i].second : LINE_LEN;
        std::memcpy(want, data + lines[i].first, len);
        if (std::memcmp(buf, want, LINE_LEN) != 0)
            fail("reader delivered a different line", reinterpret_cast<const char*>(data + lines[i].first), lines[i].second);
        ++i;
    }
    if (i != lines.size()) fail("reader lost a line", reinterpret_cast<const char*>(data), size);
    lr_close();  // closes fd
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    con_capture(&console);
    ctyp_reset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ++inputs;
    console.clear();
    ktype = 0;
    holding = false;

    // Lines: each ends at a line feed; a last piece without one is a line
    // as well (the reader delivers it).
    std::vector<std::pair<std::size_t, std::size_t>> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '\n') {
            lines.emplace_back(start, i - start);
            start = i + 1;
        }
    if (start < size) lines.emplace_back(start, size - start);

    for (const auto& l : lines) {
        // Each line in a heap block of its own size: reads past it are caught.
        char* copy = static_cast<char*>(std::malloc(l.second ? l.second : 1));
        std::memcpy(copy, data + l.first, l.second);
        one_line(copy, l.second);
        std::free(copy);
    }

    check_reader(data, size, lines);

    if (inputs % 16384 == 0) fill_table();
    // Now and then the whole report of the tally (it sorts the table).
    if (inputs % 64 == 0) {
        show_stypes();
        if (console.find(" # spec. types=") == std::string::npos)
            fail("no totals line in the tally report", "", 0);
        console.clear();
    }
    return 0;
}
