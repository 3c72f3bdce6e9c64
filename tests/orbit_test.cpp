// Binaries (--binaries) end to end: which consecutive stars pair, the lines
// written for them, and where the planetarium's own orbit code puts the
// stars of what is written: its conventions as orbit_positions.tsv states
// them, held first to the positions measured there.

#include "test_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

constexpr double PI = 3.14159265358979323846, DEG = PI / 180;
constexpr double OBL_C = 0.91748206214632095, OBL_S = 0.39777715575399056;
constexpr double AU_PER_PC = 3.26163626 * 63241.077084266;
constexpr double KMS_PER_AUYR = 149597870.7 / 31557600.0;
const double GM_SUN = 1.32712440018e20 * 31557600.0 * 31557600.0 / std::pow(149597870700.0, 3);  // au^3/yr^2

struct Orbit { double P, a, e, i, node, w, M; };

// An orbit's point at mean anomaly M (radians) and its velocity (au per
// year), J2000 equatorial: the perifocal ellipse turned by node, i and w
// about the ecliptic, then from the ecliptic to the equator.
void orbit_state(const Orbit& o, double M, double r[3], double v[3]) {
    M = std::fmod(M, 2 * PI);
    if (M < 0) M += 2 * PI;
    double E = o.e < 0.8 ? M : PI;
    for (int k = 0; k < 100; ++k) E -= (E - o.e * std::sin(E) - M) / (1 - o.e * std::cos(E));
    const double b = o.a * std::sqrt(1 - o.e * o.e), Edot = 2 * PI / o.P / (1 - o.e * std::cos(E));
    const double p[2][2] = {{o.a * (std::cos(E) - o.e), b * std::sin(E)}, {-o.a * std::sin(E) * Edot, b * std::cos(E) * Edot}};
    const double cw = std::cos(o.w * DEG), sw = std::sin(o.w * DEG), ci = std::cos(o.i * DEG), si = std::sin(o.i * DEG),
                 cn = std::cos(o.node * DEG), sn = std::sin(o.node * DEG);
    double* out[2] = {r, v};
    for (int k = 0; k < 2; ++k) {
        const double x1 = p[k][0] * cw - p[k][1] * sw, y1 = p[k][0] * sw + p[k][1] * cw;
        const double X = x1 * cn - y1 * ci * sn, Y = x1 * sn + y1 * ci * cn, Z = y1 * si;
        out[k][0] = X, out[k][1] = OBL_C * Y - OBL_S * Z, out[k][2] = OBL_S * Y + OBL_C * Z;
    }
}

double dist(const double a[3], const double b[3]) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

// A star line of a plain list: mass, position (pc), velocity (km/s), type, L, M_V, T; other columns 0.
std::string star_line(double m, const double x[3], const double v[3], const char* tail) {
    char s[512];
    std::snprintf(s, sizeof s, "%.13e\t%.13e\t%.13e\t%.13e\t%.13e\t%.13e\t%.13e\t0.\t%s\n", m, x[0], x[1], x[2], v[0],
                  v[1], v[2], tail);
    return s;
}
const char* const sun_tail = "1\t0.\t0.\t0.\t1.\t0.\t0.\t5.0842105\t0.\t0.\t5778.\t0.";   // G2V, AbsMag 4.83
const char* const dark_tail = "11\t0.\t0.\t0.\t0.001\t0.\t0.\t9500.\t0.\t0.\t5000.\t0.";  // dead

// The orbiting entries of a catalogue by name: their barycenter and orbit.
std::map<std::string, std::pair<std::string, Orbit>> orbits(const std::string& stc) {
    std::map<std::string, std::pair<std::string, Orbit>> found;
    std::istringstream in(stc);
    for (std::string l; std::getline(in, l);) {
        std::size_t b = l.find("{OrbitBarycenter \""), o = l.find("{Period ");
        if (b == std::string::npos || o == std::string::npos) continue;
        Orbit e{};
        std::sscanf(l.c_str() + o, "{Period %lf SemiMajorAxis %lf Eccentricity %lf Inclination %lf AscendingNode %lf "
                    "ArgOfPericenter %lf MeanAnomaly %lf", &e.P, &e.a, &e.e, &e.i, &e.node, &e.w, &e.M);
        found[l.substr(7, l.find('"', 7) - 7)] = {l.substr(b + 18, l.find('"', b + 18) - b - 18), e};
    }
    return found;
}

// Each column of a table's or list's star lines, by line number (from 1).
std::map<long, std::vector<double>> star_lines(const std::string& text) {
    std::map<long, std::vector<double>> rows;
    std::istringstream in(text);
    long n = 0;
    for (std::string l; std::getline(in, l);) {
        ++n;
        if (l.empty() || l[0] == '#') continue;
        std::istringstream cols(l);
        for (double v; cols >> v;) rows[n].push_back(v);
    }
    return rows;
}

// The member table's lines by list line number, cells split.
std::map<long, std::vector<std::string>> members(const std::string& tsv) {
    std::map<long, std::vector<std::string>> rows;
    std::istringstream in(tsv);
    std::string l;
    std::getline(in, l);
    while (std::getline(in, l)) {
        std::vector<std::string> c;
        for (std::size_t p = 0, t;; p = t + 1) {
            c.push_back(l.substr(p, (t = l.find('\t', p)) - p));
            if (t == std::string::npos) break;
        }
        rows[std::stol(c[0])] = c;
    }
    return rows;
}

// Every star of a binary in `dir` (<base> converted with --members) stands
// at its listed place relative to the pair's centre of mass and moves with
// its listed velocity, as the planetarium computes its orbit at the epoch;
// the pair's two orbits keep Kepler's third law. The binaries checked.
int expect_listed_states(const std::string& dir, const std::string& base) {
    auto list = star_lines(read_file(dir + "/" + base + ".txt"));
    auto tsv = members(read_file(dir + "/" + base + ".tsv"));
    auto orb = orbits(read_file(dir + "/" + base + ".stc"));
    std::map<std::string, std::vector<long>> pairs;
    for (auto& [line, c] : tsv)
        if (!c.back().empty()) pairs[c.back()].push_back(line);
    for (auto& [bary, lines] : pairs) {
        EXPECT_EQ(lines.size(), 2u) << bary;
        const auto &s1 = list[lines[0]], &s2 = list[lines[1]];
        const double m1 = s1[0], m2 = s2[0];
        double r[3], v[3];
        for (int k = 0; k < 3; ++k) r[k] = (s2[k + 1] - s1[k + 1]) * AU_PER_PC, v[k] = (s2[k + 4] - s1[k + 4]) / KMS_PER_AUYR;
        const double sep = std::hypot(r[0], r[1], r[2]), speed = std::hypot(v[0], v[1], v[2]);
        double a = 0;
        for (int k = 0; k < 2; ++k) {
            const std::string& name = tsv[lines[k]][1];
            if (name.empty()) continue;
            const auto& [named, o] = orb.at(name);
            EXPECT_EQ(named, bary);
            const double f = k == 0 ? -m2 / (m1 + m2) : m1 / (m1 + m2);
            double want_r[3] = {f * r[0], f * r[1], f * r[2]}, want_v[3] = {f * v[0], f * v[1], f * v[2]}, got_r[3], got_v[3];
            orbit_state(o, o.M * DEG, got_r, got_v);
            EXPECT_LT(dist(got_r, want_r), 1e-7 * sep) << name;
            EXPECT_LT(dist(got_v, want_v), 1e-7 * speed) << name;
            a += o.a;
            if (k == 1 && !tsv[lines[0]][1].empty()) {
                EXPECT_NEAR(4 * PI * PI * a * a * a / (o.P * o.P) / (GM_SUN * (m1 + m2)), 1.0, 1e-12) << name;
            }
        }
    }
    return static_cast<int>(pairs.size());
}

}  // namespace

// The model of the planetarium above against its own positions of 200 pairs.
TEST(Binaries, PlanetariumModelMatchesItsMeasurements) {
    std::istringstream in(read_file(std::string(ORBLENZ_TEST_DATA) + "/orbit_positions.tsv"));
    int rows = 0;
    for (std::string l; std::getline(in, l);) {
        if (l[0] == '#' || l[0] == 'p') continue;
        Orbit o;
        char epoch[32];
        double t0[3], t1[3], r[3], v[3];
        ASSERT_EQ(std::sscanf(l.c_str(), "%*s %*s %*f %lf %lf %lf %lf %lf %lf %lf %31s %lf %lf %lf %lf %lf %lf", &o.P, &o.a,
                              &o.e, &o.i, &o.node, &o.w, &o.M, epoch, &t0[0], &t0[1], &t0[2], &t1[0], &t1[1], &t1[2]), 14);
        const double since = epoch[0] == '-' ? 0 : 2451545.0 - std::atof(epoch);  // days from the epoch to t0
        const double tol = 0.3 * std::pow(o.e, 6) * o.a + 1e-10 * o.a;  // its Kepler solution below e 0.2
        orbit_state(o, o.M * DEG + 2 * PI * since / (o.P * 365.25), r, v);
        EXPECT_LT(dist(r, t0), tol) << l;
        orbit_state(o, o.M * DEG + 2 * PI * (since / (o.P * 365.25) + 0.37), r, v);
        EXPECT_LT(dist(r, t1), tol) << l;
        ++rows;
    }
    EXPECT_EQ(rows, 400);
}

namespace {

// `got` against `want`, character by character, but for numbers: one after
// a blank in `want` matches got's number there within 1e-9 (relative above
// 1; degrees taken round the circle), and "*" matches any number.
bool matches(const std::string& want, const std::string& got) {
    std::size_t i = 0, j = 0;
    while (i < want.size() && j < got.size()) {
        const bool num = i > 0 && want[i - 1] == ' ' && (want[i] == '*' || want[i] == '-' || std::isdigit(static_cast<unsigned char>(want[i])) ||
                                                          (want[i] == '.' && i + 1 < want.size() && want[i + 1] != ' '));
        if (!num) {
            if (want[i++] != got[j++]) return false;
            continue;
        }
        char* end;
        const double g = std::strtod(got.c_str() + j, &end);
        if (end == got.c_str() + j) return false;
        j = static_cast<std::size_t>(end - got.c_str());
        if (want[i] == '*') {
            ++i;
            continue;
        }
        const double w = std::strtod(want.c_str() + i, &end);
        i = static_cast<std::size_t>(end - want.c_str());
        const double d = std::fabs(w - g);
        if (d > 1e-9 * std::max(1.0, std::fabs(w)) && std::fabs(d - 360) > 1e-9) return false;
    }
    return i == want.size() && j == got.size();
}

const std::string centre = "RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance 0.15000000000000002E+04";
const std::vector<std::string> place = {"b", "P_", "83.75", "-22.5", "1500"};

std::string bary_line() { return " Barycenter \"P_B000001\" {" + centre + " }\n"; }
// Star `num`'s orbit: its share of the relative orbit o, w its own; nan for any angle.
std::string orbit_line(int num, const Orbit& o, double share, double w) {
    auto angle = [](double x) {
        char t[32];
        std::snprintf(t, sizeof t, "%.17g", x);
        return std::isnan(x) ? std::string("*") : std::string(t);
    };
    char s[512];
    std::snprintf(s, sizeof s, " Star \"P_00000%d\" {OrbitBarycenter \"P_B000001\" SpectralType \"G2V\" AbsMag    4.83 "
                  "EllipticalOrbit {Period %.17g SemiMajorAxis %.17g Eccentricity %.17g Inclination %.17g AscendingNode %s "
                  "ArgOfPericenter %s MeanAnomaly %s Epoch 2451545 } }\n", num, o.P, o.a * share, o.e, o.i,
                  angle(o.node).c_str(), angle(w).c_str(), angle(o.M).c_str());
    return s;
}

}  // namespace

// Pairs built from known orbits: the lines written, with their elements;
// the stars that must stay single, as without --binaries.
TEST(Binaries, PairsOfKnownOrbits) {
    const double nan = std::nan("");
    // Periods from the masses, 1 + 1 and 1 + 3; the tilted orbit's star at true anomaly 100 degrees.
    const double E100 = 2 * std::atan(std::sqrt(1.0 / 3) * std::tan(50 * DEG));
    const Orbit circle{2 * PI * std::sqrt(1 / (2 * GM_SUN)), 1.0, 0, 0, nan, nan, nan},
                tilted{2 * PI * std::sqrt(64 / (4 * GM_SUN)), 4.0, 0.5, 90, 30, 60, (E100 - 0.5 * std::sin(E100)) / DEG};
    const std::string fmt = "fmt: read unexpected character\napparent state: internal I/O\nlast format: (d20.15)\n"
                            "lately reading sequential formatted internal IO\n";
    const struct {
        const char* name;
        double m1, m2;
        Orbit o;
        const char* tail1;
        double vscale;       // the relative velocity times this
        std::string stc;     // "" : as without --binaries
        std::vector<std::string> options;
        std::string err;
        int status;
    } cases[] = {
        {"circle in the ecliptic", 1, 1, circle, sun_tail, 1,
         bary_line() + orbit_line(1, circle, 0.5, nan) + orbit_line(2, circle, 0.5, nan), {}, "", 0},
        {"e 0.5, i 90", 1, 3, tilted, sun_tail, 1,
         bary_line() + orbit_line(1, tilted, 0.75, 240) + orbit_line(2, tilted, 0.25, 60), {}, "", 0},
        {"dark companion, named cluster", 1, 3, tilted, dark_tail, 1,
         "Barycenter \"Cl\" {" + centre + " }\n" + bary_line() + orbit_line(1, tilted, 0.25, 60),
         {"--members", "--centre", "Cl"}, "", 0},
        {"unbound", 1, 1, circle, sun_tail, 2, "", {}, "", 0},
        {"at rest", 1, 1, circle, sun_tail, 0, "", {}, "", 0},
        {"second line refused", 1, 1, circle, sun_tail, 1, "first line", {}, fmt, 134},
    };
    for (auto c : cases) {
        Orbit built = c.o;
        for (double* angle : {&built.node, &built.w, &built.M})
            if (std::isnan(*angle)) *angle = 0;
        double r[3], v[3], x1[3], x2[3], v1[3], v2[3];
        orbit_state(built, built.M * DEG, r, v);
        for (int k = 0; k < 3; ++k) {
            const double f1 = c.m2 / (c.m1 + c.m2), f2 = c.m1 / (c.m1 + c.m2);
            x1[k] = -f1 * r[k] / AU_PER_PC, x2[k] = f2 * r[k] / AU_PER_PC;
            v1[k] = -f1 * v[k] * c.vscale * KMS_PER_AUYR, v2[k] = f2 * v[k] * c.vscale * KMS_PER_AUYR;
        }
        std::string second = star_line(c.m2, x2, v2, sun_tail);
        if (c.status) {  // column 6, vy, refused
            std::size_t at = 0;
            for (int k = 0; k < 5; ++k) at = second.find('\t', at) + 1;
            second.replace(at, second.find('\t', at) - at, "0.1x");
        }
        const std::string list = star_line(c.m1, x1, v1, c.tail1) + second;
        std::string dir = scratch_dir(), plain = scratch_dir();
        write_file(dir + "/b.txt", list);
        write_file(plain + "/b.txt", list);
        std::vector<std::string> args = c.options, plain_args = c.options;
        args.insert(args.begin(), {"--binaries", "--members"});
        plain_args.insert(plain_args.begin(), "--members");
        args.insert(args.end(), place.begin(), place.end());
        plain_args.insert(plain_args.end(), place.begin(), place.end());
        RunResult r1 = run_orblenz(dir, args), r0 = run_orblenz(plain, plain_args);
        EXPECT_EQ(r1.err, c.err) << c.name;
        EXPECT_EQ(r1.status, c.status) << c.name;
        const std::string got = read_file(dir + "/b.stc"), alone = read_file(plain + "/b.stc");
        if (c.stc.empty()) EXPECT_EQ(got, alone) << c.name;
        else if (c.status) EXPECT_EQ(got, alone.substr(0, alone.find('\n') + 1)) << c.name;
        else EXPECT_TRUE(matches(c.stc, got)) << c.name << "\n" << got;
        if (c.status) continue;
        EXPECT_EQ(r1.out, r0.out) << c.name;
        EXPECT_EQ(expect_listed_states(dir, "b"), c.stc.empty() ? 0 : 1) << c.name;
        // The member table: the barycenter's name for both, the rest as without --binaries.
        std::string tsv0 = read_file(plain + "/b.tsv"), want;
        for (std::size_t p = 0, e; p < tsv0.size(); p = e + 1)
            want += tsv0.substr(p, (e = tsv0.find('\n', p)) - p) +
                    (p == 0 ? "\tbarycenter\n" : c.stc.empty() ? "\t\n" : "\tP_B000001\n");
        EXPECT_EQ(read_file(dir + "/b.tsv"), want) << c.name;
    }
}

// Tables with binaries, the generator's own and one written with every star
// in a pair: every bound pair of consecutive star lines (found here in SI
// units) orbits, at the listed places; everything else is as without
// --binaries.
TEST(Binaries, TablesWithBinaries) {
    std::string gen = scratch_dir() + "/g.txt";
    ASSERT_EQ(std::system((std::string(ORBLENZ_BUILD_DIR) + "/tools/gen_cluster --table --binaries 1001 7 >" + gen).c_str()), 0);
    for (const std::string& source : {std::string(ORBLENZ_SOURCE_DIR) + "/examples/old-binaries-table.txt", gen}) {
        std::string dir = scratch_dir(), plain = scratch_dir(), list = read_file(source);
        write_file(dir + "/t.txt", list);
        write_file(plain + "/t.txt", list);
        const std::vector<std::string> args = {"--table", "--faithful", "--members", "t", "P_", "132.8", "11.8", "2700"};
        std::vector<std::string> with = args;
        with.insert(with.begin(), "--binaries");
        RunResult r1 = run_orblenz(dir, with), r0 = run_orblenz(plain, args);
        EXPECT_EQ(r1.status, 0);
        EXPECT_EQ(r1.out, r0.out);
        auto tsv = members(read_file(dir + "/t.tsv")), tsv0 = members(read_file(plain + "/t.tsv"));
        // Pairs in list order: a star the one before did not take waits for the next.
        auto stars = star_lines(list);
        std::map<long, long> partner;
        long held = 0;
        for (auto& [line, s] : stars) {
            if (held) {
                const auto& h = stars[held];
                double dr = 0, dv = 0;
                for (int k = 1; k <= 3; ++k) {
                    dr += std::pow((s[k] - h[k]) * 3.26163626 * 9460730472580800.0, 2);
                    dv += std::pow((s[k + 3] - h[k + 3]) * 1000, 2);
                }
                if (0.5 * dv - 1.32712440018e20 * (s[0] + h[0]) / std::sqrt(dr) < 0) {
                    partner[held] = line, partner[line] = held, held = 0;
                    continue;
                }
            }
            held = line;
        }
        std::istringstream in1(read_file(dir + "/t.stc")), in0(read_file(plain + "/t.stc"));
        std::map<std::string, std::string> lines1, lines0;
        for (std::string l; std::getline(in1, l);) lines1[l.substr(0, l.find('{'))] = l;
        for (std::string l; std::getline(in0, l);) lines0[l.substr(0, l.find('{'))] = l;
        int written = 0;
        for (auto& [line, c] : tsv) {
            std::vector<std::string> c0 = c;
            c0.pop_back();
            EXPECT_EQ(c0, tsv0[line]) << line;
            const bool pair = partner.count(line) && !(tsv0[line][1].empty() && tsv0[partner[line]][1].empty());
            EXPECT_EQ(!c.back().empty(), pair) << line;
            if (pair) {
                EXPECT_EQ(c.back(), tsv[partner[line]].back()) << line;
            }
            const std::string key = " Star \"" + c[1] + "\" ";
            if (!pair && !c[1].empty()) {
                EXPECT_EQ(lines1[key], lines0[key]) << line;
            }
            written += pair && line < partner[line];
        }
        EXPECT_GT(written, 100) << source;
        EXPECT_EQ(expect_listed_states(dir, "t"), written) << source;
    }
}
