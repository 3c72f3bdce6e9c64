// Writing fixed-format numeric fields: D23.17, Fw.d, I6.6, I1.
//
// The digits are the C library's: correct rounding, ties to even, of the
// exact binary value, as printf's "%#.*E" and "%#.*f" give them. For the
// values a catalogue holds they come from exact 128-bit integer arithmetic
// (the value times a power of ten, rounded once); the rest goes through
// std::to_chars with a precision, which rounds the same way. The tests hold
// both to printf's text over millions of values of every magnitude.

#include "textio.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A text right-aligned in a field of w characters.
void right_align(const char* s, int n, int w, char* out) {
    if (n > w) {
        std::memset(out, '*', static_cast<std::size_t>(w));
        return;
    }
    std::memset(out, ' ', static_cast<std::size_t>(w - n));
    std::memcpy(out + (w - n), s, static_cast<std::size_t>(n));
}

__extension__ typedef unsigned __int128 u128;

// Powers of ten that are exact doubles.
constexpr double exact_p10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t p10_17 = 100000000000000000ULL;  // 10^17
constexpr std::uint64_t p10_16 = 10000000000000000ULL;   // 10^16

// 5^q for q = 0..55 (5^55 < 2^128).
struct Pow5 {
    u128 v[56];
    constexpr Pow5() : v() {
        v[0] = 1;
        for (int i = 1; i < 56; ++i) v[i] = v[i - 1] * 5;
    }
};
constexpr Pow5 pow5;

// round(a x 10^p) to the nearest integer, ties to even, for a = m x 2^e
// exactly, when the arithmetic fits in 128 bits; false when it does not.
inline bool scaled_round(std::uint64_t m, int e, int p, std::uint64_t& n) {
    // The common case first: m x 5^p in 128 bits, then a right shift by
    // 1 to 63 that leaves a result below 2^64.
    if (p >= 0 && p <= 27 && e + p < 0 && e + p > -64) {
        const u128 num = static_cast<u128>(m) * static_cast<std::uint64_t>(pow5.v[p]);
        const int sh = -(e + p);
        const std::uint64_t hi = static_cast<std::uint64_t>(num >> 64), lo = static_cast<std::uint64_t>(num);
        if (hi >> sh == 0) {
            std::uint64_t q = (lo >> sh) | (hi << 1 << (63 - sh));
            const std::uint64_t r = lo & ((std::uint64_t{1} << sh) - 1);
            const std::uint64_t half = std::uint64_t{1} << (sh - 1);
            q += static_cast<unsigned>(r > half) | (static_cast<unsigned>(r == half) & static_cast<unsigned>(q & 1));
            n = q;
            return true;
        }
    }
    u128 num;
    int shift;  // the result is num x 2^shift (before the division, if any)
    u128 den = 1;
    if (p >= 0) {
        if (p > 32) return false;  // m x 5^p must stay below 2^128
        num = static_cast<u128>(m) * pow5.v[p];
        shift = e + p;
    } else {
        if (-p > 55) return false;
        den = pow5.v[-p];
        num = m;
        shift = e + p;
    }
    if (shift > 0) {
        if (shift > 126 || num >> (127 - shift) != 0) return false;  // must stay below 2^127
        num <<= shift;
    } else if (shift < 0) {
        if (-shift > 120) return false;
        // Fold the binary fraction into the divisor when it fits.
        if (den != 1) {
            if (den >> (127 + shift) != 0) return false;
            den <<= -shift;
        } else {
            u128 q = num >> -shift;
            u128 r = num - (q << -shift);
            u128 half = static_cast<u128>(1) << (-shift - 1);
            q += static_cast<unsigned>(r > half) | (static_cast<unsigned>(r == half) & static_cast<unsigned>(q & 1));
            if (q >> 64) return false;
            n = static_cast<std::uint64_t>(q);
            return true;
        }
    }
    u128 q = num / den;
    u128 r = num - q * den;
    q += static_cast<unsigned>(2 * r > den) | (static_cast<unsigned>(2 * r == den) & static_cast<unsigned>(q & 1));
    if (q >> 64) return false;
    n = static_cast<std::uint64_t>(q);
    return true;
}

// Eight decimal digits of x < 10^8, with leading zeros, computed in lanes of
// one machine word: two halves of four digits, four pairs, eight digits.
inline void put8(char* out, std::uint32_t x) {
    std::uint64_t y = (x / 10000) | static_cast<std::uint64_t>(x % 10000) << 32;
    std::uint64_t q = ((y * 5243) >> 19) & 0x0000007F0000007FULL;  // lane / 100, lanes below 10^4
    std::uint64_t z = q | (y - q * 100) << 16;
    std::uint64_t t = ((z * 103) >> 10) & 0x000F000F000F000FULL;  // lane / 10, lanes below 100
    std::uint64_t w = (t | (z - t * 10) << 8) | 0x3030303030303030ULL;
    std::memcpy(out, &w, 8);  // little-endian: the first digit in the lowest byte
}

// The 17 significant digits of a > 0, correctly rounded, and the decimal
// exponent of the fraction form 0.d1...d17. False when the exact integer
// arithmetic cannot do it; the caller then asks the C++ library.
bool digits17(double a, char* digits, int& e10) {
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    int be = static_cast<int>(bits >> 52);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    if (be == 0) return false;  // subnormal: rare, leave it to the library
    m |= std::uint64_t{1} << 52;
    int e = be - 1075;  // a = m x 2^e
    // k: decimal exponent with 10^(k-1) <= a < 10^k, first guessed from the
    // binary exponent (log10(2) = 0.30103...), then corrected.
    // floor(x log10(2)) = (x x 78913) >> 18 for |x| < 1700 (78913 / 2^18 is
    // log10(2) to the precision that needs); the shift rounds down.
    int k = (((be - 1023) * 78913) >> 18) + 1;
    if (k >= 0 && k <= 22 && a >= exact_p10[k]) ++k;  // exact for a >= 1
    std::uint64_t n = 0;
    for (int tries = 0; tries < 3; ++tries) {
        if (!scaled_round(m, e, 17 - k, n)) return false;
        if (n >= p10_17) {
            ++k;  // too many digits, or rounded up to the next power
            continue;
        }
        if (n < p10_16) {
            --k;
            continue;
        }
        break;
    }
    if (n < p10_16 || n >= p10_17) return false;
    // The first digit, then two runs of eight that do not wait on each other.
    std::uint64_t hi = n / 100000000;  // nine digits
    std::uint32_t lo = static_cast<std::uint32_t>(n % 100000000);
    digits[0] = static_cast<char>('0' + hi / 100000000);
    put8(digits + 1, static_cast<std::uint32_t>(hi % 100000000));
    put8(digits + 9, lo);
    e10 = k;
    return true;
}

// round(a x 10^d), ties to even, on the exact value of a >= 0: the digits
// of "%#.*f" without the point. False when that cannot be done exactly.
bool round_fixed(double a, int d, std::uint64_t& n) {
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    int be = static_cast<int>(bits >> 52);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    if (be != 0) m |= std::uint64_t{1} << 52;
    int e = (be != 0 ? be : 1) - 1075;
    return scaled_round(m, e, d, n);
}

}  // namespace

// D23.17: sign or leading zero, point, 17 digits, then E, the exponent's sign
// and two digits, or (for exponents of three digits) the sign and three
// digits in place of the letter. The value is 0.d1d2...d17 x 10^e.
void wr_d23_17(double v, char* out) {
    if (!std::isfinite(v)) {
        // NaN without a sign, an infinity with its minus sign: printf's text.
        const char* t = std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
        right_align(t, static_cast<int>(std::strlen(t)), 23, out);
        return;
    }
    bool neg = v < 0;
    double a = std::fabs(v);
    char t[40];
    int e10 = 0;
    if (a == 0.0) {
        std::memset(t, '0', 17);
    } else if (!digits17(a, t, e10)) {
        // "d.dddddddddddddddde+XX": 17 significant digits, correctly rounded
        auto r = std::to_chars(t + 1, t + sizeof t, a, std::chars_format::scientific, 16);
        // t[1] is the first digit, t[2] the point, t[3..18] the other 16
        t[0] = t[1];
        std::memmove(t + 1, t + 3, 16);
        const char* ep = t + 20;  // after 'e'
        bool eneg = *ep == '-';
        int e = 0;
        for (const char* p = ep + 1; p < r.ptr; ++p) e = e * 10 + (*p - '0');
        e10 = (eneg ? -e : e) + 1;
    }
    out[0] = neg ? '-' : '0';
    out[1] = '.';
    std::memcpy(out + 2, t, 17);
    int e = e10 < 0 ? -e10 : e10;
    char es = e10 < 0 ? '-' : '+';
    if (e <= 99) {
        out[19] = 'E';
        out[20] = es;
        out[21] = static_cast<char>('0' + e / 10);
        out[22] = static_cast<char>('0' + e % 10);
    } else {
        out[19] = es;
        out[20] = static_cast<char>('0' + e / 100);
        out[21] = static_cast<char>('0' + e / 10 % 10);
        out[22] = static_cast<char>('0' + e % 10);
    }
}

// Fw.d: the fixed-point text of the exact single-precision value with d
// decimals, a minus sign unless the text is all zeros, right-aligned; w
// asterisks when it does not fit.
void wr_f(float v, int w, int d, char* out) {
    double a = static_cast<double>(v);
    bool neg = std::signbit(a);
    if (neg) a = -a;
    std::uint64_t n;
    if (a < 1e9 && d <= 9 && round_fixed(a, d, n)) {
        // From the right: d decimals, the point, the integer digits (at
        // least one), the sign unless every digit is zero; asterisks when
        // that does not fit in w.
        int pos = w;
        bool any = n != 0;
        for (int i = 0; i < d && pos > 0; ++i, n /= 10) out[--pos] = static_cast<char>('0' + n % 10);
        if (pos > 0) out[--pos] = '.';
        do {
            if (pos == 0) {
                pos = -1;
                break;
            }
            out[--pos] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n > 0);
        if (pos >= 0 && neg && any) {
            if (pos == 0) pos = -1;
            else out[--pos] = '-';
        }
        if (pos < 0) {
            std::memset(out, '*', static_cast<std::size_t>(w));
            return;
        }
        std::memset(out, ' ', static_cast<std::size_t>(pos));
        return;
    }
    char t[64];
    int len;
    t[0] = '-';
    if (std::isfinite(a)) {
        auto r = std::to_chars(t + 1, t + sizeof t, a, std::chars_format::fixed, d);
        len = static_cast<int>(r.ptr - (t + 1));
        if (d == 0) t[1 + len++] = '.';  // the '#' flag keeps the point
    } else {
        len = std::snprintf(t + 1, sizeof t - 1, "%#.*f", d, a);
    }
    bool all_zero = true;
    for (int i = 1; i <= len; ++i)
        if (t[i] != '0' && t[i] != '.') all_zero = false;
    if (neg && !all_zero && !std::isnan(a))
        right_align(t, len + 1, w, out);
    else
        right_align(t + 1, len, w, out);
}

namespace {

constexpr float exact_p10f[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The digits of a > 0 (a normal double) rounded to `digits` significant
// ones (at most 17), trailing zeros dropped: a = m x 10^e10 in that
// rounding. False when the exact arithmetic cannot do it.
bool round_digits(double a, int digits, std::uint64_t& m, int& e10) {
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int be = static_cast<int>(bits >> 52);
    if (be == 0) return false;
    const std::uint64_t mant = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    const int e = be - 1075;
    static constexpr std::uint64_t p10[18] = {1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL,
                                              10000000ULL, 100000000ULL, 1000000000ULL, 10000000000ULL,
                                              100000000000ULL, 1000000000000ULL, 10000000000000ULL,
                                              100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL,
                                              100000000000000000ULL};
    // 10^(k-1) <= a < 10^k, first guessed from the binary exponent.
    int k = (((be - 1023) * 78913) >> 18) + 1;
    std::uint64_t n = 0;
    for (int tries = 0;; ++tries) {
        if (tries == 3 || !scaled_round(mant, e, digits - k, n)) return false;
        if (n >= p10[digits]) ++k;
        else if (n < p10[digits - 1]) --k;
        else break;
    }
    e10 = k - digits;
    while (n % 10 == 0) {
        n /= 10;
        ++e10;
    }
    m = n;
    return true;
}

// m x 10^e10 (m of len digits, no trailing zero) as std::to_chars writes a
// value without a format: fixed or scientific, whichever is shorter, fixed
// on a tie; the scientific exponent with a sign and at least two digits.
// A whole number in fixed form is written with all its exact digits, not the
// shortest ones and zeros: nullptr when that is not m x 10^e10 below
// `exact_below` (2^53, 2^24: every whole number below is exact).
char* put_shortest(bool neg, std::uint64_t m, int e10, double exact_below, char* out) {
    char d[20];
    int len = 0;
    for (std::uint64_t v = m; v > 0; v /= 10) d[len++] = static_cast<char>('0' + v % 10);
    // d holds the digits last first.
    const int point = e10 + len;  // digits before the point (negative: zeros after it)
    const int x = point - 1;      // the scientific exponent
    const int ax = x < 0 ? -x : x;
    const int sci = len + (len > 1) + 2 + (ax >= 100 ? 3 : 2);
    const int fixed = point <= 0 ? 2 - point + len : point < len ? len + 1 : point;
    if (fixed <= sci && e10 > 0 && static_cast<double>(m) * exact_p10[e10 < 22 ? e10 : 22] >= exact_below)
        return nullptr;
    char* p = out;
    if (neg) *p++ = '-';
    if (fixed <= sci) {
        if (point <= 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -point; ++i) *p++ = '0';
            for (int i = len - 1; i >= 0; --i) *p++ = d[i];
        } else {
            for (int i = len - 1, at = 0; i >= 0; --i, ++at) {
                if (at == point) *p++ = '.';
                *p++ = d[i];
            }
            for (int i = len; i < point; ++i) *p++ = '0';
        }
        return p;
    }
    *p++ = d[len - 1];
    if (len > 1) {
        *p++ = '.';
        for (int i = len - 2; i >= 0; --i) *p++ = d[i];
    }
    *p++ = 'e';
    *p++ = x < 0 ? '-' : '+';
    if (ax >= 100) *p++ = static_cast<char>('0' + ax / 100);
    *p++ = static_cast<char>('0' + ax / 10 % 10);
    *p++ = static_cast<char>('0' + ax % 10);
    return p;
}

}  // namespace

namespace {

// A value with a decimal of at most Digits significant digits (15 for a
// double, 6 for a float) that reads back as itself has that decimal as its
// only shortest text: no other decimal of so few digits reads as the same
// value. It is found by exact integer arithmetic and read back by one
// correctly rounded operation of the value's own type (m and 10^|e10|
// exact in it); any other value goes to the library.
template <typename T, int Digits, int MaxExp, typename P10>
char* shortest(T v, const P10& p10, double exact_below, char* out) {
    const T a = std::fabs(v);
    std::uint64_t m;
    int e10;
    if (std::isfinite(v) && v != 0 && round_digits(a, Digits, m, e10) && e10 >= -MaxExp && e10 <= MaxExp) {
        const T x = static_cast<T>(m);
        if ((e10 >= 0 ? x * p10[e10] : x / p10[-e10]) == a)
            if (char* end = put_shortest(v < 0, m, e10, exact_below, out)) return end;
    }
    return std::to_chars(out, out + 32, v).ptr;
}

}  // namespace

char* wr_shortest(double v, char* out) { return shortest<double, 15, 22>(v, exact_p10, 9007199254740992.0, out); }
char* wr_shortest(float v, char* out) { return shortest<float, 6, 10>(v, exact_p10f, 16777216.0, out); }

void wr_i6_6(std::int32_t v, char* out) {
    if (v < 0 || v > 999999) {
        std::memset(out, '*', 6);
        return;
    }
    char t[8];
    put8(t, static_cast<std::uint32_t>(v));
    std::memcpy(out, t + 2, 6);
}

void wr_i1(std::int32_t v, char* out) { out[0] = v >= 0 && v <= 9 ? static_cast<char>('0' + v) : '*'; }
