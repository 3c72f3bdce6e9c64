// stats: the spectral type tally, its report and the paired sorts.
//
// `count_stype` counts each star's code (its first five characters) in the
// shared table `ctyp`; `show_stypes` prints the two listings (by code, by
// frequency) and the totals line. `aisort` and `iasort` are Singleton's
// quicksort over text keys with integer companions and the reverse.
#pragma once

#include <cstdint>

enum : int { CTYP_SIZE = 2000 };  // entries, the reserved entry 1 included

struct Ctyp {
    char names[CTYP_SIZE][5];          // entry i (1-based) is [i - 1]
    std::int32_t counts[CTYP_SIZE];
    std::int32_t nused;
};
extern Ctyp ctyp;

// The first five characters of `code` are the key. A new code that finds the
// table full (1999 codes beyond the reserved entry) is refused with the line
// " too many spectral types, not counted: XXXXX" and not counted.
void count_stype(const char* code);
void show_stypes();
// Back to the start state (nused 1, the reserved entry). For tests.
void ctyp_reset();

// Sort keys x(1..n) ascending; k = +-2 carries the companion y along,
// k = +-1 leaves it alone; negative k warns first; other k or n <= 0 print
// their message and change nothing.
void aisort(char (*x)[5], std::int32_t* y, const std::int32_t& n, const std::int32_t& k);
void iasort(std::int32_t* x, char (*y)[5], const std::int32_t& n, const std::int32_t& k);
