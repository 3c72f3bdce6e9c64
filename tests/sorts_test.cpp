// Tests of the paired sorts `aisort` and `iasort`: the vector table, the
// documented example and edge cases, and a property test over random arrays.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "stats.h"
#include "test_data.h"
#include "textio.h"

namespace {

// A comma-separated list whose text cells are quoted; commas inside quotes
// belong to the cell.
std::vector<std::string> split_list(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

std::vector<std::int32_t> ints(const std::string& s) {
    std::vector<std::int32_t> v;
    for (const auto& c : split_list(s)) v.push_back(static_cast<std::int32_t>(std::stol(c)));
    return v;
}

// Five-character texts, one after another.
std::string texts(const std::string& s) {
    std::string v;
    for (const auto& c : split_list(s)) {
        std::string t = unquote(c);
        EXPECT_EQ(t.size(), 5u) << "cell " << c;
        t.resize(5, ' ');
        v += t;
    }
    return v;
}

// Printable form of a text array, for failure messages.
std::string show(const std::string& t) {
    std::string o;
    for (unsigned char c : t) {
        if (c >= 32 && c < 127) {
            o += static_cast<char>(c);
        } else {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            o += b;
        }
    }
    return o;
}

// Console lines captured as the table writes them: joined with '|', without
// the final line feed.
std::string joined(const std::string& out) {
    std::string s = out;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    for (auto& c : s)
        if (c == '\n') c = '|';
    return s;
}

// One case in the vector table's form (cells as written there).
struct SortCase {
    std::string routine, k, n, keys_in, comps_in, keys_out, comps_out, messages;
};

// Run one case and compare both arrays and the console lines.
void run_case(const SortCase& c, const std::string& label) {
    const std::int32_t k = static_cast<std::int32_t>(std::stol(c.k));
    const std::int32_t n = static_cast<std::int32_t>(std::stol(c.n));
    std::string out;
    if (c.routine == "aisort") {
        std::string keys = texts(c.keys_in);
        std::vector<std::int32_t> comps = ints(c.comps_in);
        ASSERT_GE(comps.size() * 5, keys.size()) << label;
        con_capture(&out);
        aisort(reinterpret_cast<char(*)[5]>(&keys[0]), comps.data(), n, k);
        con_capture(nullptr);
        EXPECT_EQ(show(keys), show(texts(c.keys_out))) << label;
        EXPECT_EQ(comps, ints(c.comps_out)) << label;
    } else {
        ASSERT_EQ(c.routine, "iasort") << label;
        std::vector<std::int32_t> keys = ints(c.keys_in);
        std::string comps = texts(c.comps_in);
        ASSERT_GE(comps.size(), keys.size() * 5) << label;
        con_capture(&out);
        iasort(keys.data(), reinterpret_cast<char(*)[5]>(&comps[0]), n, k);
        con_capture(nullptr);
        EXPECT_EQ(keys, ints(c.keys_out)) << label;
        EXPECT_EQ(show(comps), show(texts(c.comps_out))) << label;
    }
    EXPECT_EQ(joined(out), unquote(c.messages)) << label;
}

const char* const kMsgN = "\" The number of values to be sorted is not positive.\"";
const char* const kMsgK = "\" The sort control parameter, K, is not 2, 1, -1, or -2.\"";
const char* const kMsgNeg = "\" ? NEG KFLAG doesnt work for chars\"";

}  // namespace

// Every row of the vector table.
TEST(Sorts, VectorTable) {
    const auto rows = load_table("sorts.tsv");
    ASSERT_GT(rows.size(), 200u);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        ASSERT_EQ(row.size(), 8u) << "sorts.tsv row " << r + 2;
        SortCase c{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7]};
        run_case(c, "sorts.tsv row " + std::to_string(r + 2) + " (" + row[0] + " K=" + row[1] +
                        " N=" + row[2] + ")");
    }
}

// The documented example and the edge cases, written by hand.
TEST(Sorts, ExamplesAndEdgeCases) {
    const std::string a = "\"a    \"", b = "\"b    \"", c = "\"c    \"", d = "\"d    \"",
                      e = "\"e    \"";
    const SortCase cases[] = {
        // Equal counts 1, 1 change places.
        {"iasort", "2", "5", "0,2,1,1,3", a + "," + b + "," + c + "," + d + "," + e, "0,1,1,2,3",
         a + "," + d + "," + c + "," + b + "," + e, "\"\""},
        // N = 1: nothing happens, nothing is written.
        {"aisort", "2", "1", c, "7", c, "7", "\"\""},
        {"iasort", "1", "1", "7", c, "7", c, "\"\""},
        // N <= 0.
        {"iasort", "2", "0", "2,1", a + "," + b, "2,1", a + "," + b, kMsgN},
        {"aisort", "2", "-4", b + "," + a, "1,2", b + "," + a, "1,2", kMsgN},
        // N is checked before K.
        {"iasort", "9", "0", "2,1", a + "," + b, "2,1", a + "," + b, kMsgN},
        // Bad K.
        {"iasort", "0", "2", "2,1", a + "," + b, "2,1", a + "," + b, kMsgK},
        {"aisort", "3", "2", b + "," + a, "1,2", b + "," + a, "1,2", kMsgK},
        {"iasort", "-3", "2", "2,1", a + "," + b, "2,1", a + "," + b, kMsgK},
        // K = -2 warns, then sorts with the companion carried, in both routines.
        {"iasort", "-2", "3", "3,1,2", a + "," + b + "," + c, "1,2,3", b + "," + c + "," + a,
         kMsgNeg},
        {"aisort", "-2", "3", c + "," + a + "," + b, "1,2,3", a + "," + b + "," + c, "2,3,1",
         kMsgNeg},
        // K = 1 moves the keys only.
        {"iasort", "1", "3", "3,1,2", a + "," + b + "," + c, "1,2,3", a + "," + b + "," + c,
         "\"\""},
        {"aisort", "1", "3", c + "," + a + "," + b, "1,2,3", a + "," + b + "," + c, "1,2,3",
         "\"\""},
        // Sorted and reversed input.
        {"iasort", "2", "5", "-3,0,4,9,12", a + "," + b + "," + c + "," + d + "," + e,
         "-3,0,4,9,12", a + "," + b + "," + c + "," + d + "," + e, "\"\""},
        {"iasort", "2", "5", "12,9,4,0,-3", a + "," + b + "," + c + "," + d + "," + e,
         "-3,0,4,9,12", e + "," + d + "," + c + "," + b + "," + a, "\"\""},
        {"aisort", "2", "5", e + "," + d + "," + c + "," + b + "," + a, "5,4,3,2,1",
         a + "," + b + "," + c + "," + d + "," + e, "1,2,3,4,5", "\"\""},
        // All keys equal: three stay, four exchange the middle two (the first
        // partition's pivot is position 2 and the scans stop on it).
        {"iasort", "2", "3", "4,4,4", a + "," + b + "," + c, "4,4,4", a + "," + b + "," + c,
         "\"\""},
        {"iasort", "2", "4", "4,4,4,4", a + "," + b + "," + c + "," + d, "4,4,4,4",
         a + "," + c + "," + b + "," + d, "\"\""},
        // Raw byte order: NUL < blank < digit < capital < small < bytes above 127.
        {"aisort", "2", "6", "\"\\xe9    \",\"a    \",\"A    \",\"1    \",\" 0   \",\"\\0    \"",
         "1,2,3,4,5,6", "\"\\0    \",\" 0   \",\"1    \",\"A    \",\"a    \",\"\\xe9    \"",
         "6,5,4,3,2,1", "\"\""},
        // Only entries 1 to N are sorted.
        {"iasort", "2", "2", "5,4,3", a + "," + b + "," + c, "4,5,3", b + "," + a + "," + c,
         "\"\""},
    };
    int i = 0;
    for (const auto& sc : cases) {
        run_case(sc, "case " + std::to_string(i++) + " (" + sc.routine + " K=" + sc.k +
                         " N=" + sc.n + ")");
    }
}

// Random arrays of 1 to 2000 entries with many equal keys: keys come out
// ascending and every key keeps its own companion.
TEST(Sorts, RandomArraysKeepPairs) {
    std::mt19937 gen(20240611u);
    const std::int32_t two = 2;
    for (int round = 0; round < 300; ++round) {
        const std::int32_t n =
            round < 20 ? round + 1 : std::uniform_int_distribution<int>(1, 2000)(gen);
        const int spread = std::uniform_int_distribution<int>(1, 40)(gen);  // few distinct keys

        // aisort: text keys over a few bytes (NUL and bytes above 127 too),
        // companions the original positions.
        {
            static const unsigned char alphabet[] = {0, ' ', '0', 'A', 'a', 0x80, 0xff};
            std::vector<char> keys(static_cast<std::size_t>(n) * 5);
            std::vector<std::int32_t> pos(static_cast<std::size_t>(n));
            for (std::int32_t i = 0; i < n; ++i) {
                int v = std::uniform_int_distribution<int>(0, spread)(gen);
                for (int b = 0; b < 5; ++b) {
                    keys[i * 5 + b] = static_cast<char>(alphabet[v % 7]);
                    v /= 7;
                }
                pos[i] = i;
            }
            const std::vector<char> orig = keys;
            std::string out;
            con_capture(&out);
            aisort(reinterpret_cast<char(*)[5]>(keys.data()), pos.data(), n, two);
            con_capture(nullptr);
            EXPECT_EQ(out, "") << "aisort round " << round;
            std::vector<bool> seen(static_cast<std::size_t>(n), false);
            for (std::int32_t i = 0; i < n; ++i) {
                if (i > 0) {
                    ASSERT_LE(std::memcmp(&keys[(i - 1) * 5], &keys[i * 5], 5), 0)
                        << "aisort round " << round << " n " << n << " position " << i + 1;
                }
                const std::int32_t p = pos[i];
                ASSERT_TRUE(p >= 0 && p < n && !seen[p]) << "aisort round " << round;
                seen[p] = true;
                ASSERT_EQ(std::memcmp(&keys[i * 5], &orig[p * 5], 5), 0)
                    << "aisort round " << round << " position " << i + 1;
            }
        }

        // iasort: integer keys (negative too), companions the original
        // positions written as five digits.
        {
            std::vector<std::int32_t> keys(static_cast<std::size_t>(n));
            std::vector<char> tags(static_cast<std::size_t>(n) * 5);
            for (std::int32_t i = 0; i < n; ++i) {
                keys[i] = std::uniform_int_distribution<std::int32_t>(-spread, spread)(gen);
                for (int b = 4, v = i; b >= 0; --b, v /= 10)
                    tags[i * 5 + b] = static_cast<char>('0' + v % 10);
            }
            const std::vector<std::int32_t> orig = keys;
            std::string out;
            con_capture(&out);
            iasort(keys.data(), reinterpret_cast<char(*)[5]>(tags.data()), n, two);
            con_capture(nullptr);
            EXPECT_EQ(out, "") << "iasort round " << round;
            std::vector<bool> seen(static_cast<std::size_t>(n), false);
            for (std::int32_t i = 0; i < n; ++i) {
                if (i > 0) {
                    ASSERT_LE(keys[i - 1], keys[i])
                        << "iasort round " << round << " n " << n << " position " << i + 1;
                }
                const int p = std::stoi(std::string(&tags[i * 5], 5));
                ASSERT_TRUE(p >= 0 && p < n && !seen[p]) << "iasort round " << round;
                seen[p] = true;
                ASSERT_EQ(keys[i], orig[p]) << "iasort round " << round << " position " << i + 1;
            }
        }
    }
}
