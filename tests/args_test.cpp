// fix_float: a number without a decimal point gets one.

#include "driver.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(FixFloat, Table) {
    const struct { const char* in; const char* out; } cases[] = {
        {"12.5", "12.5"},
        {"45", "45.0"},
        {"-30", "-30.0"},
        {"4e1", "4.0e1"},
        {"e5", ".0e5"},
        {"1E5", "1E5.0"},      // only a lower-case e is looked for
        {"2d3", "2d3.0"},
        {"1234567890123456789", "1234567890123456789."},    // 19: only the point fits
        {"12345678901234567890", "12345678901234567890"},   // 20: unchanged
        {"123456789012345678e9", "123456789012345678.0"},   // pushed past 20: lost
    };
    for (auto& c : cases) {
        ArgText s;
        std::memset(s, ' ', sizeof s);
        std::memcpy(s, c.in, std::strlen(c.in));
        fix_float(s);
        std::string want = std::string(c.out) + std::string(20 - std::strlen(c.out), ' ');
        EXPECT_EQ(std::string(s, 20), want) << c.in;
    }
}
