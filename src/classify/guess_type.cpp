// guess_type: the spectral type code of one star.
//
// All arithmetic is single precision, one rounding per step, because the
// roundings decide digits of the code (5600 K is G3, not G4).

#include "classify.h"

#include <cmath>
#include <cstring>

#include "textio.h"

// Temperature classes, one row per letter, hottest first. Row i covers the
// temperatures above tclass[i] up to tclass[i - 1]; the O row also takes
// everything hotter. Row 0 ("x") only supplies the upper end of class O for
// the subclass; its letter never appears in a code. The Y row (boundary 0)
// takes the coolest stars, 0 < T <= 700.
static const int nclass = 11;
static const char class_[nclass + 1] = "xOBAFGKMLTY";
static const float tclass[nclass] = {60000.0f, 30000.0f, 10000.0f, 7500.0f, 6000.0f, 5000.0f,
                              3500.0f,  2000.0f,  1300.0f,  700.0f,  0.0f};

// Luminosity classes of evolved stars, brightest first: a star takes the
// first class whose threshold its luminosity exceeds (strictly), else V,
// the last cell. Cells are five characters, blank filled (plus the literal's
// terminator); the code takes their first four.
static const int nlums = 6;
const char lum_class_text[nlums + 1][5 + 1] = {"I-a0 ", "I-a  ", "I-b  ", "II   ", "III  ", "IV   ", "V    "};
static const float rlums[nlums] = {200000.0f, 20000.0f, 3000.0f, 400.0f, 11.5f, 4.0f};

// guess_type scales the absolute magnitude by this (the float nearest 0.95)
// in the caller's variable before anything else.
static const float mag_factor = 0.95f;
// A magnitude above this once scaled marks a dark star: code "dead".
static const float dark_limit = 9000.0f;
// Subclass = scale - scale * fraction. The fraction runs from just above 0
// at the cool end of a class to 1 at its hot end, so the subclass runs from
// 9 down to 0; a temperature on a boundary is subclass 0 of the cooler class.
static const double sub_scale = 10.0;
// Evolution types up to this one (except the main-sequence types) take a
// luminosity class from rlums.
static const int last_evolved = 9;
// The white-dwarf character is the first character of this over the
// temperature, written as F4.1.
static const float wd_numer = 50400.0f;

// Fill the six-character code field.
static inline void set_code(char (&code)[6], const char (&text)[7]) { std::memcpy(code, text, 6); }

// The subclass character of temperature t, or 0 when no class row takes t
// (t <= 0 or not a number); the class letter goes to `letter`.
static inline char subclass_of(float t, char& letter) {
    for (int i = 1; i < nclass; ++i) {
        if (t > tclass[i]) {
            const float width = tclass[i - 1] - tclass[i];
            const float excess = t - tclass[i];
            const float fraction = excess / width;
            // The product of a float and 10 is exact in double; the
            // difference is rounded once, to single precision.
            const float value = static_cast<float>(sub_scale - sub_scale * static_cast<double>(fraction));
            letter = class_[i];
            // I1 of the value truncated toward zero: a digit for 0 to 9,
            // '*' for anything else (the truncation of (-1, 0) is 0). Values
            // outside this window, however large, never reach the int cast.
            if (value > -1.0f && value < 10.0f) return static_cast<char>('0' + static_cast<int>(value));
            return '*';
        }
    }
    return 0;
}

// The white-dwarf character: the first non-blank character of the ratio
// 50400 / t written as F4.1, which the planetarium reads as the subclass,
// a temperature index (DZ1 is drawn at 50,400 K, DZ9 at 5,600 K). A
// positive ratio of 10.0 or more (t from 5065 K down) would give its tens
// digit, or '*' from 100 on, and turn the old, cool white dwarfs into the
// hottest ones: it gives '9', the coolest class one character can name. A
// ratio that is infinite (t = 0 of either sign, or so small that the quotient
// overflows) or not a number gives '*', like a ratio too large for the field;
// a negative temperature keeps its '-' or '*'.
static inline char wd_char(float t) {
    const float ratio = wd_numer / t;
    if (!std::isfinite(ratio)) return t > 0.0f ? '9' : '*';
    char w[4];
    wr_f(ratio, 4, 1, w);
    // The fixed-point text is at least three characters, so one shift leaves
    // a non-blank character in front.
    if (w[0] == ' ') return w[1];
    // Two digits before the point, or asterisks: ten or more.
    return ratio > 0.0f ? '9' : w[0];
}

// The luminosity class (index into lum_class_text) of a star of type k:
// V for the main-sequence types (negative types too; helium main
// sequence), else the first class whose threshold L exceeds.
static inline int lum_class_of(std::int32_t k, float lum) {
    if (k <= 1 || k == 7) return nlums;
    for (int j = 0; j < nlums; ++j) {
        if (lum > rlums[j]) return j;
    }
    return nlums;
}

int lum_class(std::int32_t ktype, float lum) { return lum_class_of(ktype, lum); }

// The whole rule, with the magnitude scaled by `scale` first (0.95f for
// guess_type, 1 for the stars --faithful leaves to it). Inlined into both
// callers, so each runs with its scale as a constant.
static inline void classify_listed(const float scale, const float& lum, float& absmag, const float& temp,
                                   const std::int32_t& ktype, char (&code)[6]) {
    absmag = absmag * scale;
    if (absmag > dark_limit) {
        set_code(code, "dead  ");
        return;
    }
    const std::int32_t k = ktype;

    // Only the stars that still shine use the temperature class.
    if (k <= last_evolved) {
        char letter = ' ';
        const char sub = subclass_of(temp, letter);
        if (sub == 0) {
            // No temperature class: the star cannot be placed.
            set_code(code, "????  ");
            return;
        }
        code[0] = letter;
        code[1] = sub;
        // Letter, subclass and luminosity class cut to the field: only
        // "I-a0" fills all six characters.
        std::memcpy(code + 2, lum_class_text[lum_class_of(k, lum)], 4);
        return;
    }

    switch (k) {
        case 10:  // helium white dwarf
        case 11:  // carbon-oxygen white dwarf
        case 12:  // oxygen-neon white dwarf
            std::memcpy(code, "DZ", 2);
            code[2] = wd_char(temp);
            std::memcpy(code + 3, "   ", 3);
            return;
        case 13:  // neutron star
        case 14:  // black hole
            set_code(code, "Q     ");
            return;
        case 15:  // supernova remnant
            set_code(code, "SNR   ");
            return;
        default:
            set_code(code, "????  ");
            return;
    }
}

void guess_type(const std::int32_t& /*nstar*/, const float& /*mass*/, const float& lum, float& absmag,
                const float& /*col12*/, const float& temp, const std::int32_t& ktype, char (&code)[6]) {
    classify_listed(mag_factor, lum, absmag, temp, ktype, code);
}

void guess_type_unscaled(const float& lum, float& absmag, const float& temp, const std::int32_t& ktype,
                         char (&code)[6]) {
    // Times 1 leaves every value as it is (a NaN stays a NaN).
    classify_listed(1.0f, lum, absmag, temp, ktype, code);
}
