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

// The field's value: sign, digit string, point position and exponent, then
// the nearest double. Returns false when the field breaks the form.
bool scan_real(const char* f, int w, int d, double& v) {
    char digits[24];       // significant digits (a 20-character field has at most 20)
    int nd = 0;            // digits kept (leading zeros dropped)
    std::uint64_t m = 0;   // their value while it fits (nd <= 19)
    bool neg = false, seen_point = false;
    int i = 0;

    while (i < w && f[i] == ' ') ++i;  // leading blanks, then the sign
    if (i < w && (f[i] == '+' || f[i] == '-')) {
        neg = f[i] == '-';
        ++i;
    }
    int frac_digits = 0;  // digits after the point, leading zeros included
    bool has_exp = false;
    for (; i < w; ++i) {  // mantissa
        char c = f[i];
        if (c >= '0' && c <= '9') {
            if (seen_point) ++frac_digits;
            if (nd == 0 && c == '0') continue;  // leading zero
            digits[nd++] = c;
            m = m * 10 + static_cast<unsigned>(c - '0');
            continue;
        }
        if (c == ' ') continue;
        if (c == '.') {
            if (seen_point) return false;
            seen_point = true;
            continue;
        }
        if (c == ',') break;
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == '+' || c == '-') {
            has_exp = true;
            break;
        }
        return false;
    }
    long exp = 0;
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
                if (exp < exp_limit) exp = exp * 10 + (e - '0');
                continue;
            }
            if (e == ' ') continue;
            if (e == ',') break;
            return false;
        }
        if (!edigit) return false;
        if (eneg) exp = -exp;
    }
    if (nd == 0) {
        v = neg ? -0.0 : 0.0;
        return true;
    }
    // Without a point the last d digits are the fraction.
    long e10 = exp - (seen_point ? frac_digits : d);
    double x = to_double(digits, nd, m, e10);
    v = neg ? -x : x;
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
