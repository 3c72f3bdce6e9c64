// gen_cluster: a deterministic generator of star cluster member lists.
//
//   gen_cluster N SEED > cluster.txt
//   gen_cluster --table N SEED > cluster.txt
//   gen_cluster --table --binaries N SEED > cluster.txt
//
// Writes N star lines in the layout orblenz reads: 20 columns separated by
// one tab, every real with a decimal point, the evolution type a plain
// integer:
//
//    1 mass (Msun)              11 spin (1/yr)
//    2 x (pc)                   12 radius (Rsun)
//    3 y (pc)                   13 luminosity (Lsun)
//    4 z (pc)                   14 epoch: cluster age (Myr)
//    5 vx (km/s)                15 metallicity Z
//    6 vy (km/s)                16 absolute V magnitude
//    7 vz (km/s)                17 apparent V magnitude (cluster at 1 kpc)
//    8 initial mass (Msun)      18 B-V
//    9 evolution type (0-15)    19 effective temperature (K)
//   10 epoch: start of the      20 bolometric correction BC_V
//      star's present phase (Myr)
//
// The cluster is an old open cluster (6 Gyr, Z = 0.02, turn-off near
// 1.23 Msun): positions from a Plummer sphere of scale 1 pc (cut at 20 pc),
// velocities from the Plummer distribution function, initial masses from the
// Kroupa (2001) IMF between 0.08 and 100 Msun. The evolution type follows
// from the initial mass and the main-sequence lifetime; a few helium stars,
// helium white dwarfs and massless remnants stand in for binary evolution.
// Neutron stars and black holes have L = 0, T = 0 and a magnitude of 99.0
// (half of them) or 9999.0; massless remnants and white dwarfs fainter than
// 1e-4 Lsun have 9999.0 too, so about 2 % of the stars are dark.
//
// With --table the same stars are written as the most widely used cluster
// generator (McLuster, run with -C 3 -u 1) writes its tables: a header line
// beginning with "#" that names the 21 columns; one tab between values,
// except two after the eighth (the initial mass); positions and velocities
// with 16 decimals; the evolution type as a whole number; every other value
// with 6 decimals; M_V 9999.9 for remnants and for stars outside 3000 to
// 55000 K, which that generator cannot put on its colour scale. Its columns
// 1 to 19 are those above, but for 12 (radius), 14 (age), 17 (V), 18 (B-V);
// 20 and 21 are the extinction in V and in B-V.
//
// With --binaries every star is one of a bound pair, the two written on
// consecutive lines as that generator writes its binaries: the pair's
// centre of mass and velocity from the Plummer sphere, the second star's
// mass from the same IMF, neither a massless remnant; semi-major axes
// log-uniform from 0.1 to 10^4 au, eccentricities thermal (f(e) = 2e, at
// most 0.99), orientation isotropic, the phase uniform in mean anomaly,
// all with the stars' present masses (N odd: the last star is single).
//
// Randomness comes from splitmix64 written out below, and every distribution
// is sampled here by inversion or rejection, so the same N and SEED give the
// same file on every platform (the remaining platform dependence is the last
// bit of libm's pow/log10/cbrt, which the six-decimal output hides except in
// a once-in-billions rounding tie). Output is formatted by hand into one large
// buffer: 10^7 stars take a few seconds.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// ---------------------------------------------------------------- random

std::uint64_t rng_state;

std::uint64_t splitmix64() {
    std::uint64_t z = (rng_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Uniform in [0, 1), 53 random bits.
double uniform() { return static_cast<double>(splitmix64() >> 11) * 0x1.0p-53; }
// Uniform in (0, 1].
double uniform_pos() { return static_cast<double>((splitmix64() >> 11) + 1) * 0x1.0p-53; }
// Uniform in [lo, hi).
double uniform_in(double lo, double hi) { return lo + (hi - lo) * uniform(); }

// ---------------------------------------------------------------- output

constexpr std::size_t OUT_SIZE = 1u << 20;
constexpr std::size_t OUT_SLACK = 1024;  // one line is far shorter
char out_buf[OUT_SIZE];
std::size_t out_len;

void out_flush() {
    if (out_len != 0 && std::fwrite(out_buf, 1, out_len, stdout) != out_len) {
        std::perror("gen_cluster: write");
        std::exit(1);
    }
    out_len = 0;
}

void put_char(char c) { out_buf[out_len++] = c; }

void put_uint(std::uint64_t v, int min_digits) {
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 || n < min_digits);
    while (n > 0) put_char(tmp[--n]);
}

void put_int(long v) {
    if (v < 0) {
        put_char('-');
        put_uint(static_cast<std::uint64_t>(-v), 1);
    } else {
        put_uint(static_cast<std::uint64_t>(v), 1);
    }
}

// Fixed point with six decimals ("%.6f" style, always a point). The value is
// rounded by one IEEE multiplication and nearbyint, so it is the same on
// every machine. |v| stays below 1e7 in this generator.
void put_fixed6(double v) {
    double q = std::nearbyint(v * 1e6);
    if (q < 0) {
        put_char('-');
        q = -q;
    }
    auto iq = static_cast<std::uint64_t>(q);
    put_uint(iq / 1000000, 1);
    put_char('.');
    put_uint(iq % 1000000, 6);
}

// Exact powers of ten 1e-30 .. 1e30 (compiler-rounded literals).
constexpr double p10[61] = {
    1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18,
    1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
    1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,
    1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,
    1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30};

// Scientific with six decimals ("%.6e" style: 1.234560e-05, 0.000000e+00).
void put_sci6(double v) {
    if (v < 0) {
        put_char('-');
        v = -v;
    }
    if (!(v >= 1e-30)) {  // zero and below the table
        std::memcpy(out_buf + out_len, "0.000000e+00", 12);
        out_len += 12;
        return;
    }
    if (v > 9.9e30) v = 9.9e30;
    int e = 30;
    while (e > -30 && v < p10[e + 30]) --e;
    double q = std::nearbyint(v / p10[e + 30] * 1e6);
    if (q >= 1e7) {  // 9.9999999 rounds up to the next decade
        q = std::nearbyint(q / 10);
        ++e;
    }
    auto iq = static_cast<std::uint64_t>(q);
    put_uint(iq / 1000000, 1);
    put_char('.');
    put_uint(iq % 1000000, 6);
    put_char('e');
    put_char(e < 0 ? '-' : '+');
    put_uint(static_cast<std::uint64_t>(e < 0 ? -e : e), 2);
}

// ---------------------------------------------------------------- cluster

constexpr double AGE = 6000.0;     // Myr
constexpr double METAL = 0.02;
constexpr double TSUN = 5772.0;    // K
constexpr double MBOL_SUN = 4.74;
constexpr double DIST_PC = 1000.0;  // for the apparent magnitude
constexpr double EXTINCTION = 0.31;
constexpr double G_PC = 4.30091e-3;  // pc (km/s)^2 / Msun
constexpr double MEAN_MASS = 0.58;   // Kroupa 0.08-100, for the velocity scale

// Kroupa (2001): dN/dm ~ m^-1.3 on [0.08, 0.5), ~ m^-2.3 on [0.5, 100],
// continuous at 0.5.
double imf_mass() {
    // Integrals of the two segments (the second carries the factor 0.5).
    static const double i1 = (std::pow(0.08, -0.3) - std::pow(0.5, -0.3)) / 0.3;
    static const double i2 = 0.5 * (std::pow(0.5, -1.3) - std::pow(100.0, -1.3)) / 1.3;
    double lo, hi, alpha;
    if (uniform() * (i1 + i2) < i1) {
        lo = 0.08, hi = 0.5, alpha = 1.3;
    } else {
        lo = 0.5, hi = 100.0, alpha = 2.3;
    }
    double k = 1.0 - alpha;
    double a = std::pow(lo, k), b = std::pow(hi, k);
    return std::pow(a + uniform() * (b - a), 1.0 / k);
}

// Main-sequence lifetime, Myr.
double t_ms(double m) { return 10000.0 * std::pow(m, -2.5); }

// Zero-age main-sequence luminosity and radius.
double l_zams(double m) { return m < 0.43 ? 0.23 * std::pow(m, 2.3) : std::pow(m, 3.5); }
double r_zams(double m) { return m < 1.0 ? std::pow(m, 0.8) : std::pow(m, 0.57); }

double teff(double lum, double rad) { return TSUN * std::sqrt(std::sqrt(lum / (rad * rad))); }
double radius(double lum, double t) { return std::sqrt(lum) / ((t / TSUN) * (t / TSUN)); }

// Bolometric correction in V (Reed 1998 fit), temperature clamped to its range.
double bc_v(double t) {
    if (t < 2000) t = 2000;
    if (t > 100000) t = 100000;
    double x = std::log10(t) - 4.0;
    return (((-8.499 * x + 13.421) * x - 8.131) * x - 3.901) * x - 0.438;
}

// B-V from the temperature (Ballesteros 2012, inverted), clamped.
double b_v(double t) {
    double s = t / 4600.0;
    double b = 2.32 * s - 2.0, c = 1.054 * s - 2.32;
    double a = (-b + std::sqrt(b * b - 4.0 * s * c)) / (2.0 * s);
    double bv = a / 0.92;
    if (bv < -0.4) bv = -0.4;
    if (bv > 2.2) bv = 2.2;
    return bv;
}

struct Star {
    double mass, m0, x, y, z, vx, vy, vz;
    int kw;
    double epoch, spin, rad, lum, mv, bc, t;
};

// Plummer sphere of scale 1 pc, cut at 20 pc; isotropic velocities from its
// distribution function (rejection on q^2 (1 - q^2)^3.5).
void place(Star& s, double vunit) {
    double r;
    do {
        double u = uniform_pos();
        double c = std::cbrt(u);
        r = 1.0 / std::sqrt(1.0 / (c * c) - 1.0);
    } while (!(r < 20.0));
    double dx, dy, dz, d2;
    do {
        dx = uniform_in(-1, 1), dy = uniform_in(-1, 1), dz = uniform_in(-1, 1);
        d2 = dx * dx + dy * dy + dz * dz;
    } while (d2 > 1.0 || d2 < 1e-12);
    double f = r / std::sqrt(d2);
    s.x = dx * f, s.y = dy * f, s.z = dz * f;

    double q;
    for (;;) {
        q = uniform();
        double w = 1.0 - q * q;
        if (0.1 * uniform() < q * q * w * w * w * std::sqrt(w)) break;
    }
    double v = q * std::sqrt(2.0) / std::sqrt(std::sqrt(1.0 + r * r)) * vunit;
    do {
        dx = uniform_in(-1, 1), dy = uniform_in(-1, 1), dz = uniform_in(-1, 1);
        d2 = dx * dx + dy * dy + dz * dz;
    } while (d2 > 1.0 || d2 < 1e-12);
    f = v / std::sqrt(d2);
    s.vx = dx * f, s.vy = dy * f, s.vz = dz * f;
}

// Post-main-sequence phases as fractions of the main-sequence lifetime.
constexpr double PH_HG = 0.02, PH_GB = 0.12, PH_CHEB = 0.22, PH_EAGB = 0.23, PH_TPAGB = 0.235;

void evolve(Star& s) {
    double m0 = s.m0;
    double tms = t_ms(m0);
    s.spin = 0;
    if (AGE < tms) {  // main sequence
        double tau = AGE / tms;
        s.kw = m0 < 0.7 ? 0 : 1;
        s.mass = m0;
        s.lum = l_zams(m0) * (1.0 + 0.6 * tau) * uniform_in(0.97, 1.03);
        s.rad = r_zams(m0) * (1.0 + 0.3 * tau);
        s.t = teff(s.lum, s.rad);
        s.epoch = 0.0;
        s.spin = std::pow(10.0, uniform_in(-1.0, 1.0)) * 1e-6;
        return;
    }
    double dt = AGE - tms;  // time since the end of the main sequence
    double ph = dt / tms;
    double lto = l_zams(m0) * 1.6;
    double tto = teff(lto, r_zams(m0) * 1.3);
    if (ph < PH_TPAGB) {
        bool helium = uniform() < 0.03;  // stripped in a binary
        double f;
        if (ph < PH_HG) {
            f = ph / PH_HG;
            s.kw = helium ? 7 : 2;
            s.lum = lto * (1.0 + 0.5 * f);
            s.t = tto * (1.0 - f) + 5000.0 * f;
            s.epoch = tms;
            s.mass = m0;
        } else if (ph < PH_GB) {
            f = (ph - PH_HG) / (PH_GB - PH_HG);
            s.kw = helium ? 8 : 3;
            s.lum = 3.0 * std::pow(10.0, 3.0 * f * f);
            s.t = 5000.0 - 1400.0 * f;
            s.epoch = tms * (1 + PH_HG);
            s.mass = m0 * (1.0 - 0.1 * f);
        } else if (ph < PH_CHEB) {
            f = (ph - PH_GB) / (PH_CHEB - PH_GB);
            s.kw = helium ? 9 : 4;
            s.lum = 45.0 + 15.0 * f + 40.0 * (m0 - 1.0);
            s.t = uniform_in(4500.0, 5000.0);
            s.epoch = tms * (1 + PH_GB);
            s.mass = m0 * 0.88;
        } else if (ph < PH_EAGB) {
            f = (ph - PH_CHEB) / (PH_EAGB - PH_CHEB);
            s.kw = 5;
            s.lum = std::pow(10.0, 2.5 + 1.0 * f);
            s.t = 4200.0 - 600.0 * f;
            s.epoch = tms * (1 + PH_CHEB);
            s.mass = m0 * 0.85;
        } else {
            f = (ph - PH_EAGB) / (PH_TPAGB - PH_EAGB);
            s.kw = 6;
            s.lum = std::pow(10.0, 3.5 + 0.5 * f);
            s.t = 3800.0 - 400.0 * f;
            s.epoch = tms * (1 + PH_EAGB);
            s.mass = m0 * (0.85 - 0.2 * f);
        }
        if (helium) {  // naked helium cores: hot and small
            s.mass = 0.3 + 0.2 * uniform();
            if (s.kw == 7) s.t = uniform_in(40000.0, 80000.0), s.lum = std::pow(10.0, uniform_in(1.5, 3.5));
            if (s.kw == 8) s.t = uniform_in(25000.0, 50000.0), s.lum = std::pow(10.0, uniform_in(2.5, 3.5));
            if (s.kw == 9) s.t = uniform_in(10000.0, 25000.0), s.lum = std::pow(10.0, uniform_in(2.5, 3.5));
        }
        s.rad = radius(s.lum, s.t);
        s.spin = std::pow(10.0, uniform_in(-3.0, -1.0)) * 1e-6;
        return;
    }
    // Remnants.
    double tcool = dt - PH_TPAGB * tms;  // Myr
    s.epoch = AGE - tcool;
    if (m0 < 8.0) {
        double u = uniform();
        if (u < 0.002) {
            s.kw = 15;
        } else if (u < 0.05) {
            s.kw = 10;
            s.mass = uniform_in(0.2, 0.45);
        } else {
            s.kw = m0 < 6.5 ? 11 : 12;
            s.mass = 0.109 * m0 + 0.394;  // initial-final mass relation
        }
        if (s.kw != 15) {
            double tg = tcool / 1000.0;
            if (tg < 0.001) tg = 0.001;
            s.lum = 1e-3 * std::pow(tg, -1.4);  // Mestel cooling
            if (s.lum > 0.5) s.lum = 0.5;
            s.rad = 0.0127 * std::cbrt(0.6 / s.mass);
            s.t = teff(s.lum, s.rad);
            if (s.t > 30000.0) s.t = 30000.0;
            if (s.t < 5000.0) s.t = 5000.0;
            return;
        }
    } else if (m0 < 25.0) {
        s.kw = uniform() < 0.05 ? 15 : 13;
        s.mass = 1.2 + 0.8 * uniform();
        s.rad = 1.4e-5;
    } else {
        s.kw = 14;
        s.mass = 3.0 + 0.25 * m0;
        s.rad = 4.24e-6 * s.mass;
    }
    if (s.kw == 15) s.mass = 0.0, s.rad = 0.0;
    s.lum = s.kw == 15 ? 0.0 : 1e-10;
    s.t = 0.0;
}

// --binaries: the second star of a pair about the first, drawn as above, in
// au and au per Julian year, then the two stars about their centre of mass
// in pc and km/s.
constexpr double AU_PER_PC = 206264.80624709636;
constexpr double KMS_PER_AUYR = 149597870.7 / 31557600.0;
constexpr double GM_SUN = 39.476926421373;  // au^3 / yr^2

// A unit vector, isotropic.
void direction(double u[3]) {
    double d2;
    do {
        u[0] = uniform_in(-1, 1), u[1] = uniform_in(-1, 1), u[2] = uniform_in(-1, 1);
        d2 = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
    } while (d2 > 1.0 || d2 < 1e-12);
    double f = 1.0 / std::sqrt(d2);
    for (int k = 0; k < 3; ++k) u[k] *= f;
}

void bind(Star& a, Star& b) {
    const double m = a.mass + b.mass;
    const double sma = std::pow(10.0, uniform_in(-1.0, 4.0));
    double e = std::sqrt(uniform());
    if (e > 0.99) e = 0.99;
    const double mean = uniform_in(0.0, 6.283185307179586);
    double E = e < 0.8 ? mean : 3.141592653589793;
    for (int i = 0; i < 60; ++i) E -= (E - e * std::sin(E) - mean) / (1.0 - e * std::cos(E));
    const double n = std::sqrt(GM_SUN * m / (sma * sma * sma));
    const double px = sma * (std::cos(E) - e), py = sma * std::sqrt(1.0 - e * e) * std::sin(E);
    const double vxp = -sma * n * std::sin(E) / (1.0 - e * std::cos(E));
    const double vyp = sma * n * std::sqrt(1.0 - e * e) * std::cos(E) / (1.0 - e * std::cos(E));
    // The orbit's plane: its pole p, and two axes in it.
    double p[3], q[3], w[3];
    direction(p);
    do {
        direction(q);
        w[0] = p[1] * q[2] - p[2] * q[1], w[1] = p[2] * q[0] - p[0] * q[2], w[2] = p[0] * q[1] - p[1] * q[0];
    } while (w[0] * w[0] + w[1] * w[1] + w[2] * w[2] < 1e-6);
    double f = 1.0 / std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    double ax[3] = {w[0] * f, w[1] * f, w[2] * f};
    double ay[3] = {p[1] * ax[2] - p[2] * ax[1], p[2] * ax[0] - p[0] * ax[2], p[0] * ax[1] - p[1] * ax[0]};
    double r[3], v[3];
    for (int k = 0; k < 3; ++k) {
        r[k] = (px * ax[k] + py * ay[k]) / AU_PER_PC;
        v[k] = (vxp * ax[k] + vyp * ay[k]) * KMS_PER_AUYR;
    }
    const double fa = b.mass / m, fb = a.mass / m;
    double* pa[6] = {&a.x, &a.y, &a.z, &a.vx, &a.vy, &a.vz};
    double* pb[6] = {&b.x, &b.y, &b.z, &b.vx, &b.vy, &b.vz};
    for (int k = 0; k < 3; ++k) {
        *pb[k] = *pa[k] + fb * r[k];
        *pa[k] -= fa * r[k];
        *pb[k + 3] = *pa[k + 3] + fb * v[k];
        *pa[k + 3] -= fa * v[k];
    }
}

// The generator's table layout (--table).
bool table_layout = false;
const char table_header[] =
    "#m[Msun]\tx[pc]\ty[pc]\tz[pc]\tvx[km/s]\tvy[km/s]\tvz[km/s]\tm0[Msun]\tkw\tepoch[Myr]\tspin\t"
    "R[Rsun]\tL[Lsun]\tage[Myr]\tZ\tMv[mag]\tV[mag]\tB-V[mag]\tTeff[K]\tdV[mag]\tdB-V[mag]\n";

// Fixed point with 16 decimals, by the C library (|v| < 1e7).
void put_fixed16(double v) {
    out_len += static_cast<std::size_t>(std::snprintf(out_buf + out_len, 40, "%.16f", v));
}

void write_table_star(const Star& s, double mv, double bv, double app) {
    if (s.kw >= 10 || s.t < 3000.0 || s.t > 55000.0) mv = 9999.9;  // off the colour scale
    put_fixed6(s.mass);  put_char('\t');
    put_fixed16(s.x);    put_char('\t');
    put_fixed16(s.y);    put_char('\t');
    put_fixed16(s.z);    put_char('\t');
    put_fixed16(s.vx);   put_char('\t');
    put_fixed16(s.vy);   put_char('\t');
    put_fixed16(s.vz);   put_char('\t');
    put_fixed6(s.m0);    put_char('\t'); put_char('\t');
    put_int(s.kw);       put_char('\t');
    put_fixed6(s.epoch); put_char('\t');
    put_fixed6(s.spin);  put_char('\t');
    put_fixed6(s.rad);   put_char('\t');
    put_fixed6(s.lum);   put_char('\t');
    put_fixed6(AGE);     put_char('\t');
    put_fixed6(METAL);   put_char('\t');
    put_fixed6(mv);      put_char('\t');
    put_fixed6(app);     put_char('\t');
    put_fixed6(bv);      put_char('\t');
    put_fixed6(s.t);     put_char('\t');
    put_fixed6(EXTINCTION);        put_char('\t');
    put_fixed6(EXTINCTION / 3.1);  put_char('\n');
    if (out_len > OUT_SIZE - OUT_SLACK) out_flush();
}

void write_star(const Star& s) {
    double mv, bc, bv;
    if (s.kw >= 13) {
        bc = 0.0;
        bv = 0.0;
        mv = (s.kw != 15 && uniform() < 0.5) ? 99.0 : 9999.0;
    } else {
        bc = bc_v(s.t);
        bv = b_v(s.t);
        mv = MBOL_SUN - 2.5 * std::log10(s.lum) - bc;  // BC_V = M_bol - M_V
        if (s.kw >= 10 && s.lum < 1e-4) mv = 9999.0;  // below the cooling tables
    }
    double d = DIST_PC + s.x;
    double app = mv + 5.0 * std::log10(d / 10.0) + EXTINCTION;
    if (table_layout) {
        write_table_star(s, mv, bv, app);
        return;
    }

    put_fixed6(s.mass);  put_char('\t');
    put_fixed6(s.x);     put_char('\t');
    put_fixed6(s.y);     put_char('\t');
    put_fixed6(s.z);     put_char('\t');
    put_fixed6(s.vx);    put_char('\t');
    put_fixed6(s.vy);    put_char('\t');
    put_fixed6(s.vz);    put_char('\t');
    put_fixed6(s.m0);    put_char('\t');
    put_int(s.kw);       put_char('\t');
    put_fixed6(s.epoch); put_char('\t');
    put_sci6(s.spin);    put_char('\t');
    put_sci6(s.rad);     put_char('\t');
    put_sci6(s.lum);     put_char('\t');
    put_fixed6(AGE);     put_char('\t');
    put_fixed6(METAL);   put_char('\t');
    put_fixed6(mv);      put_char('\t');
    put_fixed6(app);     put_char('\t');
    put_fixed6(bv);      put_char('\t');
    put_fixed6(s.t);     put_char('\t');
    put_fixed6(bc);      put_char('\n');
    if (out_len > OUT_SIZE - OUT_SLACK) out_flush();
}

bool parse_u64(const char* s, std::uint64_t& v) {
    if (*s == '\0' || *s == '-') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long r = std::strtoull(s, &end, 0);
    if (errno != 0 || *end != '\0') return false;
    v = r;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t n, seed;
    table_layout = argc >= 4 && std::strcmp(argv[1], "--table") == 0;
    if (table_layout) --argc, ++argv;
    const bool binaries = argc == 4 && std::strcmp(argv[1], "--binaries") == 0;
    if (binaries) --argc, ++argv;
    if (argc != 3 || !parse_u64(argv[1], n) || !parse_u64(argv[2], seed)) {
        std::fprintf(stderr, "usage: gen_cluster [--table] [--binaries] N SEED > file.txt\n");
        return 2;
    }
    rng_state = seed;
    if (table_layout) {
        std::memcpy(out_buf, table_header, sizeof table_header - 1);
        out_len = sizeof table_header - 1;
    }
    double vunit = std::sqrt(G_PC * MEAN_MASS * static_cast<double>(n == 0 ? 1 : n) / 1.0);
    Star s{};
    if (binaries) {
        // A star that is not a massless remnant, evolved.
        auto draw = [](Star& t) {
            do {
                t = Star{};
                t.m0 = imf_mass();
                evolve(t);
            } while (!(t.mass > 0.0));
        };
        for (std::uint64_t i = 0; i + 1 < n; i += 2) {
            Star a, b;
            draw(a);
            draw(b);
            place(a, vunit);
            bind(a, b);
            write_star(a);
            write_star(b);
        }
        if (n % 2) {
            draw(s);
            place(s, vunit);
            write_star(s);
        }
        n = 0;
    }
    for (std::uint64_t i = 0; i < n; ++i) {
        s = Star{};
        s.m0 = imf_mass();
        place(s, vunit);
        evolve(s);
        write_star(s);
    }
    out_flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("gen_cluster: write");
        return 1;
    }
    return 0;
}
