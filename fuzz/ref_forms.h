// Plain writers for the output forms D23.17 and Fw.d, built on printf's
// digits, for the fuzz targets to hold the library's writers against.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// D23.17 written plainly from printf's 17 significant digits.
inline void ref_d23_17(double v, char* out) {
    char t[64];
    if (!std::isfinite(v)) {
        const char* s = std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
        std::size_t n = std::strlen(s);
        std::memset(out, ' ', 23 - n);
        std::memcpy(out + 23 - n, s, n);
        return;
    }
    double a = std::fabs(v);
    out[0] = v < 0 ? '-' : '0';
    out[1] = '.';
    if (a == 0.0) {
        std::memcpy(out + 2, "00000000000000000E+00", 21);
        return;
    }
    std::snprintf(t, sizeof t, "%#.16E", a);  // d.dddddddddddddddd E+xx
    out[2] = t[0];
    std::memcpy(out + 3, t + 2, 16);
    int e = std::atoi(t + 19) + 1;
    char sign = e < 0 ? '-' : '+';
    if (e < 0) e = -e;
    if (e <= 99)
        std::snprintf(t, sizeof t, "E%c%02d", sign, e);
    else
        std::snprintf(t, sizeof t, "%c%03d", sign, e);
    std::memcpy(out + 19, t, 4);
}

// Fw.d written plainly from printf's "%#.*f" of the single-precision value.
inline void ref_f(float v, int w, int d, char* out) {
    char t[400];
    double a = static_cast<double>(v);
    bool neg = std::signbit(a) && !std::isnan(a);
    int n = std::snprintf(t + 1, sizeof t - 1, "%#.*f", d, std::fabs(a));
    bool all_zero = std::strspn(t + 1, "0.") == static_cast<std::size_t>(n);
    const char* s = t + 1;
    if (neg && !all_zero) {
        t[0] = '-';
        s = t;
        ++n;
    }
    if (n > w) {
        std::memset(out, '*', static_cast<std::size_t>(w));
        return;
    }
    std::memset(out, ' ', static_cast<std::size_t>(w - n));
    std::memcpy(out + (w - n), s, static_cast<std::size_t>(n));
}
