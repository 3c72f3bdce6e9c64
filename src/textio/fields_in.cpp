// Reading fixed-format numeric fields: Fw.d, Dw.d (reals) and Iw (integers).
//
// A real field is scanned once into its sign, digit string, point position
// and exponent; blanks are skipped wherever they stand and a comma ends the
// field. The decimal value is then converted exactly: the digits are laid
// out as "d...de<exp>" in a small buffer and std::from_chars gives the
// nearest double. A single-precision target rounds that double.
//
// The shapes programs write (a sign, digits and a point, maybe a short
// exponent; no blank, no comma) are read first by faster ways that give the
// same nearest double: from the 16 characters in one SSE2 register for up
// to 16 characters, from two such loads for 17 to 20, and by scan_run for
// the rest of that shape; where they cannot be sure of the rounding they
// leave the field to the full rules.

#include "textio.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int exp_limit = 100000;  // beyond any double: saturate, never overflow

// Powers of ten that are exact doubles.
constexpr double exact_p10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The nearest double to digits x 10^e10 (digits: nd characters, no leading zero).
double to_double(const char* digits, int nd, std::uint64_t m, long e10) {
    // Both m and 10^|e10| exact doubles: one correctly rounded operation
    // gives the nearest double.
    if (nd <= 19 && m <= (std::uint64_t{1} << 53) && e10 >= -22 && e10 <= 22) {
        double x = static_cast<double>(m);
        return e10 >= 0 ? x * exact_p10[e10] : x / exact_p10[-e10];
    }
    char buf[64];
    std::memcpy(buf, digits, static_cast<std::size_t>(nd));
    int n = nd;
    buf[n++] = 'e';
    auto r = std::to_chars(buf + n, buf + sizeof buf - 1, e10);
    n = static_cast<int>(r.ptr - buf);
    double x;
    auto res = std::from_chars(buf, buf + n, x);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large: an infinity; too small: the nearest, zero or subnormal.
        buf[n] = '\0';
        x = std::strtod(buf, nullptr);
    }
    return x;
}

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

constexpr std::uint64_t pow10_u64[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The value of k digit characters (0 <= k <= 8) in the low bytes of x
// (little-endian: the first character in the lowest byte); what lies above
// them is ignored.
inline std::uint64_t digits_value(std::uint64_t x, int k) {
    // Each byte less '0'; a borrow from a byte above the digits stays above.
    std::uint64_t d = x - 0x3030303030303030ULL;
    // The k digits to the top, zeros (leading zeros) below them.
    d = k > 0 ? d << (8 * (8 - k)) : 0;
    d = d * 10 + (d >> 8);
    return (((d & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((d >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >> 32;
}

// Consume a run of digits at p into m (m = m x 10^k + digits), eight
// characters at a time where eight can be loaded. Returns the new p.
inline const char* digit_run(const char* p, const char* end, std::uint64_t& m) {
    while (end - p >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);  // little-endian: p[0] is the low byte
        std::uint64_t t = v ^ 0x3030303030303030ULL;  // a digit becomes 0..9
        // A byte is no digit when its high nibble is set, or its low
        // nibble plus 6 carries (10..15).
        std::uint64_t bad = (t & 0xF0F0F0F0F0F0F0F0ULL) | (((t & 0x0F0F0F0F0F0F0F0FULL) + 0x0606060606060606ULL) & 0x1010101010101010ULL);
        std::uint64_t nz = (((bad & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | bad) & 0x8080808080808080ULL;
        int k = nz ? __builtin_ctzll(nz) / 8 : 8;  // digits at the front
        if (k == 0) return p;
        m = m * pow10_u64[k] + digits_value(v, k);
        p += k;
        if (k < 8) return p;
    }
    while (p < end && is_digit(*p)) m = m * 10 + static_cast<unsigned>(*p++ - '0');
    return p;
}

// The common shape of a number, written by a program: an optional sign,
// digits with at most one point, an optional exponent with a letter, in the
// characters [p, end) (at least one). Returns false for anything else
// (blanks, commas, an exponent without a letter, errors), which scan_real
// then reads by the full rules.
inline bool scan_run(const char* p, const char* end, int d, double& v) {
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    std::uint64_t m = 0;
    int nd = 0, frac = 0;
    const char* first = p;
    while (p < end && *p == '0') ++p;  // leading zeros
    const char* digits = p;
    if (p < end && is_digit(*p)) p = digit_run(p, end, m);
    nd = static_cast<int>(p - digits);
    bool point = p < end && *p == '.';
    if (point) {
        ++p;
        const char* q = p;
        if (nd == 0) {  // zeros right after the point are leading zeros too
            while (p < end && *p == '0') ++p;
            digits = p;
        }
        const char* r = p;
        p = digit_run(p, end, m);
        frac = static_cast<int>(p - q);
        if (nd == 0) nd = static_cast<int>(p - r);
        else nd += static_cast<int>(p - r);
        if (p == first + 1) return false;  // a point alone: the full rules
    } else if (p == first) {
        return false;  // no digit at all
    }
    if (nd > 19) return false;
    long e = 0;
    if (p < end) {
        char c = *p;
        if (c != 'e' && c != 'E' && c != 'd' && c != 'D') return false;
        ++p;
        bool eneg = false;
        if (p < end && (*p == '-' || *p == '+')) eneg = *p++ == '-';
        const char* q = p;
        while (p < end && is_digit(*p) && p - q < 5) e = e * 10 + (*p++ - '0');
        if (p == q || p != end) return false;
        if (eneg) e = -e;
    }
    if (m == 0) {
        v = neg ? -0.0 : 0.0;
        return true;
    }
    // Without a point the last d digits are the fraction. m and 10^|e10|
    // exact doubles: one correctly rounded operation gives the nearest.
    long e10 = e - (point ? frac : d);
    if (m <= (std::uint64_t{1} << 53) && e10 >= -22 && e10 <= 22) {
        double x = static_cast<double>(m);
        x = e10 >= 0 ? x * exact_p10[e10] : x / exact_p10[-e10];
        v = neg ? -x : x;
        return true;
    }
    return false;
}

#if defined(__SSE2__)
__extension__ typedef unsigned __int128 u128;

// 10^-k as a 64-bit fraction for 1 <= k <= 22: frac = floor(2^(63 + e) / 10^k)
// with 2^(e-1) < 10^k < 2^e, so that 2^63 <= frac < 2^64. Worked out by
// long division when the program is compiled.
struct Reciprocal {
    std::uint64_t frac;
    int e;
};
struct Reciprocals {
    Reciprocal r[23];
};
constexpr Reciprocals make_reciprocals() {
    Reciprocals t{};
    u128 d = 1;
    for (int k = 1; k <= 22; ++k) {
        d *= 10;
        int e = 0;
        while ((u128{1} << e) < d) ++e;
        u128 r = u128{1} << e;  // d <= r < 2d: the quotient's first bit is 1
        std::uint64_t q = 0;
        for (int i = 63; i >= 0; --i) {
            if (r >= d) {
                q |= std::uint64_t{1} << i;
                r -= d;
            }
            r <<= 1;
        }
        t.r[k] = Reciprocal{q, e};
    }
    return t;
}
constexpr Reciprocals reciprocals = make_reciprocals();

// The nearest double to m / 10^k for m >= 1 and 1 <= k <= 22, for m beyond
// 2^53 where m itself is no exact double. With w = m shifted to its top bit,
// w x frac <= w x 2^(63+e) / 10^k < w x frac + w: the exact quotient lies in
// a range of width w < 2^64 above the 128-bit product, whose top 53 bits are
// the significand. Only where that range reaches the halfway point between
// two doubles from below (about one value in a thousand, among them every
// exact tie) is the rounding undecided: false, and the caller reads the
// value the long way.
inline bool quotient_p10(std::uint64_t m, int k, double& x) {
    const int z = __builtin_clzll(m);
    const std::uint64_t w = m << z;
    const Reciprocal& rc = reciprocals.r[k];
    const u128 prod = static_cast<u128>(w) * rc.frac;
    const std::uint64_t hi = static_cast<std::uint64_t>(prod >> 64), lo = static_cast<std::uint64_t>(prod);
    const int top = static_cast<int>(hi >> 63);  // the product's top bit: 127 (1) or 126 (0)
    const int half = 9 + top;                    // where the first bit below the significand stands in hi
    const std::uint64_t below = hi & ((std::uint64_t{1} << half) - 1);
    const std::uint64_t round = (hi >> half) & 1;
    if (!round && below == (std::uint64_t{1} << half) - 1 && lo + w < lo) return false;
    // Past halfway (the quotient is never the product itself: 10^k is no
    // power of two) it rounds up, below it down; 2^53 after the carry is
    // exact too.
    const double sig = static_cast<double>(static_cast<std::int64_t>((hi >> (half + 1)) + round));
    // The quotient is sig x 2^(11 + top - z - e), a power of two between
    // 2^-126 and 2^8: a normal double, and the product exact.
    const std::uint64_t scale_bits = static_cast<std::uint64_t>(1023 + 11 + top - z - rc.e) << 52;
    double scale;
    std::memcpy(&scale, &scale_bits, sizeof scale);
    x = sig * scale;
    return true;
}

// The bytes [0, k) all ones, the rest zero (0 <= k <= 16): 16 bytes loaded
// from a sliding window.
alignas(32) constexpr unsigned char ones_then_zeros[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline __m128i first_bytes(std::size_t k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(ones_then_zeros + 16 - k));
}

// The 16 bytes of z, each a digit value 0 to 9, as one 16-digit number (the
// first byte the highest digit). In a 16-bit lane a + 256 b, times 0x0A01,
// the high byte is 10 a + b (no carry: the digits are below 10); then
// fours and eights of digits by multiply-and-add.
inline std::uint64_t digits16(__m128i z) {
    __m128i v = _mm_srli_epi16(_mm_mullo_epi16(z, _mm_set1_epi16(0x0A01)), 8);  // pairs
    v = _mm_madd_epi16(v, _mm_set1_epi32(100 | 1 << 16));  // four digits a lane, below 10^4
    v = _mm_packs_epi32(v, v);
    v = _mm_madd_epi16(v, _mm_set1_epi32(10000 | 1 << 16));  // eight digits a lane
    const std::uint64_t x = static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
    return (x & 0xFFFFFFFFu) * 100000000u + (x >> 32);
}

// The inverses of the powers of five modulo 2^64: n x 10^t divided by 10^t
// is ((n x 10^t) >> t) x inv5_pow.v[t].
struct Inverses {
    std::uint64_t v[17];
};
constexpr Inverses make_inverses() {
    Inverses t{};
    const std::uint64_t inv5 = 0xCCCCCCCCCCCCCCCDULL;  // 5 x inv5 = 1 modulo 2^64
    t.v[0] = 1;
    for (int i = 1; i <= 16; ++i) t.v[i] = t.v[i - 1] * inv5;
    return t;
}
constexpr Inverses inv5_pow = make_inverses();

// The powers of ten that are exact doubles, each also with the minus sign,
// by the index 2 (k + 22) + neg for 10^|k| (k from -22 to 22): dividing by
// the power for k > 0, multiplying for k <= 0 (an index up to 45), gives
// the value m / 10^k its sign at once. Rounding to nearest is the same on
// either side of zero, and a zero gets the sign of the power.
struct SignedPowers {
    double v[90];
};
constexpr SignedPowers make_signed_powers() {
    SignedPowers t{};
    for (int k = -22; k <= 22; ++k) {
        t.v[2 * (k + 22)] = exact_p10[k < 0 ? -k : k];
        t.v[2 * (k + 22) + 1] = -exact_p10[k < 0 ? -k : k];
    }
    return t;
}
constexpr SignedPowers signed_p10 = make_signed_powers();
constexpr int no_sign_index = 2 * 22;  // the index of 10^0 without the sign

// m / 10^k with the sign by its index i = 2 (k + 22) + neg (0 <= i < 90),
// m and 10^|k| exact doubles: one correctly rounded operation.
inline double signed_quotient(std::uint64_t m, unsigned i) {
    const double x = static_cast<double>(static_cast<std::int64_t>(m));
    return i <= no_sign_index + 1 ? x * signed_p10.v[i] : x / signed_p10.v[i];
}

// The value m / 10^k (0 <= k <= 22) with the sign neg: one correctly
// rounded operation while m is an exact double, else by quotient_p10 for
// k > 0; false where neither way reaches the value.
inline bool signed_value(std::uint64_t m, int k, bool neg, double& v) {
    if (m <= std::uint64_t{1} << 53) {
        v = signed_quotient(m, static_cast<unsigned>(2 * k + no_sign_index + neg));
        return true;
    }
    double x;
    if (k <= 0 || !quotient_p10(m, k, x)) return false;
    v = neg ? -x : x;
    return true;
}

// The common shape of a number written by a program, of 1 to 16 characters
// at p with 16 readable there: an optional sign, digits with at most one
// point, an optional exponent of a letter, an optional sign and one to four
// digits. Its characters are sorted by bit masks, with one branch, on
// whether there is an exponent (the same from star to star in a column).
// The mantissa's digits are taken in place in the 16-byte register:
// everything else made zero and the digits before the point moved one
// place on over it, they read as one 16-digit number, the digits followed
// by as many zeros as the mantissa's end tells; at most 15 digits, an exact
// double. False for anything else, which scan_run then reads. When point is
// given, it is told whether the number has a decimal point.
__attribute__((always_inline)) inline bool scan_short(const char* p, int len, int d, double& v, bool* point) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i t = _mm_sub_epi8(b, _mm_set1_epi8('0'));
    const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t);
    // Masks of the digits and the points; the characters from len on do
    // not count, the mantissa ends at len at the latest.
    const unsigned dig = static_cast<unsigned>(_mm_movemask_epi8(is_digit));
    const unsigned dot = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, _mm_set1_epi8('.'))));
    const unsigned char c0 = static_cast<unsigned char>(p[0]);
    const unsigned s = (c0 == '-') | (c0 == '+');  // characters of the sign
    const std::size_t me = static_cast<unsigned>(__builtin_ctz(~(dig | dot | s) | 1u << len));  // the mantissa's end
    const unsigned mant = (1u << me) - 1;
    const unsigned mdot = dot & mant;
    const std::size_t dp = static_cast<unsigned>(__builtin_ctz(mdot | (mant + 1)));  // the point, or the mantissa's end
    const unsigned has_point = mdot != 0;
    // The digits end at me after a point, else at me + 1 (the digits before
    // the point move one place on), then zeros to 16: at least none.
    const std::size_t zeros = 15 - me + has_point;
    // One point at most, a digit.
    if ((mdot & (mdot - 1)) != 0 || (dig & mant) == 0 || zeros > 15) return false;
    // The mantissa's digits, everything else zero, those before the point
    // one place on.
    __m128i z = _mm_and_si128(_mm_and_si128(t, is_digit), first_bytes(me));
    const __m128i before = first_bytes(dp);
    z = _mm_or_si128(_mm_andnot_si128(before, z), _mm_slli_si128(_mm_and_si128(z, before), 1));
    const std::uint64_t m = (digits16(z) >> zeros) * inv5_pow.v[zeros];
    // The value is m / 10^k; i, the index of its signed power.
    const int k = has_point ? static_cast<int>(me - dp - 1) : d;
    unsigned i = static_cast<unsigned>(2 * k + no_sign_index) + (c0 == '-');
    if (me != static_cast<unsigned>(len)) {
        // The exponent: a letter, an optional sign, one to four digits up to
        // the end.
        const char letter = static_cast<char>(p[me] | 0x20);
        const char c1 = p[(me + 1) & 15];
        const std::size_t es = me + 1 + ((c1 == '-') | (c1 == '+'));
        const std::size_t n3 = static_cast<unsigned>(len) - es;
        const unsigned live = (1u << len) - 1;
        if (((letter != 'e') & (letter != 'd')) | (n3 - 1 > 3) | ((live & ~dig) >> es != 0)) return false;
        unsigned e;
        if (n3 <= 2) {
            // The last two characters less '0', of them only the n3 digits.
            std::uint16_t x;
            std::memcpy(&x, p + len - 2, sizeof x);
            const std::uint16_t keep = n3 == 2 ? 0xFFFF : 0xFF00;
            x = static_cast<std::uint16_t>((x & keep) - (0x3030 & keep));
            e = (x & 0xFFu) * 10 + (x >> 8);
        } else {
            // Three or four digits ("e+005"): the last four characters, as
            // two pairs.
            std::uint32_t x;
            std::memcpy(&x, p + len - 4, sizeof x);
            const std::uint32_t keep = n3 == 4 ? ~0u : 0xFFFFFF00u;
            x = (x & keep) - (0x30303030u & keep);
            x = (x * 10 + (x >> 8)) & 0x00FF00FFu;
            e = (x & 0xFF) * 100 + (x >> 16);
        }
        i = c1 == '-' ? i + 2 * e : i - 2 * e;
        if (i >= 90) return false;  // 10^|k| beyond the exact powers
    } else if (static_cast<unsigned>(d) > 22) {
        return false;
    }
    v = signed_quotient(m, i);
    if (point) *point = has_point;
    return true;
}

// A number of 17 to 20 characters at p, all of them readable: an optional
// sign, digits and a point, no exponent (the tables of cluster generators
// write positions with 16 decimals). The digits before the point are taken
// from the first 16 characters, those after it (at most 16) from the last
// 16. Their at most 19 digits make the integer m, the value m / 10^k.
// False for anything else, which scan_run then reads, and for a value the
// two exact ways of signed_value do not reach.
inline bool scan_long(const char* p, int len, double& v) {
    const __m128i zero_char = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9), dot_char = _mm_set1_epi8('.');
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + len - 16));
    const __m128i ta = _mm_sub_epi8(a, zero_char), tb = _mm_sub_epi8(b, zero_char);
    const __m128i da = _mm_cmpeq_epi8(_mm_min_epu8(ta, nine), ta);
    const __m128i db = _mm_cmpeq_epi8(_mm_min_epu8(tb, nine), tb);
    const int o = len - 16;  // where the last 16 begin
    const unsigned dig = static_cast<unsigned>(_mm_movemask_epi8(da)) |
                         static_cast<unsigned>(_mm_movemask_epi8(db)) << o;
    const unsigned dot = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, dot_char))) |
                         static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, dot_char))) << o;
    const unsigned char c0 = static_cast<unsigned char>(p[0]);
    const unsigned s = (c0 == '-') | (c0 == '+');
    const unsigned live = (1u << len) - 1;
    const int dp = __builtin_ctz(dot | 1u << len);
    // Digits and one point after the sign; the point within the first 16
    // characters, at most 16 digits after it.
    if ((live & ~dig & ~dot & ~s) != 0 || (dot & (dot - 1)) != 0 || dp > 16 || dp < o - 1) return false;
    // Before the point: its digits and 16 - dp zeros, times 10^(o - 1) the
    // digits times 10^k. After it: the last k characters.
    const __m128i za = _mm_and_si128(_mm_and_si128(ta, da), first_bytes(static_cast<std::size_t>(dp)));
    const __m128i zb = _mm_andnot_si128(first_bytes(static_cast<std::size_t>(dp + 1 - o)), _mm_and_si128(tb, db));
    const std::uint64_t m = digits16(za) * pow10_u64[o - 1] + digits16(zb);
    return signed_value(m, len - 1 - dp, c0 == '-', v);
}

// The common shapes of a number written by a program, of len characters
// (1 to 20) at p, with 16 characters and all len of them readable there:
// those of scan_short and of scan_long. False for anything else, which
// scan_run then reads. When point is given, it is told whether the number
// has a decimal point (the long shape always has one).
__attribute__((always_inline)) inline bool scan_fast(const char* p, int len, int d, double& v,
                                                     bool* point = nullptr) {
    if (len <= 16) return scan_short(p, len, d, v, point);
    if (!scan_long(p, len, v)) return false;
    if (point) *point = true;
    return true;
}
#endif

// A field of w characters in that shape, blanks around it.
inline bool scan_plain(const char* f, int w, int d, double& v) {
    int first = 0, last = w - 1;
#if defined(__SSE2__)
    if (w == 20) {
        // Where the blanks are, from two overlapping loads of 16.
        const __m128i blank = _mm_set1_epi8(' ');
        unsigned lo = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(f)), blank)));
        unsigned hi = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 4)), blank)));
        unsigned nb = ~(lo | (hi << 4)) & 0xFFFFFu;  // bit i: f[i] is not a blank
        if (nb == 0) {  // an empty column
            v = 0.0;
            return true;
        }
        first = __builtin_ctz(nb);
        last = 31 - __builtin_clz(nb);
        if (first <= 4 && scan_fast(f + first, last - first + 1, d, v)) return true;
        return scan_run(f + first, f + last + 1, d, v);
    }
#endif
    while (first < w && f[first] == ' ') ++first;
    if (first == w) {  // an empty column
        v = 0.0;
        return true;
    }
    while (f[last] == ' ') --last;
    return scan_run(f + first, f + last + 1, d, v);
}

// A real field as the full rules read it: sign, significant digits, point
// and exponent.
struct Parts {
    char digits[24];      // significant digits (a 20-character field has at most 20)
    int nd = 0;           // digits kept (leading zeros dropped)
    int dropped = 0;      // significant digits beyond those (a longer text)
    std::uint64_t m = 0;  // their value while it fits (nd <= 19)
    bool neg = false;
    bool point = false;   // a decimal point stands before the exponent or comma
    int frac = 0;         // digits after the point, leading zeros included
    long exp = 0;
    // Where the parts stand in the text: -1 where there is none; end_at is
    // where the reading stopped (a comma, or the end).
    int point_at = -1, exp_at = -1, end_at = 0;
};

// The full rules over the w characters at f; false when the field breaks them.
bool scan_parts(const char* f, int w, Parts& s) {
    int i = 0;
    while (i < w && f[i] == ' ') ++i;  // leading blanks, then the sign
    if (i < w && (f[i] == '+' || f[i] == '-')) {
        s.neg = f[i] == '-';
        ++i;
    }
    bool has_exp = false;
    for (; i < w; ++i) {  // mantissa
        char c = f[i];
        if (c >= '0' && c <= '9') {
            if (s.point) ++s.frac;
            if (s.nd == 0 && c == '0') continue;  // leading zero
            if (s.nd == static_cast<int>(sizeof s.digits)) {
                ++s.dropped;  // far beyond a double's precision: only its place counts
                continue;
            }
            s.digits[s.nd++] = c;
            s.m = s.m * 10 + static_cast<unsigned>(c - '0');
            continue;
        }
        if (c == ' ') continue;
        if (c == '.') {
            if (s.point) return false;
            s.point = true;
            s.point_at = i;
            continue;
        }
        if (c == ',') break;
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == '+' || c == '-') {
            has_exp = true;
            s.exp_at = i;
            break;
        }
        return false;
    }
    if (has_exp) {
        char c = f[i++];
        bool eneg = c == '-';
        if (c != '+' && c != '-') {  // a letter, then blanks and an optional sign
            while (i < w && f[i] == ' ') ++i;
            if (i < w && (f[i] == '+' || f[i] == '-')) eneg = f[i++] == '-';
        }
        bool edigit = false;
        for (; i < w; ++i) {
            char e = f[i];
            if (e >= '0' && e <= '9') {
                edigit = true;
                if (s.exp < exp_limit) s.exp = s.exp * 10 + (e - '0');
                continue;
            }
            if (e == ' ') continue;
            if (e == ',') break;
            return false;
        }
        if (!edigit) return false;
        if (eneg) s.exp = -s.exp;
    }
    s.end_at = i;
    return true;
}

// The nearest double to the parts; without a point the last d digits are
// the fraction.
double parts_value(const Parts& s, int d) {
    if (s.nd == 0) return s.neg ? -0.0 : 0.0;
    long e10 = s.exp - (s.point ? s.frac : d) + s.dropped;
    double x = to_double(s.digits, s.nd, s.m, e10);
    return s.neg ? -x : x;
}

// The field's value: sign, digit string, point position and exponent, then
// the nearest double. Returns false when the field breaks the form.
bool scan_real(const char* f, int w, int d, double& v) {
    if (scan_plain(f, w, d, v)) return true;
    Parts s;
    if (!scan_parts(f, w, s)) return false;
    v = parts_value(s, d);
    return true;
}

}  // namespace

bool rd_d(const char* f, int w, int d, double& v) {
    double x;
    if (!scan_real(f, w, d, x)) return false;
    v = x;
    return true;
}

bool rd_f(const char* f, int w, int d, float& v) {
    double x;
    if (!scan_real(f, w, d, x)) return false;
    v = static_cast<float>(x);
    return true;
}

namespace {

// The field p[0, len) + blanks to w by every way but the short shape: the
// long shape, the common shape by scan_run, anything else from a copy of
// the field by the full rules.
bool scan_text_slow(const char* p, int len, int w, int d, double& v) {
    if (len == 0) {
        v = 0.0;
        return true;
    }
#if defined(__SSE2__)
    if (len > 16 && len <= 20 && scan_long(p, len, v)) return true;
#endif
    if (scan_run(p, p + len, d, v)) return true;
    char f[64];
    if (w > static_cast<int>(sizeof f)) w = sizeof f;
    if (len > w) len = w;
    std::memcpy(f, p, static_cast<std::size_t>(len));
    std::memset(f + len, ' ', static_cast<std::size_t>(w - len));
    Parts s;
    if (!scan_parts(f, w, s)) return false;
    v = parts_value(s, d);
    return true;
}

// Every way but the short shape, out of line, so that the short shape
// keeps its few values in registers and ends in a jump here when it does
// not take the field.
template <typename T>
__attribute__((noinline)) bool read_text_slow(const char* p, int len, int w, int d, T& v) {
    double x;
    if (!scan_text_slow(p, len, w, d, x)) return false;
    v = static_cast<T>(x);
    return true;
}

}  // namespace

bool rd_d_text(const char* p, int len, int w, int d, double& v) {
#if defined(__SSE2__)
    double x;
    if (static_cast<unsigned>(len - 1) < 16u && scan_short(p, len, d, x, nullptr)) {
        v = x;
        return true;
    }
#endif
    return read_text_slow(p, len, w, d, v);
}

bool rd_f_text(const char* p, int len, int w, int d, float& v) {
#if defined(__SSE2__)
    double x;
    if (static_cast<unsigned>(len - 1) < 16u && scan_short(p, len, d, x, nullptr)) {
        v = static_cast<float>(x);
        return true;
    }
#endif
    return read_text_slow(p, len, w, d, v);
}

bool rd_i(const char* f, int w, std::int32_t& v) {
    int i = 0;
    while (i < w && f[i] == ' ') ++i;
    bool neg = false;
    if (i < w && (f[i] == '+' || f[i] == '-')) {
        neg = f[i] == '-';
        ++i;
    }
    std::int64_t x = 0;
    for (; i < w; ++i) {
        char c = f[i];
        if (c >= '0' && c <= '9') {
            if (x < (std::int64_t{1} << 40)) x = x * 10 + (c - '0');
            continue;
        }
        if (c == ' ') continue;
        if (c == ',') break;
        return false;
    }
    if (neg) x = -x;
    if (x > std::numeric_limits<std::int32_t>::max() || x < std::numeric_limits<std::int32_t>::min()) return false;
    v = static_cast<std::int32_t>(x);
    return true;
}

namespace {

// Every way but the short shape for rd_shape, out of line as for the text
// reads: the long shape, anything else from a copy of the field by the
// full rules.
__attribute__((noinline)) bool shape_slow(const char* p, int len, int w, int d, double& v, RealShape& shape) {
    if (len == 0) {
        v = 0.0;
        shape = RealShape{false, false};
        return true;
    }
#if defined(__SSE2__)
    if (len > 16 && len <= 20 && scan_long(p, len, v)) {
        shape = RealShape{true, v != 0.0};
        return true;
    }
#endif
    char f[64];
    if (w > static_cast<int>(sizeof f)) w = sizeof f;
    if (len > w) len = w;
    std::memcpy(f, p, static_cast<std::size_t>(len));
    std::memset(f + len, ' ', static_cast<std::size_t>(w - len));
    Parts s;
    if (!scan_parts(f, w, s)) return false;
    v = parts_value(s, d);
    shape.point = s.point;
    shape.nonzero = s.nd > 0;
    return true;
}

}  // namespace

bool rd_shape(const char* p, int len, int w, int d, double& v, RealShape& shape) {
#if defined(__SSE2__)
    // The short shape at once; its values are never zero by underflow.
    if (static_cast<unsigned>(len - 1) < 16u && scan_short(p, len, d, v, &shape.point)) {
        shape.nonzero = v != 0.0;
        return true;
    }
#endif
    return shape_slow(p, len, w, d, v, shape);
}

bool rd_whole(const char* p, int len, int d, double& v, RealParts& where) {
    Parts s;
    if (!scan_parts(p, len, s)) return false;
    v = parts_value(s, d);
    where = RealParts{s.point_at, s.exp_at, s.end_at};
    return true;
}
