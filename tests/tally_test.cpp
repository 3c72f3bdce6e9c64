// Tests of the spectral type tally: counting into `ctyp`, the report of
// `show_stypes`, and the refusal of a code beyond the table's room.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "stats.h"
#include "textio.h"

namespace {

// Count each code as the run does: from a six-character code field.
void count_all(const std::vector<std::string>& codes) {
    for (const auto& c : codes) {
        std::string field = c;
        field.resize(6, ' ');
        count_stype(field.data());
    }
}

std::string report() {
    std::string out;
    con_capture(&out);
    show_stypes();
    con_capture(nullptr);
    return out;
}

std::string lines(const std::vector<std::string>& ls) {
    std::string s;
    for (const auto& l : ls) s += l + "\n";
    return s;
}

}  // namespace

// `count_stype` keeps codes in order of first appearance, entry 1 reserved.
TEST(Tally, CountsInOrderOfFirstAppearance) {
    struct Entry {
        const char* name;
        std::int32_t count;
    };
    struct Case {
        const char* label;
        std::vector<std::string> codes;
        std::vector<Entry> entries;  // entries 2 to nused
    } cases[] = {
        {"worked example",
         {"G2V", "dead", "G2V", "K5V", "dead", "M0V", "dead"},
         {{"G2V  ", 2}, {"dead ", 3}, {"K5V  ", 1}, {"M0V  ", 1}}},
        {"empty", {}, {}},
        {"case matters", {"g2v", "G2V", "g2v"}, {{"g2v  ", 2}, {"G2V  ", 1}}},
        {"first five characters", {"B5I-a0", "B5I-a", "B5I-a0"}, {{"B5I-a", 3}}},
    };
    for (const auto& c : cases) {
        ctyp_reset();
        count_all(c.codes);
        ASSERT_EQ(ctyp.nused, static_cast<std::int32_t>(c.entries.size()) + 1) << c.label;
        EXPECT_EQ(std::memcmp(ctyp.names[0], "\0\0\0\0\0", 5), 0) << c.label;
        EXPECT_EQ(ctyp.counts[0], 0) << c.label;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(std::string(ctyp.names[i + 1], 5), c.entries[i].name)
                << c.label << " entry " << i + 2;
            EXPECT_EQ(ctyp.counts[i + 1], c.entries[i].count) << c.label << " entry " << i + 2;
        }
    }
}

// The report: the code-order listing, the frequency listing, the totals line.
TEST(Tally, Report) {
    struct Case {
        const char* label;
        std::vector<std::string> codes;
        std::vector<std::string> expect;
    } cases[] = {
        {"worked example",
         {"G2V", "dead", "G2V", "K5V", "dead", "M0V", "dead"},
         {" Sorted by Spectral Type", " G2V     2", " K5V     1", " M0V     1", " dead    3",
          " Sorted by Frequency", " M0V     1", " K5V     1", " G2V     2", " dead    3",
          " # spec. types= 5, total stars= 7 ( 4 passed)"}},
        {"empty",
         {},
         {" Sorted by Spectral Type", " Sorted by Frequency",
          " # spec. types= 1, total stars= 0 ( 0 passed)"}},
        {"one code only",
         {"F8V", "F8V", "F8V"},
         {" Sorted by Spectral Type", " F8V     3", " Sorted by Frequency", " F8V     3",
          " # spec. types= 2, total stars= 3 ( 0 passed)"}},
        {"small letters after capitals",
         {"g2v", "G2V", "G2V", "DZ1", "DZ1", "DZ1"},
         {" Sorted by Spectral Type", " DZ1     3", " G2V     2", " g2v     1",
          " Sorted by Frequency", " g2v     1", " G2V     2", " DZ1     3",
          " # spec. types= 4, total stars= 6 ( 3 passed)"}},
        {"six-character code under its first five",
         {"B5I-a0", "B5I-a", "K3III"},
         {" Sorted by Spectral Type", " B5I-a   2", " K3III   1", " Sorted by Frequency",
          " K3III   1", " B5I-a   2", " # spec. types= 3, total stars= 3 ( 1 passed)"}},
    };
    for (const auto& c : cases) {
        ctyp_reset();
        count_all(c.codes);
        EXPECT_EQ(report(), lines(c.expect)) << c.label;
    }
}

// 1999 codes fit beyond the reserved entry; a further distinct code is
// refused with one report line and not counted; known codes still count.
TEST(Tally, FullTableRefusesNewCode) {
    ctyp_reset();
    char code[16];
    for (int i = 1; i <= 1999; ++i) {
        std::snprintf(code, sizeof code, "C%04d ", i);
        count_stype(code);
    }
    ASSERT_EQ(ctyp.nused, 2000);

    struct Case {
        const char* code;
        const char* expect;    // console output
        std::int32_t nused;
        std::int32_t index;    // entry to check afterwards (1-based)
        std::int32_t count;
    } cases[] = {
        {"X9Z   ", " too many spectral types, not counted: X9Z  \n", 2000, 2000, 1},
        {"Zzzzzz", " too many spectral types, not counted: Zzzzz\n", 2000, 2000, 1},
        {"C0007 ", "", 2000, 8, 2},
        {"C1999 ", "", 2000, 2000, 2},
    };
    for (const auto& c : cases) {
        std::string out;
        con_capture(&out);
        count_stype(c.code);
        con_capture(nullptr);
        EXPECT_EQ(out, c.expect) << c.code;
        EXPECT_EQ(ctyp.nused, c.nused) << c.code;
        EXPECT_EQ(ctyp.counts[c.index - 1], c.count) << c.code;
    }

    // The full table still reports: 1999 lines under each heading.
    const std::string out = report();
    std::size_t nlines = 0;
    for (char ch : out) nlines += ch == '\n';
    EXPECT_EQ(nlines, 2u + 2u * 1999u + 1u);
    EXPECT_EQ(out.substr(0, 36), " Sorted by Spectral Type\n C0001   1\n");
    const std::string tail = " # spec. types= 2000, total stars= 2001 ( 1999 passed)\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}
