// Writing fixed-format numeric fields: D23.17, Fw.d, I6.6, I1.
//
// The digits are the C library's: std::to_chars with a precision rounds
// exactly as printf's "%#.*E" and "%#.*f" do (correct rounding, ties to
// even on the exact binary value), only faster. The tests hold both to the
// same text over millions of values.

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
    } else {
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
    char t[64];
    int n;
    double a = static_cast<double>(v);
    bool neg = std::signbit(a);
    if (neg) a = -a;
    t[0] = '-';
    if (std::isfinite(a)) {
        auto r = std::to_chars(t + 1, t + sizeof t, a, std::chars_format::fixed, d);
        n = static_cast<int>(r.ptr - (t + 1));
        if (d == 0) t[1 + n++] = '.';  // the '#' flag keeps the point
    } else {
        n = std::snprintf(t + 1, sizeof t - 1, "%#.*f", d, a);
    }
    bool all_zero = true;
    for (int i = 1; i <= n; ++i)
        if (t[i] != '0' && t[i] != '.') all_zero = false;
    if (neg && !all_zero && !std::isnan(a))
        right_align(t, n + 1, w, out);
    else
        right_align(t + 1, n, w, out);
}

void wr_i6_6(std::int32_t v, char* out) {
    if (v < 0 || v > 999999) {
        std::memset(out, '*', 6);
        return;
    }
    for (int i = 5; i >= 0; --i) {
        out[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
}

void wr_i1(std::int32_t v, char* out) { out[0] = v >= 0 && v <= 9 ? static_cast<char>('0' + v) : '*'; }
