// catalogue: placing the cluster on the sky and writing <base>.stc.
//
// `sph2cart` / `cart2sph` convert between (right ascension, declination,
// distance) in degrees and light-years and Cartesian coordinates centred on
// the observer. `gen_stc` writes one catalogue entry per star that is not
// dead and whose coordinates and magnitude are finite numbers; its first
// call opens the catalogue (unit 4) and fixes the cluster centre from the
// three placement texts. `cat_close` cuts the catalogue
// after its last complete entry. With --members the member table
// <base>.tsv (unit 7) tells which star of the list became which entry.
// With --binaries a bound pair of stars is written as a barycenter line and
// entries that orbit it (`cat_pair`, `gen_stc_pair`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "orbit.h"
#include "textio.h"

void sph2cart(const double& ra, const double& dec, const double& dist, double& x, double& y, double& z);
void cart2sph(const double& x, const double& y, const double& z, double& ra, double& dec, double& dist);

// x, y, z: offsets from the cluster centre in parsecs; code: six-character
// code field; absmag: the scaled magnitude; then the right ascension,
// declination and distance texts and the star-name prefix (20-character
// field texts), and the base name whole (a NUL-terminated text of fewer
// than NAME_LEN - 4 characters): the catalogue is <base>.stc. With `temp`
// (finite, above 0) the entry carries the star's own temperature after its
// magnitude: " Temperature <kelvin>".
void gen_stc(const double& x, const double& y, const double& z, const char* code, const float& absmag,
             const char* ratext, const char* dectext, const char* disttext, const char* base,
             const char* prefix, const float* temp = nullptr);
// Name the cluster: the catalogue then begins, just before its first entry,
// with the line  Barycenter "<name>" {RA .. Dec .. Distance .. }  at the
// centre. `name` (checked already) must stay for the run.
void cat_set_centre(const char* name);
// The run has opened its list: from now on, however the run ends, no entry
// of an earlier run survives in <base>.stc. A run that writes no entry cuts
// an existing regular catalogue it may write and lock to length 0 and then
// says so on standard error ("orblenz: no entry written; <base>.stc
// emptied"), unless a signal ends it; it creates none.
void cat_begin(const char* base);
// Close the catalogue (normal end of the run).
void cat_close();

// ---------------------------------------------------------------- binaries
//
// --binaries: two consecutive stars that the pair rule (orb_bound) binds,
// on an orbit the planetarium draws (orb_elements). `cat_pair` takes the
// pair, with each star's code and magnitude (what its entry would be
// without --binaries) and their relative orbit; the two
// calls of `gen_stc_pair` that follow, the first star's and then the
// second's (a dark one too), write them. A pair of which a star has an
// entry is written as the line
//   Barycenter "<prefix>B<n>" {RA .. Dec .. Distance .. }
// at the pair's centre of mass, n counting the barycenters written, just
// before its first entry; and each star with an entry as
//   Star "<name>" {OrbitBarycenter "<prefix>B<n>" SpectralType ".." AbsMag .. [Temperature .. ]EllipticalOrbit {..} }
// on its own ellipse about the barycenter, which puts it at its listed place
// on JD 2451545.0. A pair whose barycenter has no finite place is written
// as two single stars; one without an entry writes nothing. The arguments
// after `el` are those of gen_stc; the stars' numbers, names and texts are
// those they have without --binaries.
void cat_pair(const OrbBody& b1, const char* code1, const float& absmag1, const OrbBody& b2, const char* code2,
              const float& absmag2, const OrbElements& el, const char* ratext, const char* dectext,
              const char* disttext, const char* base, const char* prefix);
void gen_stc_pair(const float* temp);
// The member table wants each orbiting star's own place (LastEntry::place).
void cat_keep_places();
// The orbiting entry of one star of a pair whose barycenter is named
// bary (nb characters) and whose relative orbit is el; the star is the
// first of the pair (its ArgOfPericenter the second's plus 180 degrees)
// when `first`, and m1, m2 are the two masses. For tests.
int stc_orbit_entry(char* out, const char* prefix, int lenc, std::int64_t num, const char* bary, int nb,
                    const OrbElements& el, double m1, double m2, bool first, const char* code, int n,
                    float absmag, const float* temp);

// The entry line of the current star (num 0 when it has none): written by
// gen_stc, forgotten by members_room before the next star; valid until then.
// A star of a drawn pair also has its barycenter's name and, when it has an
// entry, its own place ("<ra> Dec <dec> Distance <dist>"), which its entry
// does not carry.
struct LastEntry {
    const char* line;
    int len;
    std::int64_t num;
    const char* bary = nullptr;   // NUL-terminated; nullptr for a single star
    const char* place = nullptr;  // nullptr for a single star
};
LastEntry& cat_last_entry();

// ---------------------------------------------------------------- member table
//
// <base>.tsv, a tab-separated table with a header line and one line per star
// line of the list, in list order: the star's line number in the list, the
// name of the entry it became (empty for none), its code as tallied, the
// evolution type used, columns 1, 13, 16 and 19 as read (the shortest text
// that reads back as the same single-precision value), the position as
// read (columns 2 to 4, parsecs, the shortest text of the same double), the
// entry's RA, Dec, Distance and AbsMag texts without padding (empty for
// none), with --faithful its Temperature, and with --binaries the name of
// its pair's barycenter (empty for a single star); a star of a pair shows
// the RA, Dec and Distance its entry would have without --binaries. It is a second output of the
// run under the catalogue's rules (opened, locked, emptied and cut alike),
// written in star order, and at every stop it ends at the same star as the
// catalogue.
enum : int { UNIT_MEMBERS = 7 };
// Open it and put its header, once the run has opened its list.
void members_begin(const char* base, bool with_temperature, bool with_barycenter = false);
// Make room for one more star in the catalogue and in the member table:
// before the star's gen_stc.
void members_room();
// One star's line, after its gen_stc. `code` is the six-character code
// field; `temp` the Temperature its entry carries, or nullptr.
struct Member {
    std::int64_t line;
    const char* code;
    std::int32_t type;
    float mass, lum, mv, temp;
    double x, y, z;
};
void members_star(const Member& m, bool with_temperature, bool with_barycenter = false);

// ---------------------------------------------------------------- output files
//
// The catalogue and the member table are written under one set of rules
// (outfile.cpp): opened for update without emptying, else for reading only
// (the first write then fails with "write start"), else created; a FIFO is
// a pipe to its reader. Locked from open to close; written through a
// buffer of complete lines, buf[0, blen), of which done bytes are out;
// emptied of an earlier run's content just before the first bytes reach
// it; cut after its last complete line at the end.
struct OutFile {
    OutFile(int unit_, char* buf_, std::size_t cap_) : unit(unit_), buf(buf_), cap(cap_) {}
    int unit;
    char* buf;
    std::size_t cap;
    std::size_t blen = 0, done = 0;
    char name[NAME_LEN] = {};
    int fd = -1;
    bool read_only = false;  // opened for reading only: writing fails
    int read_only_err = 0;   // why the update open failed
    bool regular = false;    // a regular file can be cut
    bool fifo = false;       // a FIFO (or a pipe): written in whole lines that it takes at once
    bool emptied = false;    // the old content has been cut away
    bool failed = false;     // a write of it failed
    off_t old_size = 0;      // bytes the file held when it was opened
    off_t on_disk = 0;       // bytes written to it
    volatile off_t good = 0; // end of the last complete line on disk
};
// Room an entry line needs in the catalogue's buffer, prefix and barycenter
// lines included (an orbiting entry with its pair's barycenter line has
// fewer than 900 characters).
enum : std::size_t { entry_room = 1024 };
// Open f.name; a failure is the fatal "open" report for f.unit.
void of_open(OutFile& f, UnitCloser closer);
// Write buf[done, blen) out; false with errno set on failure. The batch
// stays in the buffer until of_reset.
bool of_flush(OutFile& f, bool ending);
inline void of_reset(OutFile& f) { f.blen = f.done = 0; }
// An existing regular file that this run may write and lock, cut to length
// 0; whether bytes were removed. Async-signal-safe calls only.
bool of_empty_unopened(const char* name);
// The catalogue's buffer written out, then `other`'s (false with errno set
// when that fails; the catalogue's failure is its own report), both batches
// then dropped: the two files end at the same star. Its free room.
bool cat_flush_with(OutFile& other, const char* other_fmt);
std::size_t cat_room();
// The member table's part of the catalogue's closing: written out, cut back
// with the catalogue (stc, when open) to the same star after a failed write,
// cut and closed; a failure goes to ctx/err/unit unless one is there.
void members_close(bool fatal, OutFile* stc, const char*& ctx, int& err, int& unit);
void members_cut();

// One catalogue entry line (with its line feed) into `out`; returns its length,
// or 0 with nothing written when a coordinate or the magnitude is not a
// finite number (such a star has no entry). `out` must hold 200 characters
// plus the prefix; `prefix` is a field text of 20 characters (lenc of them
// used), `code` has 5 (n used). The line gen_stc writes; for tests.
int stc_entry(char* out, const char* prefix, int lenc, std::int64_t num, double ra, double dec,
              double dist, const char* code, int n, float absmag);
// Start the entry counter at `ns` (the next entry is ns + 1). For tests.
void gen_stc_set_counter(std::int32_t ns);
