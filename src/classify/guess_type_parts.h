// guess_type_parts: the pieces of guess_type that the --faithful rule
// (faithful.cpp) reuses, so that both rules name luminosity classes and
// classify the stars --faithful does not place by their own light alike.
// Internal to src/classify.
#pragma once

#include <cstdint>

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
