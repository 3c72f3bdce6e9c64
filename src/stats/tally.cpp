// The spectral type tally and its report.
//
// `count_stype` counts one star's code under its first five characters in the
// table `ctyp`; `show_stypes` prints every code with its count, once in code
// order and once in frequency order, then the totals line. Entry 1 is a
// reserved entry of five NUL characters with count 0: it sorts first in both
// orders, so both listings start at entry 2.

#include <cstdint>
#include <cstring>

#include "stats.h"
#include "textio.h"

Ctyp ctyp = {{}, {}, 1};

namespace {

// Where a code was last found in the table: a cache in front of the linear
// search, keyed by a hash of the code's five characters. A slot is only
// believed when its entry still holds that code (the sorts move entries),
// and the table holds each code once, so the cache finds the entry the
// search would. Slots hold entry numbers, 0 for none.
constexpr int cache_bits = 12;
constexpr int cache_probes = 8;
std::int16_t cache[1 << cache_bits];

inline unsigned home_slot(const char* code) {
    std::uint64_t k = 0;
    std::memcpy(&k, code, 5);
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> (64 - cache_bits));
}

// The entry holding code by the linear search, or 0.
std::int32_t search(const char* code) {
    // In order of first appearance; a plain five-byte equality.
    for (std::int32_t i = 1; i <= ctyp.nused; ++i)
        if (std::memcmp(ctyp.names[i - 1], code, 5) == 0) return i;
    return 0;
}

}  // namespace

void ctyp_reset() {
    std::memset(ctyp.names, 0, sizeof ctyp.names);
    std::memset(ctyp.counts, 0, sizeof ctyp.counts);
    ctyp.nused = 1;
    std::memset(cache, 0, sizeof cache);
}

void count_stype(const char* code) {
    const unsigned home = home_slot(code);
    unsigned free_slot = home;
    for (int k = 0; k < cache_probes; ++k) {
        unsigned slot = (home + static_cast<unsigned>(k)) & ((1u << cache_bits) - 1);
        std::int32_t i = cache[slot];
        if (i == 0) {
            free_slot = slot;
            break;
        }
        if (i <= ctyp.nused && std::memcmp(ctyp.names[i - 1], code, 5) == 0) {
            ++ctyp.counts[i - 1];
            return;
        }
    }
    if (std::int32_t i = search(code)) {
        cache[free_slot] = static_cast<std::int16_t>(i);
        ++ctyp.counts[i - 1];
        return;
    }
    // A new code. The table holds 1999 codes beyond the reserved entry; one
    // more is refused with a report line and not counted, so nothing is ever
    // written outside the table.
    if (ctyp.nused >= CTYP_SIZE) {
        con_begin();
        con_text("too many spectral types, not counted: ");
        con_text(code, 5);
        con_end();
        return;
    }
    ++ctyp.nused;
    std::memcpy(ctyp.names[ctyp.nused - 1], code, 5);
    ctyp.counts[ctyp.nused - 1] = 1;
    cache[free_slot] = static_cast<std::int16_t>(ctyp.nused);
}

namespace {

// One listing line: the five-character name, two blanks, the count.
void show_entry(std::int32_t i) {
    con_begin();
    con_text(ctyp.names[i - 1], 5);
    con_text("  ", 2);
    con_int(ctyp.counts[i - 1]);
    con_end();
}

void show_line(const char* s) {
    con_begin();
    con_text(s);
    con_end();
}

}  // namespace

void show_stypes() {
    static const std::int32_t carry = 2;  // sort control: carry the companion

    aisort(ctyp.names, ctyp.counts, ctyp.nused, carry);
    show_line("Sorted by Spectral Type");
    std::int32_t total = 0;
    for (std::int32_t i = 2; i <= ctyp.nused; ++i) {
        show_entry(i);
        total += ctyp.counts[i - 1];
    }

    // Equal counts end in the order this sort's exchanges leave them, starting
    // from code order; that order is part of the report.
    iasort(ctyp.counts, ctyp.names, ctyp.nused, carry);
    show_line("Sorted by Frequency");
    for (std::int32_t i = 2; i <= ctyp.nused; ++i) show_entry(i);

    // "passed": every star but those of the most frequent code.
    con_begin();
    con_text("# spec. types=");
    con_int(ctyp.nused);
    con_text(", total stars=");
    con_int(total);
    con_text(" (");
    con_int(total - ctyp.counts[ctyp.nused - 1]);
    con_text(" passed)");
    con_end();
}
