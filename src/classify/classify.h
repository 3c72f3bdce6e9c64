// classify: the spectral type code of a star.
//
// `guess_type` builds a Morgan-Keenan code (G2V, K3III, B5I-a0) from the
// temperature, evolution type and luminosity, or a remnant code (DZ5, Q,
// SNR), "dead" for a dark star, "????" for an unknown type. Before it
// classifies it scales the caller's absolute magnitude by 0.95f in place;
// the catalogue writes that scaled value.
//
// `faithful_type` is the rule of --faithful, which shows the cluster as
// simulated: a star that shines gets the magnitude its luminosity and
// temperature give (4.74 - 2.5 log10 L - BC_V(T)) and the code the
// planetarium draws nearest its temperature; every other star is
// classified as by guess_type, from its magnitude unscaled.
#pragma once

#include <cstdint>

// Arguments as the run passes them: star number, mass, luminosity, absolute
// magnitude (in and out), column-12 value, temperature (K), evolution type,
// and the six-character code field (out, blank padded).
// Star number, mass and the column-12 value are not consulted.
// Types up to 9 need a positive temperature (0 < T <= 700 is class Y); with
// none, or one that is not a number, the code is "????". A white dwarf of
// 5065 K or cooler (ratio 50400 / T of 10.0 or more) gets "DZ9"; one whose
// temperature is 0 or not a number gets "DZ*".
// Sets no I/O state: it runs once per star.
void guess_type(const std::int32_t& nstar, const float& mass, const float& lum, float& absmag,
                const float& col12, const float& temp, const std::int32_t& ktype, char (&code)[6]);

// Whether a star shines under --faithful: evolution type 0 to 12, and
// temperature and luminosity finite and above 0.
bool shines(std::int32_t ktype, float lum, float temp);

// The code and magnitude that --faithful gives one star: luminosity (solar
// units), absolute magnitude (in: the list's column 16; out: the
// catalogue's AbsMag), temperature (K), evolution type, and the
// six-character code field (out, blank padded). Returns whether the star
// shines (its entry then carries its own temperature).
// A star that shines gets AbsMag = 4.74 - 2.5 log10 L - bc_v(T), computed
// in double and rounded once to single precision; its luminosity class is
// guess_type's, and its class letter and subclass (the DZ digit for types
// 10 to 12) are those of the code of that class whose temperature in the
// planetarium is nearest T (on a tie the cooler code; of codes drawn at
// one temperature, the latest from O0 to Y9). Any other star gets
// guess_type's code from the magnitude as given, which it leaves unchanged
// (so "dead" is a magnitude above 9000).
// Sets no I/O state, allocates nothing: it runs once per star.
bool faithful_type(const float& lum, float& absmag, const float& temp, const std::int32_t& ktype,
                   char (&code)[6]);

// The V-band bolometric correction (mag) at temperature t (K, above 0), from
// the mean dwarf sequence of Mamajek's table (Pecaut & Mamajek 2013),
// linear in log10 t between its rows; hotter than 45,900 K the slope of
// Vacca, Garmany & Shull (1996), -6.84 per dex; cooler than 1,710 K the line
// through the two coolest rows. Giants and white dwarfs take the same.
double bc_v(double t);

// The pieces of guess_type that faithful_type shares, so that both rules
// name luminosity classes and classify the stars --faithful does not place
// by their own light alike.
//
// Luminosity class texts, brightest first: I-a0, I-a, I-b, II, III, IV, V.
// Five characters each, blank filled; a code takes the first four.
extern const char lum_class_text[7][5 + 1];

// The luminosity class guess_type gives a star of evolution type ktype and
// luminosity lum (solar units), as an index into lum_class_text: V (6) for
// the main-sequence types 0, 1, 7 and the negative types, else the first
// class whose threshold lum exceeds (200000, 20000, 3000, 400, 11.5, 4),
// else V.
int lum_class(std::int32_t ktype, float lum);

// guess_type without the 0.95 scale: the same code, from the magnitude as
// given (which it leaves as it is), so "dead" is a magnitude above 9000.
void guess_type_unscaled(const float& lum, float& absmag, const float& temp, const std::int32_t& ktype,
                         char (&code)[6]);
