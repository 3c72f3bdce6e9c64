// The fast field conversions are held to the C library byte for byte:
// D23.17 against printf's "%#.16E", F7.2 and F4.1 against "%#.*f", the real
// console item against "%.9G", and real field reading against strtod.
// ORBLENZ_EXACT_COUNT sets the number of values per family (default 10^6).

#include "textio.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

long count() {
    const char* s = std::getenv("ORBLENZ_EXACT_COUNT");
    return s ? std::atol(s) : 1000000;
}

// D23.17 by its rule on printf's text.
std::string ref_d23_17(double x) {
    if (std::isnan(x)) return std::string(20, ' ') + "NAN";
    if (std::isinf(x)) return x < 0 ? std::string(19, ' ') + "-INF" : std::string(20, ' ') + "INF";
    char ref[64], want[32];
    double a = std::fabs(x);
    std::snprintf(ref, sizeof ref, "%#.16E", a);
    int e = std::atoi(std::strchr(ref, 'E') + 1) + (a == 0 ? 0 : 1);
    std::string digits = std::string(1, ref[0]) + std::string(ref + 2, 16);
    if (std::abs(e) <= 99)
        std::snprintf(want, sizeof want, "%c.%sE%c%02d", x < 0 ? '-' : '0', digits.c_str(), e < 0 ? '-' : '+', std::abs(e));
    else
        std::snprintf(want, sizeof want, "%c.%s%c%03d", x < 0 ? '-' : '0', digits.c_str(), e < 0 ? '-' : '+', std::abs(e));
    return want;
}

// Fw.d by its rule on printf's text.
std::string ref_f(float f, int w, int d) {
    char ref[64];
    std::snprintf(ref, sizeof ref, "%#.*f", d, static_cast<double>(f));
    std::string t = ref;
    if (t[0] == '-' && t.find_first_not_of("-0.") == std::string::npos) t = t.substr(1);
    return t.size() > static_cast<std::size_t>(w) ? std::string(w, '*') : std::string(w - t.size(), ' ') + t;
}

void check_d(double x) {
    char out[23];
    wr_d23_17(x, out);
    ASSERT_EQ(std::string(out, 23), ref_d23_17(x)) << std::hexfloat << x;
}

void check_f(float f) {
    char out[8];
    wr_f(f, 7, 2, out);
    ASSERT_EQ(std::string(out, 7), ref_f(f, 7, 2)) << std::hexfloat << f;
    wr_f(f, 4, 1, out);
    ASSERT_EQ(std::string(out, 4), ref_f(f, 4, 1)) << std::hexfloat << f;
}

double exact_p10(std::uint64_t k) { return std::pow(10.0, static_cast<double>(k)); }

double random_bits_double(std::mt19937_64& rng) {
    std::uint64_t b = rng();
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

}  // namespace

TEST(Exact, D23_17) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> logmag(-40, 40), unit(-1, 1);
    long n = count();
    for (long i = 0; i < n; ++i) {
        check_d(random_bits_double(rng));                              // every magnitude and sign
        check_d(std::pow(10.0, logmag(rng)) * (rng() & 1 ? 1 : -1));   // log-uniform, around the fast path
        check_d(unit(rng) * 180.0);                                    // right ascension, declination
        check_d(std::ldexp(unit(rng), static_cast<int>(rng() % 40)));  // distances and short binary fractions
        // exactly halfway between two 17-digit texts: K + 1/4 or 3/4 has 18 digits
        double k = 1e15 + static_cast<double>(rng() % 1250000000000000ULL);
        check_d(k + (rng() & 1 ? 0.25 : 0.75));
    }
    for (int j = -324; j <= 308; ++j) {  // powers of ten and their neighbours
        double p = std::pow(10.0, j);
        for (double x : {p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL)}) {
            check_d(x);
            check_d(-x);
        }
    }
    for (double x : {0.0, -0.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, double(NAN), HUGE_VAL, -HUGE_VAL})
        check_d(x);
}

TEST(Exact, F7_2AndF4_1) {
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> logmag(-8, 12), mag(-30, 30);
    long n = count();
    for (long i = 0; i < n; ++i) {
        std::uint32_t b = static_cast<std::uint32_t>(rng());
        float f;
        std::memcpy(&f, &b, sizeof f);
        if (std::isfinite(f)) check_f(f);                                          // every float
        check_f(static_cast<float>(std::pow(10.0, logmag(rng)) * (rng() & 1 ? 1 : -1)));
        check_f(static_cast<float>(mag(rng)));                                     // magnitudes
        // halfway: k/8 is exact in single precision; k/200 near the two-decimal borders
        check_f(static_cast<float>(static_cast<int>(rng() % 2000000) - 1000000) / 8.0f);
        check_f(static_cast<float>(static_cast<int>(rng() % 4000000) - 2000000) / 200.0f);
    }
    for (float f : {0.0f, -0.0f, 0.25f, 0.125f, -0.125f, 9999.995f, -999.995f, 99.95f, -9.95f})
        check_f(f);
}

// Real fields against strtod of the same decimal text.
TEST(Exact, RealFieldReading) {
    std::mt19937_64 rng(3);
    long n = count();
    char field[21], text[40];
    for (long i = 0; i < n; ++i) {
        // a decimal text of up to 19 significant digits, with a point, maybe an exponent
        int nd = 1 + static_cast<int>(rng() % 19);
        std::string digits;
        for (int k = 0; k < nd; ++k) digits += static_cast<char>('0' + rng() % 10);
        int point = static_cast<int>(rng() % (nd + 1));
        // Every shape a program writes: a sign or none, a point or none (the
        // last 15 or 10 digits are then the fraction), an exponent with any
        // of its letters, a sign or none, one to three digits.
        const std::string sign = rng() % 4 == 0 ? "+" : rng() & 1 ? "-" : "";
        const bool with_point = rng() % 8 != 0;
        const std::string mantissa = with_point ? digits.substr(0, point) + "." + digits.substr(point) : digits;
        std::string s = sign + mantissa;
        int e = 0;
        std::string exp_text;  // the exponent as strtod reads it
        if (s.size() < 16 && (rng() & 1)) {
            e = static_cast<int>(rng() % 61) - 30;
            char buf[16];
            std::snprintf(buf, sizeof buf, rng() & 1 ? "%+0*d" : "%0*d", 1 + static_cast<int>(rng() % 3), e);
            s += "eEdD"[rng() % 4] + std::string(buf);
            exp_text = std::string("e") + buf;
        }
        if (s.size() > 20) continue;
        // Without a point the last 15 (D20.15) or 10 (F20.10) digits are
        // the fraction.
        auto as_read = [&](int d) {
            return with_point ? sign + mantissa + exp_text : sign + digits + "e" + std::to_string(e - d);
        };
        const std::string for_d = as_read(15), for_f = as_read(10);
        std::snprintf(text, sizeof text, "%s", for_d.c_str());
        std::memset(field, ' ', 20);
        std::memcpy(field, s.data(), s.size());
        double want = std::strtod(text, nullptr), got;
        const float wantf = static_cast<float>(std::strtod(for_f.c_str(), nullptr));
        ASSERT_TRUE(rd_d(field, 20, 15, got)) << s;
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s << " as " << text;
        float gotf;
        ASSERT_TRUE(rd_f(field, 20, 10, gotf)) << s;
        ASSERT_EQ(gotf, wantf) << s << " as " << for_f;
        // The same digits read in place, as the run reads its columns, with
        // other characters after them.
        char place[32];
        std::memset(place, static_cast<char>("0.e-9"[rng() % 5]), sizeof place);
        std::memcpy(place, s.data(), s.size());
        ASSERT_TRUE(rd_d_text(place, static_cast<int>(s.size()), 20, 15, got)) << s;
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s;
        ASSERT_TRUE(rd_f_text(place, static_cast<int>(s.size()), 20, 10, gotf)) << s;
        ASSERT_EQ(gotf, wantf) << s;
        RealShape shape{};  // the check's read: the same value
        ASSERT_TRUE(rd_shape(place, static_cast<int>(s.size()), 20, 15, got, shape)) << s;
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s;
    }
    // Halfway between two doubles (exact in long double), written with as
    // many decimals as 20 characters hold: exact ties, and texts a last
    // digit off them on either side.
    for (long i = 0; i < n; ++i) {
        const double x = std::ldexp(static_cast<double>(rng() >> 11 | 1ULL << 52), static_cast<int>(rng() % 70) - 62);
        const long double mid = (static_cast<long double>(x) + std::nextafter(x, HUGE_VAL)) / 2;
        const char* sign = rng() & 1 ? "-" : "";
        int len = 19 - std::snprintf(text, sizeof text, "%s%.0Lf", sign, mid);
        len = std::snprintf(text, sizeof text, "%s%#.*Lf", sign, len < 0 ? 0 : len, mid);
        const double want = std::strtod(text, nullptr);
        double got;
        RealShape shape{};
        if (len > 20) continue;
        ASSERT_TRUE(rd_d_text(text, len, 20, 15, got) && std::memcmp(&got, &want, sizeof got) == 0) << text;
        ASSERT_TRUE(rd_shape(text, len, 20, 15, got, shape) && std::memcmp(&got, &want, sizeof got) == 0) << text;
    }
}

// The shortest text of a value against std::to_chars itself: every bit
// pattern, and decimals of few digits (which take the fast path) read as
// the conversion reads them, of every magnitude.
TEST(Exact, ShortestText) {
    std::mt19937_64 rng(4);
    char got[40], want[40];
    auto same = [&](auto v) {
        const std::string a(got, wr_shortest(v, got)), b(want, std::to_chars(want, want + sizeof want, v).ptr);
        return a == b ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << a << " for " << b;
    };
    const long n = count();
    for (long i = 0; i < n; ++i) {
        const double m = static_cast<double>(rng() % 10000000000000000ULL >> (rng() % 50));
        const double d = m * std::pow(10.0, static_cast<int>(rng() % 60) - 36) * (rng() & 1 ? 1 : -1);
        ASSERT_TRUE(same(d));
        ASSERT_TRUE(same(static_cast<float>(d)));
        ASSERT_TRUE(same(random_bits_double(rng)));
        const std::uint32_t b = static_cast<std::uint32_t>(rng());
        float f;
        std::memcpy(&f, &b, sizeof f);
        ASSERT_TRUE(same(f));
        // A decimal of one to seven digits and its neighbours, as a float.
        const float g = static_cast<float>(static_cast<double>(rng() % 10000000) / exact_p10(rng() % 12));
        ASSERT_TRUE(same(g));
        ASSERT_TRUE(same(std::nextafter(g, 0.0f)));
    }
    for (double x : {0.0, -0.0, 1e22, 1e23, 1e-22, 5e-324, 1.7976931348623157e308, 100.0, 1e15, 123456789012345.0})
        ASSERT_TRUE(same(x));
    for (float x : {0.0f, -0.0f, 1e10f, 1e11f, 1e-10f, 100.0f, 1e7f, 1234567.0f, 5778.0f, 9999.9f})
        ASSERT_TRUE(same(x));
}
