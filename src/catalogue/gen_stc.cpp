// The catalogue writer: one entry line per star that is not dead.
//
//  Star "<prefix><number>" {RA <ra> Dec <dec> Distance <dist> SpectralType "<code>" AbsMag <mag> }
//
// An entry may carry the star's own temperature after its magnitude
// (" Temperature <kelvin>", --faithful), which the planetarium's development
// version draws it at and 1.6 passes over; and a catalogue of a named
// cluster (--centre) begins, just before its first entry, with the line
//
//  Barycenter "<name>" {RA <ra> Dec <dec> Distance <dist> }
//
// whose place is that of an entry at offset 0 from the centre: the
// planetarium's search finds the cluster by that name.
//
// Every entry must load in the planetarium, whose loader stops at the first
// entry it cannot read and loses the rest of the catalogue. So the fields
// grow where their fixed forms would not be numbers there: an entry number
// past 999999 takes the digits it needs, a magnitude of -1000.00 or below
// its full two-decimal text instead of asterisks, a coordinate with a
// three-digit exponent keeps its letter E. A star whose coordinates or
// magnitude are not finite numbers gets no entry and no number.
//
// The catalogue is unit 4, opened on the first call: for update without
// emptying if it exists, else for reading only (the first entry then fails
// with "write start"), else created; a FIFO is opened for writing only, as
// a pipe to its reader. It is locked against a second run from its open to
// its close. Entries go through one large buffer that only ever holds
// complete lines; when the unit is closed (normal end, fatal report or
// signal) the buffer is written and the file is cut after the last complete
// entry on disk, so it holds exactly this run's entries.
//
// With --binaries the two stars of a bound pair orbit their centre of mass:
// the pair's barycenter line comes just before its first entry, and each of
// its stars that has an entry names that barycenter and carries its own
// ellipse about it instead of a place:
//
//  Barycenter "<prefix>B<n>" {RA <ra> Dec <dec> Distance <dist> }
//  Star "<prefix><number>" {OrbitBarycenter "<prefix>B<n>" SpectralType "<code>" AbsMag <mag> [Temperature <t> ]EllipticalOrbit {Period <p> SemiMajorAxis <a> Eccentricity <e> Inclination <i> AscendingNode <node> ArgOfPericenter <w> MeanAnomaly <m> Epoch 2451545 } }
//
// The planetarium keeps a star's place in single-precision light-years,
// about 20 au of play at the distance of a cluster, too coarse for most
// binaries; an orbit about a barycenter it computes in double precision.
// The element numbers are the shortest texts that read back as the same
// double.
//
// Once the run has opened its list (cat_begin), no entry of an earlier run
// survives it, however it ends: a run that writes no entry cuts an existing
// regular catalogue that it may write and lock to length 0 (and says so,
// unless a signal ends it), but creates none.

#include "catalogue.h"

#include "input.h"
#include "textio.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The format text the fatal report shows for a failed catalogue statement.
constexpr const char* cat_fmt = "(1x,a,a,a,a,a,d23.17,a,d23.17,a,d23.17,a,a,a,f7.2,a)";

constexpr double pc2ly = 3.26163626;  // light-years per parsec

// Writer state, fixed on the first call.
bool first = true;
// Where the catalogue stands in the run.
enum CatState { CAT_IDLE, CAT_ARMED, CAT_OPEN, CAT_DONE };
CatState state = CAT_IDLE;
double x0, y0, z0;    // cluster centre, light-years, observer at the origin
std::int64_t ns = 0;  // entries so far; the last entry's number
int lenc = 1;         // significant length of the star-name prefix
const char* centre_name = nullptr;  // the barycenter's name, nullptr for none
const char* pfx = nullptr;          // the star-name prefix (a field text), fixed on the first call
LastEntry last;                     // the entry line of the last call that wrote one

// The texts of an orbit that both stars of a pair share, made once: the
// period; the eccentricity, inclination and node; the mean anomaly.
struct OrbitTexts {
    char period[32], shape[128], anomaly[96];
    int np, ns, na;
};

// --binaries: the pair whose two stars the next calls of gen_stc_pair write.
struct Pair {
    int next = 0;              // 0: the first star is due, 1: the second
    bool drawn = false;        // written as a binary: barycenter line and orbits
    bool bary_written = false; // its barycenter line is in the catalogue
    bool has[2] = {};          // the star has an entry
    double x[2][3];                 // each star's offset, parsecs
    double bra, bdec, bdist;        // the barycenter's place
    double m1, m2;
    OrbElements el;
    OrbitTexts texts;
    char code[2][6];
    float absmag[2];
    char name[FIELD_LEN + 24];  // the barycenter's name, NUL-terminated
    int name_len;
} pr;
std::int64_t nb = 0;    // barycenters so far
char place_text[128];   // a star of a pair's own place, as its entry would have it
bool keep_places = false;  // the member table wants it

// The catalogue, unit 4, through one large buffer.
char buf[1 << 20];
OutFile cat(UNIT_CATALOGUE, buf, sizeof buf);

[[noreturn]] void fail(const char* ctx, int err) {
    io_current_unit(UNIT_CATALOGUE);
    io_fatal_errno(ctx, err);
}

// The line that says an earlier run's catalogue is gone, at a run's end
// that is not a signal's.
void say_emptied() {
    if (signal_ending()) return;
    char line[NAME_LEN + 64];
    int n = std::snprintf(line, sizeof line, "orblenz: no entry written; %s emptied\n", cat.name);
    if (n > static_cast<int>(sizeof line) - 1) n = sizeof line - 1;
    if (::write(2, line, static_cast<std::size_t>(n)) < 0) {
        // Nowhere to say it.
    }
}

// Close the catalogue, and the member table with it: write what is
// complete, cut each file after its last complete line (the catalogue to
// length 0 when no entry was written), release them. A run that never
// opened the catalogue cuts an earlier one that it may write and lock to
// length 0; any other (none, a FIFO, a device, read-only, held by another
// run) is left as it is. Failures are the fatal report unless one is under
// way already. A signal that comes while a file is written out ends the
// run from within, and the ending closes anew what is left (the state
// changes only once the closing is done).
void close_catalogue(bool fatal) {
    if (state == CAT_ARMED) {
        const bool removed = of_empty_unopened(cat.name);
        const char* ctx = nullptr;
        int err = 0, unit = UNIT_MEMBERS;
        members_close(fatal, nullptr, ctx, err, unit);
        state = CAT_DONE;
        if (removed) say_emptied();
        if (ctx && !fatal) {
            io_current_unit(unit);
            io_fatal_errno(ctx, err);
        }
        return;
    }
    if (state != CAT_OPEN) return;
    const char* ctx = nullptr;  // the first failure, if any
    int err = 0, unit = UNIT_CATALOGUE;
    bool removed = false;
    if (!cat.read_only && ns > 0 && !of_flush(cat, fatal)) {
        ctx = "write";
        err = errno;
    }
    members_close(fatal, &cat, ctx, err, unit);
    if (!cat.read_only && ns > 0) {
        if (cat.regular && ::ftruncate(cat.fd, cat.good) != 0 && !ctx) {
            ctx = "truncate";
            err = errno;
        }
    } else if (!cat.read_only && cat.regular && cat.old_size > 0) {
        if (::ftruncate(cat.fd, 0) == 0) removed = true;
        else if (!ctx) {
            ctx = "truncate";
            err = errno;
        }
    }
    const int f = cat.fd;
    cat.fd = -1;
    state = CAT_DONE;
    if (::close(f) != 0 && !ctx) {
        ctx = "close";
        err = errno;
    }
    if (removed) say_emptied();
    if (ctx && !fatal) {
        io_current_unit(unit);
        io_fatal_errno(ctx, err);
    }
}

// From a fatal signal handler: only cut, with async-signal-safe calls.
void cut_catalogue() {
    if (state == CAT_ARMED) {
        state = CAT_DONE;
        (void)of_empty_unopened(cat.name);
    } else if (state == CAT_OPEN && cat.regular && !cat.read_only) {
        (void)::ftruncate(cat.fd, ns > 0 ? cat.good : 0);
    }
    members_cut();
}

void open_catalogue(const char* base) {
    std::snprintf(cat.name, sizeof cat.name, "%s.stc", base);
    of_open(cat, UnitCloser{close_catalogue, cut_catalogue});
    state = CAT_OPEN;
}

double read_placement(const char* text) {
    double v = 0;
    io_internal(true, "(d20.10)");
    if (!rd_d(text, FIELD_LEN, 10, v)) io_fatal_fmt();
    return v;
}

inline char* put(char* p, const char* s, std::size_t n) {
    std::memcpy(p, s, n);
    return p + n;
}
#define PUT_LIT(p, lit) put(p, lit, sizeof(lit) - 1)

// Finite numbers only: the planetarium reads no text for an infinity or a
// value that is not a number. (The builtin: <cmath> would bring a y0 of its
// own into this file.)
inline bool placeable(double ra, double dec, double dist, float absmag) {
    return __builtin_isfinite(ra) & __builtin_isfinite(dec) & __builtin_isfinite(dist) & __builtin_isfinite(absmag);
}

// A coordinate in the form D23.17, except that an exponent of three digits
// keeps its letter (0.99999999999999980E+150, 24 characters): without it the
// planetarium reads the exponent as a second number. Finite values only.
inline char* put_coord(char* p, double v) {
    wr_d23_17(v, p);
    if (__builtin_expect(p[19] != 'E', 0)) {
        std::memmove(p + 20, p + 19, 4);
        p[19] = 'E';
        return p + 24;
    }
    return p + 23;
}

// The magnitude in the form F7.2, except that one of -1000.00 or below
// (too wide, so asterisks in F7.2) is written as its whole two-decimal text,
// as wide as it needs. A finite float has at most 39 integer digits.
inline char* put_mag(char* p, float absmag) {
    wr_f(absmag, 7, 2, p);
    if (__builtin_expect(p[0] == '*', 0) && absmag < 0) {
        constexpr int w = 44;
        char t[w];
        wr_f(absmag, w, 2, t);
        int b = 0;
        while (t[b] == ' ') ++b;
        return put(p, t + b, static_cast<std::size_t>(w - b));
    }
    return p + 7;
}

// A temperature (finite, above 0) as a whole number of kelvin, at least 1
// (the planetarium refuses 0), without an exponent: rounded to the nearest
// kelvin as printf's "%.0f" rounds.
inline char* put_kelvin(char* p, float t) {
    double k = __builtin_nearbyint(static_cast<double>(t));
    if (k < 1.0) k = 1.0;
    if (k < 1e15) {
        char d[16];
        int n = 0;
        for (auto v = static_cast<std::int64_t>(k); v > 0; v /= 10) d[n++] = static_cast<char>('0' + v % 10);
        while (n > 0) *p++ = d[--n];
        return p;
    }
    return p + std::snprintf(p, 48, "%.0f", k);  // a float has at most 39 digits
}

// " {RA <ra> Dec <dec> Distance <dist>": where an entry or the barycenter is.
inline char* put_place(char* p, double ra, double dec, double dist) {
    p = PUT_LIT(p, " {RA ");
    p = put_coord(p, ra);
    p = PUT_LIT(p, " Dec ");
    p = put_coord(p, dec);
    p = PUT_LIT(p, " Distance ");
    return put_coord(p, dist);
}

// The barycenter line of the cluster named `nm`, at the centre (x, y, z,
// light-years from the observer).
int put_barycenter(char* out, const char* nm, double x, double y, double z) {
    double X = 0.0 * pc2ly + x, Y = 0.0 * pc2ly + y, Z = 0.0 * pc2ly + z;
    double ra, dec, dist;
    cart2sph(X, Y, Z, ra, dec, dist);
    if (!placeable(ra, dec, dist, 0.0f)) return 0;
    char* p = out;
    p = PUT_LIT(p, "Barycenter \"");
    p = put(p, nm, std::strlen(nm));
    *p++ = '"';
    p = put_place(p, ra, dec, dist);
    p = PUT_LIT(p, " }\n");
    return static_cast<int>(p - out);
}

// An entry's or a barycenter's number: six digits, and past 999999 as many
// as it needs, so that every star and barycenter keeps a name of its own.
inline char* put_number(char* p, std::int64_t num) {
    if (num <= 999999) {
        wr_i6_6(static_cast<std::int32_t>(num), p);
        p += 6;
    } else {
        // Past 999999 the number takes as many digits as it needs, so every
        // star keeps a name of its own.
        char t[24];
        int k = 0;
        for (std::int64_t v = num; v > 0; v /= 10) t[k++] = static_cast<char>('0' + v % 10);
        while (k > 0) *p++ = t[--k];
    }
    return p;
}

// ` Star "<prefix><number>"`.
inline char* put_name(char* p, const char* prefix, int lenc_, std::int64_t num) {
    p = PUT_LIT(p, " Star \"");
    // Whole field texts copied, the pointer moved by the length that counts:
    // fixed-size copies, the characters beyond overwritten next.
    std::memcpy(p, prefix, FIELD_LEN);
    p += lenc_;
    p = put_number(p, num);
    *p++ = '"';
    return p;
}

// ` SpectralType "<code>" AbsMag <mag>`.
inline char* put_type_mag(char* p, const char* code, int n, float absmag) {
    p = PUT_LIT(p, " SpectralType \"");
    std::memcpy(p, code, 5);
    p += n;
    p = PUT_LIT(p, "\" AbsMag ");
    return put_mag(p, absmag);
}

// The entry line of a star with finite coordinates and magnitude.
int put_entry(char* out, const char* prefix, int lenc_, std::int64_t num, double ra, double dec, double dist,
              const char* code, int n, float absmag, const float* temp) {
    char* p = put_name(out, prefix, lenc_, num);
    p = put_place(p, ra, dec, dist);
    p = put_type_mag(p, code, n, absmag);
    if (temp) {
        p = PUT_LIT(p, " Temperature ");
        p = put_kelvin(p, *temp);
    }
    p = PUT_LIT(p, " }\n");
    return static_cast<int>(p - out);
}

// ` <key> <value>`: a number of an orbit, the shortest text that reads back
// as the same double.
inline char* put_element(char* p, const char* key, std::size_t klen, double v) {
    p = put(p, key, klen);
    return std::to_chars(p, p + 32, v).ptr;  // most elements need 16 or 17 digits
}
#define PUT_ELEMENT(p, key, v) put_element(p, key, sizeof(key) - 1, v)

void orbit_texts(const OrbElements& el, OrbitTexts& t) {
    t.np = static_cast<int>(std::to_chars(t.period, t.period + 32, el.period).ptr - t.period);
    char* p = PUT_ELEMENT(t.shape, " Eccentricity ", el.e);
    p = PUT_ELEMENT(p, " Inclination ", el.incl);
    p = PUT_ELEMENT(p, " AscendingNode ", el.node);
    t.ns = static_cast<int>(p - t.shape);
    p = PUT_ELEMENT(t.anomaly, " MeanAnomaly ", el.anomaly);
    p = PUT_LIT(p, " Epoch 2451545 } }\n");
    t.na = static_cast<int>(p - t.anomaly);
}

// The entry of a star of a binary: named as a single star, on its own
// ellipse about the barycenter `bary` (nb characters). Of the relative
// orbit el of the second star about the first, each star has its share of
// the semi-major axis, a m2 / (m1 + m2) for the first and a m1 / (m1 + m2)
// for the second, and the first is on the opposite side: its argument of
// pericentre is the second's plus 180 degrees.
int put_orbit_entry(char* out, const char* prefix, int lenc_, std::int64_t num, const char* bary, int nb_,
                    const OrbElements& el, const OrbitTexts& t, double m1, double m2, bool first_star,
                    const char* code, int n, float absmag, const float* temp) {
    char* p = put_name(out, prefix, lenc_, num);
    p = PUT_LIT(p, " {OrbitBarycenter \"");
    p = put(p, bary, static_cast<std::size_t>(nb_));
    *p++ = '"';
    p = put_type_mag(p, code, n, absmag);
    if (temp) {
        p = PUT_LIT(p, " Temperature ");
        p = put_kelvin(p, *temp);
    }
    double a, peri = el.peri;
    if (first_star) {
        a = orb_axis(el.a, m2, m1, m2);
        peri += 180.0;
        if (peri >= 360.0) peri -= 360.0;
    } else {
        a = orb_axis(el.a, m1, m1, m2);
    }
    p = PUT_LIT(p, " EllipticalOrbit {Period ");
    p = put(p, t.period, static_cast<std::size_t>(t.np));
    p = PUT_ELEMENT(p, " SemiMajorAxis ", a);
    p = put(p, t.shape, static_cast<std::size_t>(t.ns));
    p = PUT_ELEMENT(p, " ArgOfPericenter ", peri);
    p = put(p, t.anomaly, static_cast<std::size_t>(t.na));
    return static_cast<int>(p - out);
}

// A pair's barycenter line: ` Barycenter "<prefix>B<n>"` at its place.
char* put_pair_barycenter(char* p) {
    p = PUT_LIT(p, " Barycenter \"");
    p = put(p, pr.name, static_cast<std::size_t>(pr.name_len));
    *p++ = '"';
    p = put_place(p, pr.bra, pr.bdec, pr.bdist);
    return PUT_LIT(p, " }\n");
}

// The first entry due: open the catalogue and fix the cluster centre.
void start_writing(const char* ratext, const char* dectext, const char* disttext, const char* base,
                   const char* prefix) {
    first = false;
    pfx = prefix;
    lenc = str_len(prefix, FIELD_LEN);
    open_catalogue(base);
    ns = 0;
    double ra = read_placement(ratext);
    double dec = read_placement(dectext);
    double dist = read_placement(disttext);
    sph2cart(ra, dec, dist, x0, y0, z0);
}

// A star at offset (x, y, z) parsecs from the centre, in light-years from
// the observer.
inline void from_observer(double x, double y, double z, double& X, double& Y, double& Z) {
    X = x * pc2ly + x0;
    Y = y * pc2ly + y0;
    Z = z * pc2ly + z0;
}

// Where a star at offset (x, y, z) parsecs from the centre stands: right
// ascension, declination, distance.
inline void place(double x, double y, double z, double& ra, double& dec, double& dist) {
    double X, Y, Z;
    from_observer(x, y, z, X, Y, Z);
    cart2sph(X, Y, Z, ra, dec, dist);
}

// Whether place() gives such a star finite numbers, without its angles:
// cart2sph's are finite exactly when the coordinates and their distance,
// taken in its order, are finite and the cosine of the polar angle lies in
// -1 to 1 (0 / 0 at the observer does not).
inline bool has_place(double x, double y, double z) {
    double X, Y, Z;
    from_observer(x, y, z, X, Y, Z);
    double s = X * X + Y * Y;
    s = s + Z * Z;
    const double r = __builtin_sqrt(s), c = Z / r;
    return __builtin_isfinite(X) & __builtin_isfinite(Y) & __builtin_isfinite(r) & (c >= -1.0) & (c <= 1.0);
}

inline bool is_dead(const char* code) { return str_len(code, 5) == 4 && std::memcmp(code, "dead", 4) == 0; }

// Room for one more entry in the buffer; the statement's state for a
// failure.
void make_room() {
    io_external(UNIT_CATALOGUE, false, cat_fmt);
    if (cat.read_only) fail("write start", cat.read_only_err);
    if (cat.cap - cat.blen < entry_room) {
        if (!of_flush(cat, false)) fail("write", errno);
        of_reset(cat);
    }
}

}  // namespace

int stc_entry(char* out, const char* prefix, int lenc_, std::int64_t num, double ra, double dec, double dist,
              const char* code, int n, float absmag) {
    if (!placeable(ra, dec, dist, absmag)) return 0;
    return put_entry(out, prefix, lenc_, num, ra, dec, dist, code, n, absmag, nullptr);
}

void gen_stc(const double& x, const double& y, const double& z, const char* code, const float& absmag,
             const char* ratext, const char* dectext, const char* disttext, const char* base,
             const char* prefix, const float* temp) {
    if (first) start_writing(ratext, dectext, disttext, base, prefix);
    last.num = 0;
    last.bary = last.place = nullptr;
    int n = str_len(code, 5);
    if (n == 4 && std::memcmp(code, "dead", 4) == 0) return;

    double ra, dec, dist;
    place(x, y, z, ra, dec, dist);
    // Not placeable: no entry and no number, as for a dead star.
    if (!placeable(ra, dec, dist, absmag)) return;
    ++ns;

    make_room();
    char* line = buf + cat.blen;
    if (ns == 1 && centre_name) line += put_barycenter(line, centre_name, x0, y0, z0);
    const int len = put_entry(line, prefix, lenc, ns, ra, dec, dist, code, n, absmag, temp);
    last = LastEntry{line, len, ns};
    cat.blen = static_cast<std::size_t>(line + len - buf);
}

int stc_orbit_entry(char* out, const char* prefix, int lenc_, std::int64_t num, const char* bary, int nb_,
                    const OrbElements& el, double m1, double m2, bool first_star, const char* code, int n,
                    float absmag, const float* temp) {
    OrbitTexts t;
    orbit_texts(el, t);
    return put_orbit_entry(out, prefix, lenc_, num, bary, nb_, el, t, m1, m2, first_star, code, n, absmag, temp);
}

void cat_pair(const OrbBody& b1, const char* code1, const float& absmag1, const OrbBody& b2, const char* code2,
              const float& absmag2, const OrbElements& el, const char* ratext, const char* dectext,
              const char* disttext, const char* base, const char* prefix) {
    const OrbBody* b[2] = {&b1, &b2};
    const char* code[2] = {code1, code2};
    const float absmag[2] = {absmag1, absmag2};
    pr.next = 0;
    pr.drawn = pr.bary_written = false;
    // The catalogue opens when the first entry is due, as without a pair.
    if (first && !(is_dead(code1) && is_dead(code2))) start_writing(ratext, dectext, disttext, base, prefix);
    for (int k = 0; k < 2; ++k) {
        std::memcpy(pr.code[k], code[k], 6);
        pr.absmag[k] = absmag[k];
        pr.has[k] = false;
        if (is_dead(code[k])) continue;
        std::memcpy(pr.x[k], b[k]->x, sizeof pr.x[k]);
        pr.has[k] = __builtin_isfinite(absmag[k]) && has_place(b[k]->x[0], b[k]->x[1], b[k]->x[2]);
    }
    if (!pr.has[0] && !pr.has[1]) return;
    // The centre of mass, parsecs from the cluster centre; a star without
    // an entry weighs in as much as one with.
    pr.m1 = b1.m;
    pr.m2 = b2.m;
    const double f = b2.m / (b1.m + b2.m);
    double xb[3];
    for (int k = 0; k < 3; ++k) xb[k] = b1.x[k] + f * (b2.x[k] - b1.x[k]);
    place(xb[0], xb[1], xb[2], pr.bra, pr.bdec, pr.bdist);
    if (!placeable(pr.bra, pr.bdec, pr.bdist, 0.0f)) return;
    pr.drawn = true;
    ++nb;
    char* p = pr.name;
    std::memcpy(p, pfx, static_cast<std::size_t>(lenc));
    p += lenc;
    *p++ = 'B';
    p = put_number(p, nb);
    *p = '\0';
    pr.name_len = static_cast<int>(p - pr.name);
    pr.el = el;
    orbit_texts(pr.el, pr.texts);
}

void gen_stc_pair(const float* temp) {
    const int k = pr.next++;
    last.num = 0;
    last.bary = pr.drawn ? pr.name : nullptr;
    last.place = nullptr;
    if (!pr.has[k]) return;
    ++ns;
    make_room();
    char* line = buf + cat.blen;
    if (ns == 1 && centre_name) line += put_barycenter(line, centre_name, x0, y0, z0);
    const char* code = pr.code[k];
    const int n = str_len(code, 5);
    int len;
    // Its own place, for the member table or for an entry of its own.
    double ra = 0, dec = 0, dist = 0;
    if (!pr.drawn || keep_places) place(pr.x[k][0], pr.x[k][1], pr.x[k][2], ra, dec, dist);
    if (pr.drawn) {
        if (!pr.bary_written) {
            line = put_pair_barycenter(line);
            pr.bary_written = true;
        }
        len = put_orbit_entry(line, pfx, lenc, ns, pr.name, pr.name_len, pr.el, pr.texts, pr.m1, pr.m2, k == 0,
                              code, n, pr.absmag[k], temp);
        // Its own place, for the member table: " {RA " left out.
        if (keep_places) {
            *put_place(place_text, ra, dec, dist) = ' ';
            last.place = place_text + 5;
        }
    } else {
        len = put_entry(line, pfx, lenc, ns, ra, dec, dist, code, n, pr.absmag[k], temp);
    }
    last.line = line;
    last.len = len;
    last.num = ns;
    cat.blen = static_cast<std::size_t>(line + len - buf);
}

void cat_set_centre(const char* nm) { centre_name = nm; }

void cat_keep_places() { keep_places = true; }

void cat_begin(const char* base) {
    std::snprintf(cat.name, sizeof cat.name, "%s.stc", base);
    state = CAT_ARMED;
    unit_attach(UNIT_CATALOGUE, UnitCloser{close_catalogue, cut_catalogue});
}

bool cat_flush_with(OutFile& other, const char* other_fmt) {
    if (state == CAT_OPEN && !cat.read_only) {
        io_external(UNIT_CATALOGUE, false, cat_fmt);
        if (!of_flush(cat, false)) fail("write", errno);
    }
    io_external(other.unit, false, other_fmt);
    if (!of_flush(other, false)) return false;
    of_reset(cat);
    of_reset(other);
    return true;
}

std::size_t cat_room() { return cat.cap - cat.blen; }

LastEntry& cat_last_entry() { return last; }

void cat_close() {
    if (state == CAT_ARMED) {
        close_catalogue(false);
        unit_closed(UNIT_CATALOGUE);
        return;
    }
    if (state != CAT_OPEN) return;
    io_external(UNIT_CATALOGUE, false, cat_fmt);
    close_catalogue(false);
    unit_closed(UNIT_CATALOGUE);
}

void gen_stc_set_counter(std::int32_t start) { ns = start; }
