// Spectral type assignment: every vector row, then hand-written tables of the
// documented examples and borders, one table per rule.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "classify.h"
#include "test_data.h"

namespace {

const float nan_f = std::numeric_limits<float>::quiet_NaN();

struct Case {
    std::int32_t k;
    float lum;
    float m_in;
    float temp;
    const char* code;  // the whole six-character field
    float m_out;       // NaN: any NaN
};

std::uint32_t bits(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// Run one case; an empty string when it passes, else what went wrong.
std::string run(const Case& c) {
    const std::int32_t nstar = 17;
    const float mass = 1.0f, col12 = 0.0f;
    float m = c.m_in;
    char code[6];
    std::memset(code, '#', sizeof code);
    guess_type(nstar, mass, c.lum, m, col12, c.temp, c.k, code);
    std::string err;
    const std::string got(code, 6);
    if (got != c.code) err += "code \"" + got + "\" expected \"" + c.code + "\"; ";
    const bool m_ok = std::isnan(c.m_out) ? std::isnan(m) : bits(m) == bits(c.m_out);
    if (!m_ok) err += "M_out " + std::to_string(m) + " expected " + std::to_string(c.m_out);
    return err;
}

void run_table(const Case* rows, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const Case& c = rows[i];
        const std::string err = run(c);
        EXPECT_EQ(err, "") << "row " << i + 1 << ": k=" << c.k << " L=" << c.lum << " M=" << c.m_in
                           << " T=" << c.temp;
    }
}

template <std::size_t N>
void run_table(const Case (&rows)[N]) {
    run_table(rows, N);
}

}  // namespace

TEST(GuessType, VectorTable) {
    const auto rows = load_table("guess_type.tsv");
    ASSERT_GT(rows.size(), 1000u);
    std::size_t line = 1;
    for (const Row& r : rows) {
        ++line;
        ASSERT_EQ(r.size(), 10u) << "line " << line;
        const std::string code = unquote(r[7]);
        ASSERT_EQ(code.size(), 6u) << "line " << line;
        const Case c{static_cast<std::int32_t>(std::stol(r[0])), static_cast<float>(hexreal(r[1])),
                     static_cast<float>(hexreal(r[3])), static_cast<float>(hexreal(r[5])), code.c_str(),
                     static_cast<float>(hexreal(r[8]))};
        EXPECT_EQ(run(c), "") << "line " << line << ": k=" << r[0] << " L=" << r[2] << " M=" << r[4]
                              << " T=" << r[6];
    }
}

TEST(GuessType, WorkedExamples) {
    const Case rows[] = {
        {1, 1, 4.83f, 5778, "G2V   ", 4.5885f},
        {1, 1, 4.83f, 5800, "G1V   ", 4.5885f},
        {0, 0.05f, 9, 3200, "M1V   ", 8.55f},
        {1, 1, 5, 5000, "K0V   ", 4.75f},
        {1, 1, 5, 5000.5f, "G9V   ", 4.75f},
        {1, 30000, -4, 35000, "O8V   ", -3.8f},
        {1, 100000, -5, 61000, "O0V   ", -4.75f},
        {1, 100000, -5, 63000, "O*V   ", -4.75f},
        {7, 100, 0, 50000, "O3V   ", 0},
        {3, 100, 0.5f, 4500, "K3III ", 0.475f},
        {3, 11.5f, 2, 4500, "K3IV  ", 1.9f},
        {2, 4, 3, 5500, "G5V   ", 2.85f},
        {4, 300000, -8, 20000, "B5I-a0", -7.6f},
        {4, 200000, -8, 20000, "B5I-a ", -7.6f},
        {5, 5000, -4, 3000, "M3I-b ", -3.8f},
        {6, 500, -2, 2500, "M6II  ", -1.9f},
        {10, 0.001f, 12, 10000, "DZ5   ", 11.4f},
        {11, 0.01f, 11, 20160, "DZ2   ", 10.45f},
        {12, 0.0001f, 15, 5000, "DZ9   ", 14.25f},  // ratio 10.08: ten or more
        {13, 0, 50, 0, "Q     ", 47.5f},
        {15, 0, 50, 0, "SNR   ", 47.5f},
        {16, 1, 5, 5000, "????  ", 4.75f},
        {1, 1, 9500, 5000, "dead  ", 9025},
    };
    run_table(rows);
}

// A boundary belongs to the cooler class as subclass 0; just above it is
// subclass 9 of the hotter class; single-precision fractions of 0.6 and 0.8
// land just above and lower the digit; class O saturates at 63000.
TEST(GuessType, TemperatureClassBorders) {
    const Case rows[] = {
        {1, 1, 1, 5000, "K0V   ", 0.95f},      {1, 1, 1, 5000.5f, "G9V   ", 0.95f},
        {1, 1, 1, 30000, "B0V   ", 0.95f},     {1, 1, 1, 1300, "T0V   ", 0.95f},
        {1, 1, 1, 701, "T9V   ", 0.95f},       {1, 1, 1, 5600, "G3V   ", 0.95f},
        {1, 1, 1, 5800, "G1V   ", 0.95f},      {1, 1, 1, 5778, "G2V   ", 0.95f},
        {1, 1, 1, 22000, "B3V   ", 0.95f},     {1, 1, 1, 26000, "B1V   ", 0.95f},
        {1, 1, 1, 60000, "O0V   ", 0.95f},     {1, 1, 1, 61000, "O0V   ", 0.95f},
        {1, 1, 1, 62999, "O0V   ", 0.95f},     {1, 1, 1, 63000, "O*V   ", 0.95f},
        {1, 1, 1, 1e30f, "O*V   ", 0.95f},     {3, 100, 1, 3e38f, "O*III ", 0.95f},
    };
    run_table(rows);
}

// The first threshold the luminosity exceeds (strictly) names the class.
TEST(GuessType, LuminosityThresholds) {
    const Case rows[] = {
        {4, 200000, 1, 20000, "B5I-a ", 0.95f}, {4, 200001, 1, 20000, "B5I-a0", 0.95f},
        {4, 20000, 1, 20000, "B5I-b ", 0.95f},  {4, 3000, 1, 20000, "B5II  ", 0.95f},
        {4, 400, 1, 20000, "B5III ", 0.95f},    {3, 11.5f, 1, 4500, "K3IV  ", 0.95f},
        {3, 4, 1, 4500, "K3V   ", 0.95f},       {3, 4.0001f, 1, 4500, "K3IV  ", 0.95f},
        {9, 1e6f, 1, 4500, "K3I-a0", 0.95f},    {8, 0, 1, 4500, "K3V   ", 0.95f},
        {3, nan_f, 1, 4500, "K3V   ", 0.95f},
    };
    run_table(rows);
}

// The first non-blank character of 50400 / T written as F4.1; a positive
// ratio of 10.0 or more (5065 K and cooler) is the coolest class, 9.
TEST(GuessType, WhiteDwarfCharacter) {
    const Case rows[] = {
        {10, 1, 1, 53000, "DZ1   ", 0.95f},  {10, 1, 1, 53100, "DZ0   ", 0.95f},
        {11, 1, 1, 5065, "DZ9   ", 0.95f},   {11, 1, 1, 5066, "DZ9   ", 0.95f},
        {12, 1, 1, 4588, "DZ9   ", 0.95f},   {12, 1, 1, 505, "DZ9   ", 0.95f},
        {12, 1, 1, 504, "DZ9   ", 0.95f},    {10, 1, 1, 3.0f, "DZ9   ", 0.95f},
        {10, 1, 1, -10000, "DZ-   ", 0.95f}, {10, 1, 1, -5000, "DZ*   ", 0.95f},
        {10, 1, 1, -1e9f, "DZ0   ", 0.95f},  {11, 1, 1, 1e9f, "DZ0   ", 0.95f},
        // The infinite ratio at 0 K (either sign) and a temperature that is
        // not a number: too large for four places. A positive temperature
        // so small that the ratio overflows is as cool as any.
        {10, 1, 1, 0.0f, "DZ*   ", 0.95f},   {11, 1, 1, -0.0f, "DZ*   ", 0.95f},
        {12, 1, 1, 1e-40f, "DZ9   ", 0.95f}, {12, 1, 1, nan_f, "DZ*   ", 0.95f},
    };
    run_table(rows);
}

// Dark above a scaled magnitude of 9000, whatever the type; the magnitude is
// scaled on every call; a magnitude that is not a number is not dark.
TEST(GuessType, DarkThreshold) {
    const Case rows[] = {
        {1, 1, 9473.68f, 5778, "G2V   ", 8999.995f},
        {1, 1, 9473.69f, 5778, "dead  ", 9000.006f},
        {13, 1, 9473.69f, 0, "dead  ", 9000.006f},
        {25, 1, 20000, 5778, "dead  ", 19000},
        {10, 1, 20000, 0, "dead  ", 19000},
        {1, 1, nan_f, 5778, "G2V   ", nan_f},
    };
    run_table(rows);
}

// Which rule each evolution type follows, regardless of temperature and
// luminosity where the rule ignores them.
TEST(GuessType, EvolutionTypes) {
    const Case rows[] = {
        {-3, 1e6f, 1, 5778, "G2V   ", 0.95f},  {0, 1e6f, 1, 5778, "G2V   ", 0.95f},
        {7, 1e6f, 1, 5778, "G2V   ", 0.95f},   {7, 1e9f, 1, 20000, "B5V   ", 0.95f},
        {2, 1e6f, 1, 5778, "G2I-a0", 0.95f},   {9, 500, 1, 2500, "M6II  ", 0.95f},
        {13, 1e6f, 1, 5778, "Q     ", 0.95f},  {14, 0, 1, -1, "Q     ", 0.95f},
        {15, 1, 1, 5778, "SNR   ", 0.95f},     {16, 1e6f, 1, 5778, "????  ", 0.95f},
        {20, 1, 1, 5778, "????  ", 0.95f},     {25, 1, 1, 5778, "????  ", 0.95f},
        {-2147483647 - 1, 1, 1, 5778, "G2V   ", 0.95f},
        {2147483647, 1, 1, 5778, "????  ", 0.95f},
    };
    run_table(rows);
}

// Stars up to type 9 at 700 K and below fall into Y (boundary 0, width
// 700); with no positive temperature there is no class and the code is
// "????".
TEST(GuessType, CoolAndUnplacedStars) {
    const Case rows[] = {
        {1, 1, 1, 700, "Y0V   ", 0.95f},   {1, 1, 1, 350, "Y5V   ", 0.95f},
        {3, 100, 1, 350, "Y5III ", 0.95f}, {1, 1, 1, 1, "Y9V   ", 0.95f},
        {1, 1, 1, 0.0f, "????  ", 0.95f},  {1, 1, 1, -0.0f, "????  ", 0.95f},
        {1, 1, 1, -5, "????  ", 0.95f},    {1, 1, 1, nan_f, "????  ", 0.95f},
        {4, 300000, 1, 0, "????  ", 0.95f}, {0, 0, 0, 0, "????  ", 0},
    };
    run_table(rows);
}
