// The paired sorts: `aisort` (text keys, integer companions) and `iasort`
// (integer keys, text companions).
//
// Both are R. C. Singleton's iterative quicksort, written once below as a
// template over the key and companion slots. The steps are followed exactly
// (the stepping of the fraction R, the pivot position, the median-of-three
// exchanges, scans that stop on equal keys, the stack of pending segments and
// the insertion finish), because the final order of equal keys depends on
// them and the spectral type report prints that order.
//
// Positions are numbered from 1 as in the algorithm; the slot helpers map
// position p onto array element p - 1.

#include <cstdint>
#include <cstring>

#include "stats.h"
#include "textio.h"

namespace {

// One slot kind: how to copy a value out of and into an array position, and
// how an array entry compares with a held value.

struct IntSlot {
    using Arr = std::int32_t*;
    using Val = std::int32_t;
    static void get(Val& v, Arr a, std::int32_t p) { v = a[p - 1]; }
    static void put(Arr a, std::int32_t p, const Val& v) { a[p - 1] = v; }
    // Signed integer comparison: <0, 0, >0.
    static int cmp(Arr a, std::int32_t p, const Val& v) {
        return a[p - 1] < v ? -1 : (a[p - 1] > v ? 1 : 0);
    }
};

struct TextSlot {
    using Arr = char (*)[5];
    struct Val {
        char c[5];
    };
    static void get(Val& v, Arr a, std::int32_t p) { std::memcpy(v.c, a[p - 1], 5); }
    static void put(Arr a, std::int32_t p, const Val& v) { std::memcpy(a[p - 1], v.c, 5); }
    // Byte by byte as unsigned character codes, first difference decides;
    // memcmp compares exactly so.
    static int cmp(Arr a, std::int32_t p, const Val& v) { return std::memcmp(a[p - 1], v.c, 5); }
};

// Exchange positions a and b of an array of slot kind S.
template <class S>
void swap_at(typename S::Arr a, std::int32_t p, std::int32_t q) {
    typename S::Val u, w;
    S::get(u, a, p);
    S::get(w, a, q);
    S::put(a, p, w);
    S::put(a, q, u);
}

const char msg_n[] = "The number of values to be sorted is not positive.";
const char msg_k[] = "The sort control parameter, K, is not 2, 1, -1, or -2.";
const char msg_neg[] = "? NEG KFLAG doesnt work for chars";

void message(const char* s) {
    con_begin();
    con_text(s);
    con_end();
}

enum : int { NSTACK = 21 };  // pending segments; enough for any n below 2**21

// Sort keys x(1..n) ascending, carrying y along when k is +-2.
template <class KS, class CS>
void singleton_sort(typename KS::Arr x, typename CS::Arr y, const std::int32_t& n,
                    const std::int32_t& k) {
    // Checks, in this order; the error cases change nothing.
    if (n <= 0) {
        message(msg_n);
        return;
    }
    if (!(k == 1 || k == -1 || k == 2 || k == -2)) {
        message(msg_k);
        return;
    }
    if (k <= -1) message(msg_neg);  // warns, then sorts ascending all the same
    const bool carry = (k == 2 || k == -2);

    // Exchange positions a and b: the keys, and the companions when carrying.
    auto exchange = [&](std::int32_t a, std::int32_t b) {
        swap_at<KS>(x, a, b);
        if (carry) swap_at<CS>(y, a, b);
    };

    std::int32_t il[NSTACK], iu[NSTACK];  // pending segments, entry m at [m - 1]
    std::int32_t m = 1, i = 1, j = n;
    std::int32_t p, q, ij;
    typename KS::Val t;
    typename CS::Val ty;
    float r = 0.375f;

top:
    if (i == j) goto pop;
    if (r <= 0.5898437f)
        r = r + 0.0390625f;
    else
        r = r - 0.21875f;

partition:
    p = i;
    // (j - i) * r is exact in double; truncation toward zero.
    ij = i + static_cast<std::int32_t>(static_cast<double>(j - i) * static_cast<double>(r));
    KS::get(t, x, ij);
    // Median of three: x(i) <= t <= x(j) afterwards.
    if (KS::cmp(x, i, t) > 0) {
        exchange(i, ij);
        KS::get(t, x, ij);
    }
    q = j;
    if (KS::cmp(x, j, t) < 0) {
        exchange(j, ij);
        KS::get(t, x, ij);
        if (KS::cmp(x, i, t) > 0) {
            exchange(i, ij);
            KS::get(t, x, ij);
        }
    }
    // The scans stop on keys equal to t; the bounding entries stop them, so no
    // index test is needed.
    for (;;) {
        do --q; while (KS::cmp(x, q, t) > 0);
        do ++p; while (KS::cmp(x, p, t) < 0);
        if (p > q) break;
        exchange(p, q);
    }
    // Stack the longer part (the right one when equal), go on with the shorter.
    if (q - i > j - p) {
        il[m - 1] = i;
        iu[m - 1] = q;
        i = p;
    } else {
        il[m - 1] = p;
        iu[m - 1] = j;
        j = q;
    }
    ++m;

check:
    if (j - i >= 1) goto partition;
    if (i == 1) goto top;

    // Insertion finish over i..j. Only one-entry segments arrive here, so it
    // ends at once; it is kept as the algorithm has it.
    --i;
    for (;;) {
        ++i;
        if (i == j) break;
        KS::get(t, x, i + 1);
        if (KS::cmp(x, i, t) <= 0) continue;
        if (carry) CS::get(ty, y, i + 1);
        // Entries left of the segment are not greater than t; the bound on
        // position 1 only guards the array.
        std::int32_t s = i;
        do {
            typename KS::Val v;
            KS::get(v, x, s);
            KS::put(x, s + 1, v);
            if (carry) {
                typename CS::Val w;
                CS::get(w, y, s);
                CS::put(y, s + 1, w);
            }
            --s;
        } while (s >= 1 && KS::cmp(x, s, t) > 0);
        KS::put(x, s + 1, t);
        if (carry) CS::put(y, s + 1, ty);
    }

pop:
    --m;
    if (m == 0) return;
    i = il[m - 1];
    j = iu[m - 1];
    goto check;
}

}  // namespace

void aisort(char (*x)[5], std::int32_t* y, const std::int32_t& n, const std::int32_t& k) {
    singleton_sort<TextSlot, IntSlot>(x, y, n, k);
}

void iasort(std::int32_t* x, char (*y)[5], const std::int32_t& n, const std::int32_t& k) {
    singleton_sort<IntSlot, TextSlot>(x, y, n, k);
}
