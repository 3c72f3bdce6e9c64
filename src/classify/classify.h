// classify: the spectral type code of a star.
//
// `guess_type` builds a Morgan-Keenan code (G2V, K3III, B5I-a0) from the
// temperature, evolution type and luminosity, or a remnant code (DZ5, Q,
// SNR), "dead" for a dark star, "????" for an unknown type. Before it
// classifies it scales the caller's absolute magnitude by 0.95f in place;
// the catalogue writes that scaled value.
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
