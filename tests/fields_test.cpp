// The fixed-format fields: the vector tables, the documented examples, and
// property checks of the writers against the C library's printf.

#include "test_data.h"
#include "textio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string pad20(const std::string& s) { return s + std::string(20 - s.size(), ' '); }

struct ReadCase {
    const char* form;
    std::string field;
    bool ok;
    double value;  // for reals; integers compare exactly
};

// Read `field` under `form`; returns accepted, fills v (reals widened).
// A real field is read from its text, or with in_place from its first
// characters up to the last that is not a blank, the rest left implied.
bool read_form(const std::string& form, const std::string& field, double& v, bool in_place = false) {
    int len = static_cast<int>(field.find_last_not_of(' ') + 1);  // npos + 1 == 0
    if (form == "f20.10") {
        float f = 0;
        bool ok = in_place ? rd_f_text(field.data(), len, 20, 10, f) : rd_f(field.data(), 20, 10, f);
        v = f;
        return ok;
    }
    if (form[0] == 'd') {
        int d = form == "d20.15" ? 15 : 10;
        return in_place ? rd_d_text(field.data(), len, 20, d, v) : rd_d(field.data(), 20, d, v);
    }
    std::int32_t i = 0;
    bool ok = rd_i(field.data(), form == "i1" ? 1 : 2, i);
    v = i;
    return ok;
}

std::string write_form(const std::string& form, double x) {
    char out[32] = {};
    if (form == "d23.17") {
        wr_d23_17(x, out);
        return std::string(out, 23);
    }
    if (form == "f7.2") {
        wr_f(static_cast<float>(x), 7, 2, out);
        return std::string(out, 7);
    }
    if (form == "f4.1") {
        wr_f(static_cast<float>(x), 4, 1, out);
        return std::string(out, 4);
    }
    if (form == "i6.6") {
        wr_i6_6(static_cast<std::int32_t>(x), out);
        return std::string(out, 6);
    }
    wr_i1(static_cast<std::int32_t>(x), out);
    return std::string(out, 1);
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FieldRead, VectorTable) {
    auto rows = load_table("read_fields.tsv");
    ASSERT_GT(rows.size(), 3000u);
    for (auto& r : rows) {
        std::string field = unquote(r[1]);
        for (bool in_place : {false, true}) {
            double v = 0;
            bool ok = read_form(r[0], field, v, in_place);
            ASSERT_EQ(ok, r[2] == "ok") << r[0] << " [" << field << "] in place " << in_place;
            if (!ok) continue;
            double want = r[0][0] == 'i' ? std::stod(r[3]) : hexreal(r[3]);
            EXPECT_TRUE(same_bits(v, want)) << r[0] << " [" << field << "] got " << v << " want " << r[3];
        }
    }
}

TEST(FieldRead, DocumentedAndOpenCases) {
    const ReadCase cases[] = {
        {"f20.10", "1.5", true, 1.5},
        {"f20.10", "   -2.75e+01", true, -27.5},
        {"f20.10", "1.5D3", true, 1500},
        {"f20.10", "2.5-3", true, static_cast<float>(0.0025)},
        {"f20.10", "15", true, static_cast<float>(1.5e-9)},
        {"f20.10", "1e3", true, static_cast<float>(1e-7)},
        {"f20.10", "", true, 0},
        {"f20.10", "1.5x", false, 0},
        {"d20.15", "3", true, 3e-15},
        {"d20.15", "42", true, 4.2e-14},
        {"f20.10", "1 2.5", true, 12.5},
        {"f20.10", "1.5,7", true, 1.5},
        {"f20.10", "1.5 - 3", true, static_cast<float>(0.0015)},  // blanks inside the exponent
        {"f20.10", "2.5 e 2", true, 250},
        {"f20.10", ".", true, 0},       // no digit before the exponent: zero
        {"f20.10", "e5", true, 0},
        {"f20.10", "+.", true, 0},
        {"f20.10", "-", true, 0},
        {"f20.10", "1.5e", false, 0},   // exponent letter with no digit
        {"f20.10", "1.5e,3", false, 0},
        {"f20.10", "1.5+", false, 0},
        {"f20.10", "1..5", false, 0},
        {"f20.10", "1e99", true, HUGE_VAL},   // too large: infinity of its sign
        {"d20.10", "-1e999", true, -HUGE_VAL},
        {"d20.10", "1e-999", true, 0},
        {"d20.10", "1.0e99999999999", true, HUGE_VAL},
        {"d20.10", "1E5.0", false, 0},  // what fix_float makes of 1E5
        {"d20.10", "45.0", true, 45},
        {"i2", "12", true, 12},
        {"i2", "7 ", true, 7},
        {"i2", " 7", true, 7},
        {"i2", "-3", true, -3},
        {"i2", "1a", false, 0},
        {"i1", "12", true, 1},
    };
    for (auto& c : cases) {
        double v = -1;
        bool ok = read_form(c.form, pad20(c.field), v);
        ASSERT_EQ(ok, c.ok) << c.form << " [" << c.field << "]";
        if (ok) {
            EXPECT_EQ(v, c.value) << c.form << " [" << c.field << "]";
        }
    }
}

// The whole text of a field longer than its form, for the check of a cut:
// its value (digits beyond a double's reach only keep their place) and
// where its point, exponent and end stand.
TEST(FieldRead, WholeTextOfALongField) {
    const struct { std::string text; bool ok; double value; RealParts at; } cases[] = {
        {"0.12345678901234567890123", true, 0.12345678901234567890123, {1, -1, 25}},
        {"1234567890123456789012.", true, 1234567890123456789012., {22, -1, 23}},
        {"123456789012345678901234567890.5", true, 123456789012345678901234567890., {30, -1, 32}},
        {"0.000000000000000000000000000012345", true, 1.2345e-29, {1, -1, 35}},
        {"12345678901234567890123", true, 1234567890123.4567890123, {-1, -1, 23}},  // ten implied decimals
        {"1.00000000000000000e-5", true, 1e-5, {1, 19, 22}},
        {"1.5,777777777777777777777", true, 1.5, {1, -1, 3}},
        {"1.50000000000000000000x", false, 0, {}},
    };
    for (auto& c : cases) {
        double v = -1;
        RealParts at{};
        ASSERT_EQ(rd_whole(c.text.data(), static_cast<int>(c.text.size()), 10, v, at), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(at.point_at, c.at.point_at) << c.text;
        EXPECT_EQ(at.exp_at, c.at.exp_at) << c.text;
        EXPECT_EQ(at.end_at, c.at.end_at) << c.text;
    }
}

TEST(FieldWrite, VectorTable) {
    auto rows = load_table("write_fields.tsv");
    ASSERT_GT(rows.size(), 3000u);
    for (auto& r : rows) {
        double x = r[0][0] == 'i' ? std::stod(r[1]) : hexreal(r[1]);
        EXPECT_EQ(write_form(r[0], x), unquote(r[3])) << r[0] << " " << r[1];
    }
}

TEST(FieldWrite, DocumentedExamples) {
    const struct {
        const char* form;
        double value;
        const char* text;
    } cases[] = {
        {"d23.17", 123.456, "0.12345600000000000E+03"},
        {"d23.17", -45.5, "-.45500000000000000E+02"},
        {"d23.17", 1e100, "0.10000000000000000+101"},
        {"d23.17", 0.0, "0.00000000000000000E+00"},
        {"d23.17", -0.0, "0.00000000000000000E+00"},
        {"d23.17", 999.99999999999999999, "0.10000000000000000E+04"},
        {"d23.17", 9.99e-101, "0.99900000000000001-100"},
        {"d23.17", NAN, "                    NAN"},
        {"d23.17", -HUGE_VAL, "                   -INF"},
        {"f7.2", 4.83, "   4.83"},
        {"f7.2", -1.5, "  -1.50"},
        {"f7.2", 0.5, "   0.50"},
        {"f7.2", -0.001, "   0.00"},
        {"f7.2", -999.99, "-999.99"},
        {"f7.2", 12345.678, "*******"},
        {"f7.2", -1234.5, "*******"},
        {"f4.1", 0.26, " 0.3"},
        {"f4.1", -0.55, "-0.6"},
        {"f4.1", 9.96, "10.0"},
        {"f4.1", 100.0, "****"},
        {"f4.1", -9.96, "****"},
        {"f4.1", 0.25, " 0.2"},  // exactly halfway: to the even digit
        {"f4.1", HUGE_VAL, " inf"},
        {"i6.6", 1, "000001"},
        {"i6.6", 42, "000042"},
        {"i6.6", 999999, "999999"},
        {"i6.6", 1000000, "******"},
        {"i6.6", -1, "******"},
        {"i1", 7, "7"},
        {"i1", 10, "*"},
        {"i1", -1, "*"},
    };
    for (auto& c : cases) EXPECT_EQ(write_form(c.form, c.value), c.text) << c.form << " " << c.value;
}
