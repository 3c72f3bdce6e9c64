// faithful: the spectral type code and absolute magnitude that --faithful
// gives one star, from the star's own luminosity and temperature.
//
// A star that shines (types 0 to 12 with a finite, positive temperature and
// luminosity) gets AbsMag = 4.74 - 2.5 log10 L - BC_V(T) and the code whose
// temperature in the planetarium is nearest its own, so that the planetarium
// draws it at about the brightness and colour the simulation gave it. Every
// other star is classified as guess_type does, from the listed magnitude
// left unscaled.
//
// Everything here is a constant table, built or checked at compile time,
// except the logarithms of the correction table's temperatures, taken once
// at the first call.

#include "classify.h"

#include <cfloat>
#include <cmath>
#include <cstring>


namespace {

// The first index j of first .. first + len - 2 for which before(j) is
// false, or first + len - 1 when it holds for them all; before must be true
// up to some index and false from there on. A binary search whose steps
// select without a branch (a conditional move), so the temperatures of
// successive stars, in no order, cost no mispredicted jumps.
template <class Before>
inline int first_not_before(int first, int len, Before before) {
    while (len > 1) {
        const int half = len / 2;
        first = before(first + half - 1) ? first + half : first;
        len -= half;
    }
    return first;
}

// ---------------------------------------------------------------------------
// The V-band bolometric correction.

// The mean dwarf sequence of E. Mamajek, "A Modern Mean Dwarf Stellar Color
// and Effective Temperature Sequence", version 2024.05.15 (largely Table 5 of
// Pecaut & Mamajek 2013, ApJS 208, 9): effective temperature (K) and BC_V
// (mag) of every row that has a BC_V, hottest first. On that table
// M_bol = 4.74 - 2.5 log10 L and M_V = M_bol - BC_V. The half classes fall
// in temperature order with the rest: the temperatures decrease strictly
// from row to row (checked below), so no two rows share a temperature and
// every interval between neighbours has a width.
struct BcRow {
    double teff;
    double bc;
};
constexpr BcRow bc_rows[] = {
    {45900, -4.01}, {42900, -3.89}, {41400, -3.76}, {40400, -3.67}, {39800, -3.57}, {38000, -3.49},  // O3V .. O6.5V
    {37900, -3.41}, {36100, -3.33}, {35100, -3.24}, {34300, -3.18}, {33300, -3.11}, {31900, -3.01},  // O7V .. O9.5V
    {31400, -2.99}, {29000, -2.83}, {26000, -2.58}, {24500, -2.44}, {20600, -2.03}, {18500, -1.77},  // B0V .. B2.5V
    {17000, -1.54}, {16400, -1.49}, {15700, -1.34}, {14500, -1.13}, {14000, -1.05}, {12300, -0.73},  // B3V .. B8V
    {10700, -0.42}, {10400, -0.36},                                                                  // B9V, B9.5V
    {9700, -0.21},  {9300, -0.14},  {8840, -0.07},  {8600, -0.04},  {8250, -0.02},  {8100, 0.00},    // A0V .. A5V
    {7910, 0.005},  {7760, 0.01},   {7590, 0.02},   {7400, 0.02},                                    // A6V .. A9V
    {7220, 0.01},   {7020, 0.005},  {6820, -0.005}, {6750, -0.01},  {6670, -0.015}, {6550, -0.02},   // F0V .. F5V
    {6350, -0.03},  {6280, -0.035}, {6180, -0.04},  {6050, -0.05},  {5990, -0.06},                   // F6V .. F9.5V
    {5930, -0.065}, {5860, -0.073}, {5770, -0.085}, {5720, -0.095}, {5680, -0.10},  {5660, -0.105},  // G0V .. G5V
    {5600, -0.115}, {5550, -0.125}, {5480, -0.14},  {5380, -0.16},                                   // G6V .. G9V
    {5290, -0.195}, {5170, -0.23},  {5100, -0.26},  {4870, -0.365}, {4600, -0.52},  {4440, -0.63},   // K0V .. K5V
    {4300, -0.75},  {4090, -0.93},  {3990, -1.03},  {3930, -1.07},                                   // K6V .. K9V
    {3850, -1.15},  {3770, -1.29},  {3660, -1.42},  {3620, -1.50},  {3560, -1.62},  {3470, -1.78},   // M0V .. M2.5V
    {3430, -1.93},  {3270, -2.28},  {3210, -2.51},  {3110, -2.84},  {3060, -3.11},  {2930, -3.58},   // M3V .. M5.5V
    {2810, -4.13},  {2740, -4.62},  {2680, -4.99},  {2630, -5.32},  {2570, -5.65},  {2420, -5.78},   // M6V .. M8.5V
    {2380, -5.86},  {2330, -6.13},                                                                   // M9V, M9.5V
    {2270, -6.25},  {2160, -6.48},  {2060, -6.62},  {1920, -7.05},  {1870, -7.53},  {1710, -7.87},   // L0V .. L5V
};
constexpr int n_bc = sizeof bc_rows / sizeof bc_rows[0];

constexpr bool strictly_cooler_down(const BcRow* rows, int n) {
    for (int i = 1; i < n; ++i) {
        if (!(rows[i].teff < rows[i - 1].teff)) return false;
    }
    return true;
}
static_assert(strictly_cooler_down(bc_rows, n_bc), "the correction rows must cool strictly from row to row");

// Hotter than the first row, BC_V falls by this much per dex of temperature
// from the first row's value: the slope of Vacca, Garmany & Shull (1996),
// ApJ 460, 914, for O stars.
constexpr double bc_hot_slope = -6.84;

// The rows' log10 T and, for each row below the first, the slope of BC_V in
// log10 T between it and the row above (the coolest row's slope carries the
// line on below the table).
struct BcLog {
    double lt[n_bc];
    double slope[n_bc];
};

const BcLog& bc_log() {
    static const BcLog table = [] {
        BcLog t{};
        for (int i = 0; i < n_bc; ++i) t.lt[i] = std::log10(bc_rows[i].teff);
        for (int i = 1; i < n_bc; ++i) t.slope[i] = (bc_rows[i - 1].bc - bc_rows[i].bc) / (t.lt[i - 1] - t.lt[i]);
        return t;
    }();
    return table;
}

// ---------------------------------------------------------------------------
// The planetarium's temperature scale.

// The temperature (K) the planetarium draws each code with, measured by
// loading a catalogue of one entry per code through its own, unmodified
// loader (Celestia 1.6.4 and its development version of 2026-08); these are
// the development version's. Codes in the order O0 .. Y9 (class letter,
// then subclass). As measured there are three scales: the dwarfs (V), the
// giants (III, which IV shares) and the supergiants (I-b, I-a, I-a0, which
// II shares); L, T and Y are the same in all three.
constexpr int n_mk = 100;
constexpr char mk_letters[] = "OBAFGKMLTY";
constexpr std::int32_t dwarf_teff[n_mk] = {
    52500, 52500, 52500, 44900, 42900, 41400, 39500, 37100, 35100, 33300,  // O
    31400, 26000, 20600, 17000, 16400, 15700, 14500, 14000, 12300, 10700,  // B
    9700,  9300,  8800,  8600,  8250,  8100,  7910,  7760,  7590,  7400,   // A
    7220,  7020,  6820,  6750,  6670,  6550,  6350,  6280,  6180,  6050,   // F
    5930,  5860,  5770,  5720,  5680,  5660,  5600,  5550,  5480,  5380,   // G
    5270,  5170,  5100,  4830,  4600,  4440,  4300,  4100,  3990,  3930,   // K
    3850,  3660,  3560,  3430,  3210,  3060,  2810,  2680,  2570,  2380,   // M
    2270,  2160,  2060,  1920,  1870,  1710,  1550,  1530,  1420,  1370,   // L
    1255,  1240,  1220,  1200,  1180,  1160,  950,   825,   680,   560,    // T
    450,   360,   320,   280,   250,   200,   150,   100,   50,    3,      // Y
};
constexpr std::int32_t giant_teff[n_mk] = {
    50000, 50000, 50000, 50000, 45500, 42500, 39500, 37000, 34700, 32000,  // O
    29000, 24000, 20300, 17100, 16000, 15000, 14100, 13200, 12400, 11000,  // B
    10100, 9480,  9000,  8600,  8300,  8100,  7850,  7650,  7450,  7250,   // A
    7150,  7000,  6870,  6720,  6570,  6470,  6350,  6250,  6150,  6080,   // F
    5850,  5650,  5450,  5350,  5250,  5150,  5050,  5070,  4900,  4820,   // G
    4750,  4600,  4420,  4200,  4000,  3950,  3900,  3850,  3830,  3810,   // K
    3800,  3720,  3620,  3530,  3430,  3330,  3240,  3240,  3240,  3240,   // M
    2270,  2160,  2060,  1920,  1870,  1710,  1550,  1530,  1420,  1370,   // L
    1255,  1240,  1220,  1200,  1180,  1160,  950,   825,   680,   560,    // T
    450,   360,   320,   280,   250,   200,   150,   100,   50,    3,      // Y
};
constexpr std::int32_t supergiant_teff[n_mk] = {
    47300, 47300, 47300, 47300, 44100, 42500, 39500, 37000, 34700, 32000,  // O
    26000, 20800, 18500, 16200, 15100, 13600, 13000, 12200, 11200, 10300,  // B
    9730,  9230,  9080,  8770,  8610,  8510,  8310,  8150,  7950,  7800,   // A
    7700,  7500,  7350,  7150,  7000,  6900,  6500,  6300,  6100,  5800,   // F
    5550,  5350,  5200,  5050,  4950,  4850,  4750,  4660,  4600,  4500,   // G
    4420,  4330,  4250,  4080,  3950,  3850,  3760,  3700,  3680,  3660,   // K
    3650,  3550,  3450,  3200,  2980,  2800,  2600,  2600,  2600,  2600,   // M
    2270,  2160,  2060,  1920,  1870,  1710,  1550,  1530,  1420,  1370,   // L
    1255,  1240,  1220,  1200,  1180,  1160,  950,   825,   680,   560,    // T
    450,   360,   320,   280,   250,   200,   150,   100,   50,    3,      // Y
};
// The white dwarfs' scale, DZ0 .. DZ9, the same in both versions.
constexpr int n_dz = 10;
constexpr std::int32_t dz_teff[n_dz] = {100000, 50400, 25200, 16800, 12600, 10080, 8400, 7200, 6300, 5600};

// A scale made ready for the nearest code: its distinct temperatures in
// increasing order, each with one code, and the midpoints between
// neighbours. Of codes that share a temperature the one latest in the
// scale's order is kept (O0V, O1V and O2V are all drawn at 52,500 K: O2V).
// A temperature on a midpoint lies as near the cooler code as the hotter:
// it takes the cooler. The midpoints are halves of integers below 2^18,
// exact in single precision, so the star's temperature is compared with
// them exactly.
template <int N>
struct Nearest {
    int n = 0;                  // distinct temperatures
    float mid[N] = {};          // n - 1 midpoints, increasing
    std::uint8_t code[N] = {};  // index in the scale's order, coolest first
};

template <int N>
constexpr Nearest<N> make_nearest(const std::int32_t (&teff)[N]) {
    // Indices ordered by temperature, and among equal temperatures latest
    // first (insertion sort: 100 entries, at compile time).
    int idx[N] = {};
    for (int i = 0; i < N; ++i) {
        int j = i;
        while (j > 0 && (teff[idx[j - 1]] > teff[i] || (teff[idx[j - 1]] == teff[i] && idx[j - 1] < i))) {
            idx[j] = idx[j - 1];
            --j;
        }
        idx[j] = i;
    }
    Nearest<N> s{};
    for (int i = 0; i < N; ++i) {
        const std::int32_t t = teff[idx[i]];
        if (s.n > 0) {
            const std::int32_t below = teff[s.code[s.n - 1]];
            if (t == below) continue;  // a later code of this temperature is kept
            s.mid[s.n - 1] = static_cast<float>(below + t) * 0.5f;
        }
        s.code[s.n++] = static_cast<std::uint8_t>(idx[i]);
    }
    return s;
}

constexpr Nearest<n_mk> dwarf_scale = make_nearest(dwarf_teff);
constexpr Nearest<n_mk> giant_scale = make_nearest(giant_teff);
constexpr Nearest<n_mk> supergiant_scale = make_nearest(supergiant_teff);
constexpr Nearest<n_dz> dz_scale = make_nearest(dz_teff);

// The code on scale s whose temperature is nearest t: the count of
// midpoints below t is the place of that code among the distinct
// temperatures.
template <int N>
inline int nearest_code(const Nearest<N>& s, float t) {
    return s.code[first_not_before(0, s.n, [&s, t](int j) { return s.mid[j] < t; })];
}

// The planetarium's scale of each luminosity class of lum_class_text
// (I-a0, I-a, I-b, II, III, IV, V).
const Nearest<n_mk>* const class_scale[7] = {&supergiant_scale, &supergiant_scale, &supergiant_scale,
                                             &supergiant_scale, &giant_scale,      &giant_scale,
                                             &dwarf_scale};

// Types 0 to 12: the main sequence, the giants, the helium stars and the
// white dwarfs; the white dwarfs begin at 10.
constexpr std::int32_t last_shining = 12;
constexpr std::int32_t first_wd = 10;
// The Sun's bolometric absolute magnitude (IAU 2015 Resolution B2).
constexpr double mbol_sun = 4.74;

}  // namespace

double bc_v(double t) {
    const BcLog& g = bc_log();
    const double lt = std::log10(t);
    if (t >= bc_rows[0].teff) return bc_rows[0].bc + bc_hot_slope * (lt - g.lt[0]);
    // The first row at or below t, and the coolest row when t is below them
    // all: its slope joins it to the row above.
    const int i = first_not_before(1, n_bc - 1, [t](int j) { return bc_rows[j].teff > t; });
    return bc_rows[i].bc + g.slope[i] * (lt - g.lt[i]);
}

bool shines(std::int32_t ktype, float lum, float temp) {
    // Finite and above 0: false for a NaN, an infinity, 0 and below.
    return ktype >= 0 && ktype <= last_shining && lum > 0.0f && lum <= FLT_MAX && temp > 0.0f &&
           temp <= FLT_MAX;
}

bool faithful_type(const float& lum, float& absmag, const float& temp, const std::int32_t& ktype,
                   char (&code)[6]) {
    if (!shines(ktype, lum, temp)) {
        guess_type_unscaled(lum, absmag, temp, ktype, code);
        return false;
    }
    const double t = temp;
    absmag = static_cast<float>(mbol_sun - 2.5 * std::log10(static_cast<double>(lum)) - bc_v(t));
    if (ktype >= first_wd) {
        code[0] = 'D';
        code[1] = 'Z';
        code[2] = static_cast<char>('0' + nearest_code(dz_scale, temp));
        std::memcpy(code + 3, "   ", 3);
        return true;
    }
    const int lc = lum_class(ktype, lum);
    const int c = nearest_code(*class_scale[lc], temp);
    code[0] = mk_letters[c / 10];
    code[1] = static_cast<char>('0' + c % 10);
    std::memcpy(code + 2, lum_class_text[lc], 4);
    return true;
}
