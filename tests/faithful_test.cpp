// The --faithful rule: code, AbsMag as the catalogue writes it (F7.2),
// whether the star shines, and the bolometric correction it used.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "classify.h"
#include "textio.h"

namespace {

const float inf_f = std::numeric_limits<float>::infinity();

struct Case {
    std::int32_t k;
    float lum;
    float m_in;  // column 16
    float temp;
    const char* code;  // the whole six-character field
    const char* mag;   // F7.2
    bool shines;
    const char* bc;  // bc_v(T) as %.4f, or nullptr
};

}  // namespace

TEST(Faithful, Stars) {
    const Case rows[] = {
        {1, 1, 4.83f, 5772, "G2V   ", "   4.82", true, "-0.0847"},          // the Sun
        {1, 2, 4.83f, 5770, "G2V   ", "   4.07", true, "-0.0850"},          // on a row of the table
        {0, 0.01f, 9, 3000, "M5V   ", "  13.06", true, "-3.3244"},
        {0, 0.001f, 9999.9f, 2500, "M8V   ", "  17.95", true, "-5.7097"},   // column 16 unused
        {0, 1e-4f, 20, 1500, "L7V   ", "  23.11", true, "-8.3681"},         // cooler than the table
        {11, 0.1f, 12, 60000, "DZ1   ", "  12.05", true, "-4.8058"},        // hotter than the table
        {1, 1e5f, 0, 60000, "O2V   ", "  -2.95", true, nullptr},            // O0V to O2V at one temperature
        {3, 5000, 0, 4000, "K4I-b ", "  -3.49", true, "-1.0199"},           // a giant on the supergiant scale
        {3, 100, 0, 3240, "M9III ", "   2.13", true, nullptr},              // M6III to M9III at one temperature
        {4, 3e5f, 0, 13600, "B5I-a0", "  -7.97", true, nullptr},
        {1, 1, 4.83f, 5745, "G3V   ", "   4.83", true, nullptr},            // midway G2V/G3V: the cooler
        {1, 1, 4.83f, 5745.001f, "G2V   ", "   4.83", true, nullptr},
        // Left to guess_type, the magnitude unscaled.
        {13, 1e-10f, 50, 0, "Q     ", "  50.00", false, nullptr},
        {17, 1, 4.83f, 5772, "????  ", "   4.83", false, nullptr},
        {14, 0, 9000.5f, 0, "dead  ", "9000.50", false, nullptr},
        {1, 0, 4.83f, 5000, "K0V   ", "   4.83", false, nullptr},
        {1, 1, 4.83f, inf_f, "O*V   ", "   4.83", false, nullptr},
    };
    int n = 0;
    for (const Case& c : rows) {
        ++n;
        float m = c.m_in;
        char code[6];
        std::memset(code, '#', sizeof code);
        const bool lit = faithful_type(c.lum, m, c.temp, c.k, code);
        char mag[7];
        wr_f(m, 7, 2, mag);
        const std::string where = "row " + std::to_string(n);
        EXPECT_EQ(std::string(code, 6), c.code) << where;
        EXPECT_EQ(std::string(mag, 7), c.mag) << where;
        EXPECT_EQ(lit, c.shines) << where;
        EXPECT_EQ(shines(c.k, c.lum, c.temp), c.shines) << where;
        if (c.bc) {
            char bc[16];
            std::snprintf(bc, sizeof bc, "%.4f", bc_v(c.temp));
            EXPECT_EQ(std::string(bc), c.bc) << where;
        }
    }
}
