// catalogue: placing the cluster on the sky and writing <base>.stc.
//
// `sph2cart` / `cart2sph` convert between (right ascension, declination,
// distance) in degrees and light-years and Cartesian coordinates centred on
// the observer. `gen_stc` writes one catalogue entry per star that is not
// dead and whose coordinates and magnitude are finite numbers; its first
// call opens the catalogue (unit 4) and fixes the cluster centre from the
// three placement texts. `cat_close` cuts the catalogue
// after its last complete entry.
#pragma once

#include <cstdint>

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

// One catalogue entry line (with its line feed) into `out`; returns its length,
// or 0 with nothing written when a coordinate or the magnitude is not a
// finite number (such a star has no entry). `out` must hold 200 characters
// plus the prefix; `prefix` is a field text of 20 characters (lenc of them
// used), `code` has 5 (n used). The line gen_stc writes; for tests.
int stc_entry(char* out, const char* prefix, int lenc, std::int64_t num, double ra, double dec,
              double dist, const char* code, int n, float absmag);
// Start the entry counter at `ns` (the next entry is ns + 1). For tests.
void gen_stc_set_counter(std::int32_t ns);
