// Sky placement and the catalogue entry line.

#include "catalogue.h"
#include "stc_reader.h"
#include "test_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <unistd.h>

TEST(Sky, Sph2CartAndBack) {
    const double s2 = std::sqrt(2.0);
    const struct {
        const char* name;
        bool to_cart;          // sph2cart (a, b, c) -> (p, q, r), else cart2sph
        double a, b, c, p, q, r;
    } cases[] = {
        {"RA 0 on the first axis", true, 0, 0, 1, 1, 0, 0},
        {"RA 90 on the second axis", true, 90, 0, 1, 0, 1, 0},
        {"Dec 90 on the third axis", true, 123, 90, 1, 0, 0, 1},
        {"third quadrant", false, -1, -1, 0, -135, 0, s2},
        {"north pole", false, 0, 0, 5, 0, 90, 5},
        {"south pole", false, 0, 0, -5, 0, -90, 5},
    };
    for (auto& c : cases) {
        double p, q, r;
        if (c.to_cart) sph2cart(c.a, c.b, c.c, p, q, r);
        else cart2sph(c.a, c.b, c.c, p, q, r);
        EXPECT_NEAR(p, c.p, 1e-12) << c.name;
        EXPECT_NEAR(q, c.q, 1e-12) << c.name;
        EXPECT_NEAR(r, c.r, 1e-12) << c.name;
    }
    // Round trips: north and south of the plane, RA above 180 comes back reduced.
    const struct { double ra, dec, dist, ra_back; } trips[] = {
        {30, 40, 2, 30}, {30, -40, 2, 30}, {270, 10, 3, -90}, {-179.96, 5, 1, -179.96},
    };
    for (auto& t : trips) {
        double x, y, z, ra, dec, dist;
        sph2cart(t.ra, t.dec, t.dist, x, y, z);
        cart2sph(x, y, z, ra, dec, dist);
        EXPECT_NEAR(ra, t.ra_back, 1e-12) << t.ra;
        EXPECT_NEAR(dec, t.dec, 1e-12) << t.ra;
        EXPECT_NEAR(dist, t.dist, 1e-12) << t.ra;
    }
    // At the observer: declination not a number, RA and distance 0.
    double ra, dec, dist;
    cart2sph(0, 0, 0, ra, dec, dist);
    EXPECT_EQ(ra, 0);
    EXPECT_TRUE(std::isnan(dec));
    EXPECT_EQ(dist, 0);
}

TEST(Catalogue, EntryLine) {
    const std::string blank20(20, ' ');
    const struct {
        const char* name;
        std::string prefix;
        long long num;
        double ra, dec, dist;
        std::string code;  // first five characters of the code field
        float mag;
        std::string line;
    } cases[] = {
        {"the worked example", "CL1_", 3, 83.75, -22.5, 1500.0, "G2V  ", 4.83f,
         " Star \"CL1_000003\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance "
         "0.15000000000000000E+04 SpectralType \"G2V\" AbsMag    4.83 }\n"},
        {"blank prefix, negative RA, five-character code", blank20, 1, -179.96, 0, 1, "B1I-a", -7.6f,
         " Star \" 000001\" {RA -.17996000000000001E+03 Dec 0.00000000000000000E+00 Distance "
         "0.10000000000000000E+01 SpectralType \"B1I-a\" AbsMag   -7.60 }\n"},
        {"a magnitude too wide", "X", 999999, 1, 1, 1, "Q    ", 12345.678f,
         " Star \"X999999\" {RA 0.10000000000000000E+01 Dec 0.10000000000000000E+01 Distance "
         "0.10000000000000000E+01 SpectralType \"Q\" AbsMag ******* }\n"},
        {"numbers past 999999 take the digits they need", "X", 1000000, 1, 1, 1, "DZ5  ", 11.4f,
         " Star \"X1000000\" {RA 0.10000000000000000E+01 Dec 0.10000000000000000E+01 Distance "
         "0.10000000000000000E+01 SpectralType \"DZ5\" AbsMag   11.40 }\n"},
        // Wider where F7.2 and D23.17 would not be numbers in the planetarium.
        {"a magnitude of -1000.00 in full", "X", 1, 1, 1, 1, "G2V  ", -1000.0f,
         " Star \"X000001\" {RA 0.10000000000000000E+01 Dec 0.10000000000000000E+01 Distance "
         "0.10000000000000000E+01 SpectralType \"G2V\" AbsMag -1000.00 }\n"},
        {"three-digit exponents keep the letter", "X", 2, 1.8687799200483445e-110, -1e100, 1e150, "G2V  ", -19000.0f,
         " Star \"X000002\" {RA 0.18687799200483445E-109 Dec -.10000000000000000E+101 Distance "
         "0.99999999999999998E+150 SpectralType \"G2V\" AbsMag -19000.00 }\n"},
        // Not finite: no entry at all.
        {"RA not a number", "X", 3, std::nan(""), 1, 1, "G2V  ", 1.0f, ""},
        {"Dec infinite", "X", 3, 1, -HUGE_VAL, 1, "G2V  ", 1.0f, ""},
        {"Distance infinite", "X", 3, 1, 1, HUGE_VAL, "G2V  ", 1.0f, ""},
        {"magnitude infinite", "X", 3, 1, 1, 1, "G2V  ", -HUGE_VALF, ""},
    };
    for (auto& c : cases) {
        std::string prefix = (c.prefix + blank20).substr(0, 20);
        int lenc = 1;
        for (int i = 20; i >= 1; --i)
            if (prefix[i - 1] != ' ') { lenc = i; break; }
        int n = 1;
        for (int i = 5; i >= 1; --i)
            if (c.code[i - 1] != ' ') { n = i; break; }
        char out[256];
        int len = stc_entry(out, prefix.data(), lenc, c.num, c.ra, c.dec, c.dist, c.code.data(), n, c.mag);
        EXPECT_EQ(std::string(out, len), c.line) << c.name;
    }
}

// The strict reader that every catalogue of the end-to-end runs is held to:
// the planetarium's examples, in one entry line (name, RA, AbsMag varied).
TEST(Catalogue, StrictReader) {
    const struct { std::string name, ra, mag; bool loads; } cases[] = {
        {"CL1_000003", "0.83750000000000000E+02", "4.83", true},
        {"\xc3\x84_1", "-.225E+02", "-19000.00", true},
        {"X", "0.99999999999999980E+150", "5.", true},
        {"X", "0.99999999999999980+150", "4.83", false},
        {"X", "1.0e999", "4.83", false},
        {"X", "NAN", "4.83", false},
        {"X", "-Inf", "4.83", false},
        {"X", "0.5", "*******", false},
        {"C\"L", "0.5", "4.83", false},
        {"C:L", "0.5", "4.83", false},
        {"C\\L", "0.5", "4.83", false},
    };
    for (auto& c : cases) {
        std::string line = " Star \"" + c.name + "\" {RA " + c.ra +
                           " Dec -.22500000000000000E+02 Distance 0.15E+04 SpectralType \"G2V\" AbsMag " + c.mag + " }\n";
        EXPECT_EQ(stc_reader::entry_fault(line.data(), line.size()) == nullptr, c.loads) << line;
    }
}

// gen_stc itself: the first call opens the catalogue and fixes the centre;
// dead codes use no number; a six-character code is cut to five; the
// counter runs on past 999999 without repeating a name.
TEST(Catalogue, GenStcNumbering) {
    std::string dir = scratch_dir();
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    auto f20 = [](const std::string& s) { return (s + std::string(20, ' ')).substr(0, 20); };
    std::string ra = f20("270."), dec = f20("0."), dist = f20("10."), base = f20("abcdefghijklmnopqrst"),
                prefix = f20("S");
    double zero = 0;
    float mag = 1.0f;
    gen_stc(zero, zero, zero, "B5I-a0", mag, ra.data(), dec.data(), dist.data(), base.data(), prefix.data());
    gen_stc(zero, zero, zero, "dead  ", mag, ra.data(), dec.data(), dist.data(), base.data(), prefix.data());
    gen_stc_set_counter(999998);
    for (int i = 0; i < 3; ++i)
        gen_stc(zero, zero, zero, "G2V   ", mag, ra.data(), dec.data(), dist.data(), base.data(), prefix.data());
    cat_close();
    std::string got = read_file("abcdefghijklmnopqrst.stc");
    ASSERT_EQ(chdir(cwd), 0);
    // RA 270 comes back as -90, up to rounding in the last digits.
    std::vector<std::string> names, codes;
    std::size_t p = 0;
    while ((p = got.find(" Star \"", p)) != std::string::npos) {
        std::size_t q = got.find('"', p + 7);
        names.push_back(got.substr(p + 7, q - p - 7));
        std::size_t c = got.find("SpectralType \"", q) + 14;
        codes.push_back(got.substr(c, got.find('"', c) - c));
        EXPECT_NEAR(std::stod(got.substr(q + 6, 19) + "E" + got.substr(q + 26, 3)), -90.0, 1e-12) << names.back();
        p = q;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"S000001", "S999999", "S1000000", "S1000001"}));
    EXPECT_EQ(codes, (std::vector<std::string>{"B5I-a", "G2V", "G2V", "G2V"}));
}
