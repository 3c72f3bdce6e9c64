// Reading fixed-format numeric fields: Fw.d, Dw.d (reals) and Iw (integers).
//
// A real field is scanned once into its sign, digit string, point position
// and exponent; blanks are skipped wherever they stand and a comma ends the
// field. The decimal value is then converted exactly: the digits are laid
// out as "d...de<exp>" in a small buffer and std::from_chars gives the
// nearest double. A single-precision target rounds that double.

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
// The same shape as scan_run, for a number of 1 to 16 characters at p with
// 16 characters readable there, found from bit masks of the characters with
// almost no branch on what they are: signs and lengths vary from star to
// star, and a mispredicted branch costs more than the whole conversion. At
// most eight digits before the point and eight after it, at most four in
// the exponent; false for anything else, which scan_run then reads.
// When point is given, it is told whether the number has a decimal point.
__attribute__((always_inline)) inline bool scan_fast(const char* p, int len, int d, double& v,
                                                     bool* point = nullptr) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // The 16 characters as one integer, to take windows of eight from.
    __extension__ typedef unsigned __int128 u128;
    const u128 all = static_cast<u128>(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(b, b)))) << 64 |
                     static_cast<std::uint64_t>(_mm_cvtsi128_si64(b));
    auto window = [all](int k) { return static_cast<std::uint64_t>(all >> (8 * (k & 15))); };
    const __m128i t = _mm_sub_epi8(b, _mm_set1_epi8('0'));
    const unsigned live = (1u << len) - 1;
    const unsigned dig = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t))) & live;
    const unsigned dot = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, _mm_set1_epi8('.')))) & live;
    const char c0 = static_cast<char>(all);
    const int s = (c0 == '-') | (c0 == '+');  // characters of the sign
    const bool neg = c0 == '-';
    const unsigned other = live & ~dig & ~dot & ~static_cast<unsigned>(s);
    const int me = other ? __builtin_ctz(other) : len;  // the end of the mantissa
    const unsigned mant = ((1u << me) - 1) & ~((1u << s) - 1);
    const unsigned mdot = dot & mant;
    const int dp = mdot ? __builtin_ctz(mdot) : me;  // the point, or the mantissa's end
    const int n1 = dp - s;                         // digits before the point
    const int n2 = mdot ? me - dp - 1 : 0;         // digits after it
    bool ok = (((dig | dot) & mant) == mant) & ((mdot & (mdot - 1)) == 0) & (n1 <= 8) & (n2 <= 8) & (n1 + n2 > 0);
    const int k1 = n1 <= 8 ? n1 : 0, k2 = n2 <= 8 ? n2 : 0;
    const std::uint64_t m = digits_value(window(s), k1) * pow10_u64[k2] + digits_value(window(dp + 1), k2);
    // The exponent, worked out whether or not there is one (a branch on it
    // would mispredict from column to column): at the mantissa's end a
    // letter, an optional sign, one to four digits, the end.
    const std::uint64_t w = window(me);
    const char letter = static_cast<char>(w | 0x20);
    const char c1 = static_cast<char>(w >> 8);
    const bool eneg = c1 == '-';
    const int es = me + 1 + (eneg | (c1 == '+'));
    const int n3 = len - es;
    const unsigned tail = live & ~((1u << (es & 15)) - 1);
    const bool has_exp = other != 0;
    ok &= (!has_exp) | (((letter == 'e') | (letter == 'd')) & (n3 >= 1) & (n3 <= 4) & ((dig & tail) == tail));
    // As for the mantissa: each byte less '0', the n3 digits to the top.
    std::uint32_t x4 = static_cast<std::uint32_t>(window(es)) - 0x30303030u;
    const bool exp_digits = (n3 >= 1) & (n3 <= 4) & has_exp;
    x4 = exp_digits ? x4 << (8 * ((4 - n3) & 3)) : 0;
    x4 = (x4 * 10 + (x4 >> 8)) & 0x00FF00FFu;  // two pairs
    long e = static_cast<long>((x4 & 0xFF) * 100 + (x4 >> 16));
    const long eflip = -static_cast<long>(eneg & has_exp);  // all ones for a negative exponent
    e = (e ^ eflip) - eflip;
    if (!ok) return false;
    if (point) *point = mdot != 0;
    const long e10 = e - (mdot ? n2 : d);
    if (m > (std::uint64_t{1} << 53) || e10 < -22 || e10 > 22) return false;
    double x = static_cast<double>(m);
    x = e10 >= 0 ? x * exact_p10[e10] : x / exact_p10[-e10];
    // The sign as a bit: positions are as often negative as not.
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits |= static_cast<std::uint64_t>(neg) << 63;
    std::memcpy(&v, &bits, sizeof bits);
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
        if (first <= 4 && last - first < 16 && scan_fast(f + first, last - first + 1, d, v)) return true;
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

// The field p[0, len) + blanks to w: the plain shape at once, anything else
// from a copy of the field by the full rules.
__attribute__((always_inline)) inline bool scan_text(const char* p, int len, int w, int d, double& v) {
    if (len == 0) {
        v = 0.0;
        return true;
    }
#if defined(__SSE2__)
    if (len <= 16 && scan_fast(p, len, d, v)) return true;
#endif
    if (scan_run(p, p + len, d, v)) return true;
    char f[64];
    if (w > static_cast<int>(sizeof f)) w = sizeof f;
    if (len > w) len = w;
    std::memcpy(f, p, static_cast<std::size_t>(len));
    std::memset(f + len, ' ', static_cast<std::size_t>(w - len));
    return scan_real(f, w, d, v);
}

}  // namespace

bool rd_d_text(const char* p, int len, int w, int d, double& v) {
    double x;
    if (!scan_text(p, len, w, d, x)) return false;
    v = x;
    return true;
}

bool rd_f_text(const char* p, int len, int w, int d, float& v) {
    double x;
    if (!scan_text(p, len, w, d, x)) return false;
    v = static_cast<float>(x);
    return true;
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

bool rd_shape(const char* p, int len, int w, int d, double& v, RealShape& shape) {
    if (len == 0) {
        v = 0.0;
        shape = RealShape{false, false};
        return true;
    }
#if defined(__SSE2__)
    // The common shape at once; its values are never zero by underflow.
    if (len <= 16 && scan_fast(p, len, d, v, &shape.point)) {
        shape.nonzero = v != 0.0;
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

bool rd_whole(const char* p, int len, int d, double& v, RealParts& where) {
    Parts s;
    if (!scan_parts(p, len, s)) return false;
    v = parts_value(s, d);
    where = RealParts{s.point_at, s.exp_at, s.end_at};
    return true;
}
