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
#include <limits>

namespace {

constexpr int exp_limit = 100000;  // beyond any double: saturate, never overflow

// The decimal value sign * 0.digits... laid out for conversion.
// Returns false when the field breaks the form.
bool scan_real(const char* f, int w, int d, double& v) {
    char buf[64 + 24];  // up to 20 digits of a 20-character field, then the exponent
    int nd = 0;  // digits kept (leading zeros dropped)
    bool neg = false, seen_point = false;
    int i = 0;

    for (; i < w; ++i) {  // leading blanks and the sign
        char c = f[i];
        if (c == ' ') continue;
        if (c == '+' || c == '-') {
            neg = c == '-';
            ++i;
        }
        break;
    }
    int frac_digits = 0;  // digits after the point
    bool has_exp = false;
    long exp = 0;
    for (; i < w; ++i) {  // mantissa
        char c = f[i];
        if (c >= '0' && c <= '9') {
            if (seen_point) ++frac_digits;
            if (nd == 0 && c == '0') continue;  // leading zero
            buf[nd++] = c;
            continue;
        }
        if (c == ' ') continue;
        if (c == '.') {
            if (seen_point) return false;
            seen_point = true;
            continue;
        }
        if (c == ',') { i = w; break; }
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == '+' || c == '-') {
            has_exp = true;
            break;
        }
        return false;
    }
    if (has_exp) {
        char c = f[i];
        bool eneg = false;
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
            ++i;
            while (i < w && f[i] == ' ') ++i;
            if (i < w && (f[i] == '+' || f[i] == '-')) {
                eneg = f[i] == '-';
                ++i;
            }
        } else {
            eneg = c == '-';
            ++i;
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
    // Digits counted after the point include leading zeros dropped from the
    // kept string; the kept string's last digit sits at 10^-(frac_digits).
    int point_shift = seen_point ? -frac_digits : -d;
    if (nd == 0) {
        v = neg ? -0.0 : 0.0;
        return true;
    }
    long e10 = exp + point_shift;
    int n = nd;
    buf[n++] = 'e';
    auto r = std::to_chars(buf + n, buf + sizeof buf, e10);
    n = static_cast<int>(r.ptr - buf);
    double x;
    auto res = std::from_chars(buf, buf + n, x);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large: an infinity; too small: the nearest, zero or subnormal.
        buf[n] = '\0';
        errno = 0;
        x = std::strtod(buf, nullptr);
    }
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
