// The member table <base>.tsv (--members): which star of the list became
// which catalogue entry, and what the conversion read from its line.
//
// It is written beside the catalogue under the same rules, and the two are
// written out together, at the same star: whatever stops the run, the
// table holds a line for every star up to the catalogue's last entry and no
// line of a star whose entry the catalogue lacks. A write that fails part
// way through one of them cuts both back to the last star both hold.

#include "catalogue.h"

#include "input.h"
#include "textio.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// The format text the fatal report shows for a failed write of the table.
constexpr const char* members_fmt = "(a)";
// Room one line needs: fifteen numbers and texts of at most 48 characters.
constexpr std::size_t member_room = 1024;

char tbuf[1 << 20];
OutFile tsv(UNIT_MEMBERS, tbuf, sizeof tbuf);
bool on = false;

const char header[] = "line\tentry\tcode\ttype\tmass\tL\tM_V\tT\tx\ty\tz\tRA\tDec\tDistance\tAbsMag";

inline char* put(char* p, const char* s, std::size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}

inline char* put_int(char* p, std::int64_t v) {
    return std::to_chars(p, p + 24, v).ptr;
}


// The end of a text of the entry line that starts at p: the next blank.
inline const char* word_end(const char* p) {
    while (*p != ' ') ++p;
    return p;
}
// The end of a coordinate at p: 23 characters, 24 with an exponent of
// three digits.
inline const char* coord_end(const char* p) { return p + (p[23] == ' ' ? 23 : 24); }

// An entry's own texts, tab-separated, without the padding: name, then
// (at `tail`) RA, Dec, Distance, AbsMag and, when it has one, Temperature.
// The entry is
//  Star "<name>" {RA <ra> Dec <dec> Distance <dist> SpectralType "<code>" AbsMag <mag>[ Temperature <t>] }
// or, for a star of a binary, whose place is e.place,
//  Star "<name>" {OrbitBarycenter "<bary>" SpectralType "<code>" AbsMag <mag> [Temperature <t> ]EllipticalOrbit {..} }
char* put_entry_texts(char* p, const LastEntry& e, char*& tail, bool with_temperature) {
    const char* q = e.line + 7;  // after ` Star "`
    const char* end = static_cast<const char*>(std::memchr(q, '"', static_cast<std::size_t>(e.len)));
    p = put(p, q, static_cast<std::size_t>(end - q));
    const char* after_place = nullptr;
    if (e.place) {
        after_place = end + sizeof "\" {OrbitBarycenter \"" - 1;
        while (*after_place != '"') ++after_place;
        ++after_place;
    }
    char* t = tail;
    q = e.place ? e.place : end + 6;  // after `" {RA `
    for (std::size_t skip : {sizeof " Dec " - 1, sizeof " Distance " - 1, std::size_t{0}}) {
        *t++ = '\t';
        end = coord_end(q);
        t = put(t, q, static_cast<std::size_t>(end - q));
        q = end + skip;
    }
    if (after_place) q = after_place;
    q += sizeof " SpectralType \"" - 1;
    while (*q != '"') ++q;
    q += sizeof "\" AbsMag " - 1;
    while (*q == ' ') ++q;
    *t++ = '\t';
    end = word_end(q);
    t = put(t, q, static_cast<std::size_t>(end - q));
    if (with_temperature) {
        *t++ = '\t';
        if (std::memcmp(end, " Temperature ", 13) == 0) {
            q = end + 13;
            end = word_end(q);
            t = put(t, q, static_cast<std::size_t>(end - q));
        }
    }
    tail = t;
    return p;
}

// Each file's bytes since the two were last written out together begin at
// this place in it.
inline off_t batch_start(const OutFile& f) { return f.on_disk - static_cast<off_t>(f.done); }

// After a write of either file failed: both cut back to the last star both
// hold in whole lines. Each batch is still in its buffer; the table's lines
// with an entry take the catalogue's lines in turn.
void cut_back(OutFile& cat) {
    const char* cp = cat.buf;
    const char* ce = cat.buf + (cat.good - batch_start(cat));
    const bool cat_first = batch_start(cat) == 0;
    if (cat_first && ce > cp && std::memcmp(cp, "Barycenter", 10) == 0)
        cp = static_cast<const char*>(std::memchr(cp, '\n', static_cast<std::size_t>(ce - cp))) + 1;
    const char* first_entry = cp;
    const char* cat_keep = cp;
    const char* tp = tsv.buf;
    const char* te = tsv.buf + (tsv.good - batch_start(tsv));
    if (batch_start(tsv) == 0 && te > tp)  // the header
        tp = static_cast<const char*>(std::memchr(tp, '\n', static_cast<std::size_t>(te - tp))) + 1;
    const char* tsv_keep = tp;
    while (tp < te) {
        const char* nl = static_cast<const char*>(std::memchr(tp, '\n', static_cast<std::size_t>(te - tp)));
        const char* tab = static_cast<const char*>(std::memchr(tp, '\t', static_cast<std::size_t>(nl - tp)));
        if (tab && tab[1] != '\t') {  // a star with an entry: the catalogue's next line
            // After its pair's barycenter line, when it is the pair's first entry.
            const char* q = cp;
            if (ce - q > 11 && std::memcmp(q, " Barycenter", 11) == 0)
                q = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(ce - q))) + 1;
            if (q >= ce) break;
            cp = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(ce - q))) + 1;
            cat_keep = cp;
        }
        tp = nl + 1;
        tsv_keep = tp;
    }
    // A catalogue without an entry holds no barycenter line either.
    if (cat_first && cat_keep == first_entry) cat_keep = cat.buf;
    if (cat.regular) cat.good = batch_start(cat) + (cat_keep - cat.buf);
    if (tsv.regular) tsv.good = batch_start(tsv) + (tsv_keep - tsv.buf);
}

[[noreturn]] void fail(const char* ctx, int err) {
    io_current_unit(UNIT_MEMBERS);
    io_fatal_errno(ctx, err);
}

}  // namespace

void members_begin(const char* base, bool with_temperature, bool with_barycenter) {
    on = true;
    if (with_barycenter) cat_keep_places();
    std::snprintf(tsv.name, sizeof tsv.name, "%s.tsv", base);
    // Closed with the catalogue, by its closer: unit 4's.
    of_open(tsv, UnitCloser{nullptr, nullptr});
    io_external(UNIT_MEMBERS, false, members_fmt);
    if (tsv.read_only) fail("write start", tsv.read_only_err);
    char* p = put(tsv.buf, header, sizeof header - 1);
    if (with_temperature) p = put(p, "\tTemperature", 12);
    if (with_barycenter) p = put(p, "\tbarycenter", 11);
    *p++ = '\n';
    tsv.blen = static_cast<std::size_t>(p - tsv.buf);
}

void members_room() {
    LastEntry& e = cat_last_entry();
    e.num = 0;
    e.bary = e.place = nullptr;
    if (cat_room() >= entry_room && tsv.cap - tsv.blen >= member_room) return;
    if (!cat_flush_with(tsv, members_fmt)) fail("write", errno);
}

void members_star(const Member& m, bool with_temperature, bool with_barycenter) {
    char* p = tsv.buf + tsv.blen;
    p = put_int(p, m.line);
    *p++ = '\t';
    const LastEntry& e = cat_last_entry();
    // The entry's texts go to the end of the line: kept aside meanwhile.
    char tail[256];
    char* t = tail;
    if (e.num) p = put_entry_texts(p, e, t, with_temperature);
    else t = put(t, with_temperature ? "\t\t\t\t\t" : "\t\t\t\t", with_temperature ? 5 : 4);
    *p++ = '\t';
    p = put(p, m.code, static_cast<std::size_t>(str_len(m.code, 5)));
    *p++ = '\t';
    p = put_int(p, m.type);
    for (float v : {m.mass, m.lum, m.mv, m.temp}) {
        *p++ = '\t';
        p = std::to_chars(p, p + 32, v).ptr;
    }
    for (double v : {m.x, m.y, m.z}) {
        *p++ = '\t';
        p = wr_shortest(v, p);
    }
    p = put(p, tail, static_cast<std::size_t>(t - tail));
    if (with_barycenter) {
        *p++ = '\t';
        if (e.bary) p = put(p, e.bary, std::strlen(e.bary));
    }
    *p++ = '\n';
    tsv.blen = static_cast<std::size_t>(p - tsv.buf);
}

void members_close(bool fatal, OutFile* cat, const char*& ctx, int& err, int& unit) {
    if (!on || tsv.fd < 0) return;
    if (!tsv.read_only) {
        if (!fatal) io_external(UNIT_MEMBERS, false, members_fmt);
        if (!of_flush(tsv, fatal) && !ctx) {
            ctx = "write";
            err = errno;
            unit = UNIT_MEMBERS;
        }
        if (cat && (cat->failed || tsv.failed)) cut_back(*cat);
        if (tsv.regular && ::ftruncate(tsv.fd, tsv.good) != 0 && !ctx) {
            ctx = "truncate";
            err = errno;
            unit = UNIT_MEMBERS;
        }
    }
    const int f = tsv.fd;
    tsv.fd = -1;
    if (::close(f) != 0 && !ctx) {
        ctx = "close";
        err = errno;
        unit = UNIT_MEMBERS;
    }
    unit_closed(UNIT_MEMBERS);
}

void members_cut() {
    if (on && tsv.fd >= 0 && tsv.regular && !tsv.read_only) (void)::ftruncate(tsv.fd, tsv.good);
}
