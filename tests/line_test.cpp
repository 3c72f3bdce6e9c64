// The star record line: reading, fixtab, extr_tab_fields and str_len.

#include "input.h"
#include "test_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The line as the reader would leave it: padded with blanks to 512.
void make_line(const std::string& s, LineBuf& line) {
    std::memset(line, ' ', LINE_LEN);
    std::memcpy(line, s.data(), std::min<std::size_t>(s.size(), LINE_LEN));
}

std::string f20(const std::string& s) { return (s + std::string(20, ' ')).substr(0, 20); }

std::string cols(int n) {  // "c1\tc2\t...\tcn"
    std::string s;
    for (int i = 1; i <= n; ++i) s += (i > 1 ? "\t" : "") + ("c" + std::to_string(i));
    return s;
}

}  // namespace

TEST(StrLen, Table) {
    const struct { std::string text; int n; } cases[] = {
        {"ab" + std::string(18, ' '), 2},
        {std::string(20, ' '), 1},
        {std::string(19, 'x') + "\t", 20},
        {"x", 1},
        {" x  ", 2},
    };
    for (auto& c : cases) EXPECT_EQ(str_len(c.text.data(), static_cast<int>(c.text.size())), c.n) << "[" << c.text << "]";
}

// Each case: a line and the fields it must give, written out by hand;
// fields not listed are empty. Field 21 is given whole.
TEST(ExtrTabFields, Table) {
    std::string tabs20(20, '\t');
    const struct {
        const char* name;
        std::string line;
        std::vector<std::pair<int, std::string>> fields;
        std::string f21;
    } cases[] = {
        {"empty line", "", {}, tabs20},
        {"blanks separate like tabs", "1.5 2.5\t3", {{1, "1.5"}, {2, "2.5"}, {3, "3"}}, tabs20},
        {"two tabs make an empty column", "a\t\tb", {{1, "a"}, {3, "b"}}, tabs20},
        {"tab and blank likewise", "a\t b", {{1, "a"}, {3, "b"}}, tabs20},
        {"leading separator", " a", {{2, "a"}}, tabs20},
        {"long column cut to 20", std::string(25, 'x') + "\tb", {{1, std::string(20, 'x')}, {2, "b"}}, tabs20},
        {"more than 20 columns", cols(23),
         [] { std::vector<std::pair<int, std::string>> v; for (int i = 1; i <= 20; ++i) v.push_back({i, "c" + std::to_string(i)}); return v; }(),
         "c21\tc22\tc23" + std::string(9, '\t')},
        {"last column not ended within 512", std::string(500, 'a') + "\t" + std::string(20, 'b'),
         {{1, std::string(20, 'a')}}, std::string(11, 'b') + std::string(9, ' ')},
    };
    for (auto& c : cases) {
        LineBuf line;
        FieldTable f;
        make_line(c.line, line);
        fixtab(line);
        LineBuf copy;
        std::memcpy(copy, line, LINE_LEN);
        extr_tab_fields(line, f);
        EXPECT_EQ(std::memcmp(copy, line, LINE_LEN), 0) << c.name << ": the buffer must not change";
        for (int i = 1; i <= 20; ++i) {
            std::string want(20, ' ');
            for (auto& p : c.fields)
                if (p.first == i) want = f20(p.second);
            EXPECT_EQ(std::string(f[i - 1], 20), want) << c.name << ": field " << i;
        }
        EXPECT_EQ(std::string(f[20], 20), c.f21) << c.name << ": field 21";
    }
}

// The in-place cut must give exactly the field texts of fixtab and
// extr_tab_fields for columns 1 to 20, whatever the line holds.
TEST(SplitLine, SameFieldsAsTheLineBuffer) {
    std::mt19937 rng(20261208);
    const char alphabet[] = {'1', '.', '-', 'e', ' ', '\t', ' ', '\t', 'x', '\0', '\r'};
    static char place[LINE_LEN + 1000 + LINE_SLACK];
    for (int round = 0; round < 20000; ++round) {
        int n = static_cast<int>(rng() % 700);
        int sep_every = 1 + static_cast<int>(rng() % 40);  // some columns longer than 20
        std::string text(static_cast<std::size_t>(n), 'a');
        for (int i = 0; i < n; ++i)
            text[i] = static_cast<int>(rng() % static_cast<unsigned>(sep_every)) == 0 ? alphabet[4 + rng() % 4]
                                                                                      : alphabet[rng() % sizeof alphabet];
        std::memcpy(place, text.data(), text.size());
        std::memset(place + n, 'x', sizeof place - static_cast<std::size_t>(n));  // not the line's: no separator
        LineCut cut;
        split_line(place, n, cut);
        const std::string head = text.substr(0, LINE_LEN);  // the columns counted: separators in it, plus 1
        ASSERT_EQ(cut.ncols, 1 + std::count(head.begin(), head.end(), ' ') + std::count(head.begin(), head.end(), '\t'));

        LineBuf line;
        FieldTable f;
        make_line(text, line);
        fixtab(line);
        extr_tab_fields(line, f);
        for (int i = 0; i < NCOLS; ++i) {
            char got[FIELD_LEN];
            FieldSpan c = column(cut, i + 1);
            span_text(c, got);
            ASSERT_EQ(std::string(got, FIELD_LEN), std::string(f[i], FIELD_LEN))
                << "line of " << n << " characters, column " << i + 1;
            for (int k = 0; k < c.len; ++k) ASSERT_TRUE(c.p[k] != ' ' && c.p[k] != '\t');
        }
        // A table's cut is the cut of the same characters with the
        // separators at both ends removed and every run made one tab.
        std::string clean;
        for (int i = 0; i < n && i < LINE_LEN; ++i) {
            bool sep = text[i] == ' ' || text[i] == '\t';
            if (!sep) clean += text[i];
            else if (!clean.empty() && clean.back() != '\t') clean += '\t';
        }
        int cols = clean.empty() ? 0 : 1 + static_cast<int>(std::count(clean.begin(), clean.end(), '\t'));
        if (!clean.empty() && clean.back() == '\t') clean.pop_back(), --cols;
        static char cplace[LINE_LEN + LINE_SLACK];
        std::memset(cplace, 'x', sizeof cplace);
        std::memcpy(cplace, clean.data(), clean.size());
        LineCut tcut, ccut;
        split_table(place, n, tcut);
        split_line(cplace, static_cast<int>(clean.size()), ccut);
        ASSERT_EQ(tcut.ncols, cols) << text;
        for (int i = 1; i <= NCOLS; ++i) {
            FieldSpan a = column(tcut, i), b = column(ccut, i);
            ASSERT_EQ(std::string(a.p, a.len), std::string(b.p, b.len)) << "column " << i << " of " << text;
        }
    }
}

// The rules of a table's lines: runs of separators, the ends, comments.
TEST(SplitTable, Rules) {
    const std::string a510(510, 'a');
    const struct {
        std::string line;
        bool skipped;
        std::vector<std::string> columns;  // their field texts' characters
    } cases[] = {
        {"1.5\t2.5", false, {"1.5", "2.5"}},
        {"  1.5\t\t 2.5  \t3 ", false, {"1.5", "2.5", "3"}},
        {"\t\t1.5", false, {"1.5"}},
        {"1.5 #x", false, {"1.5", "#x"}},
        {"# mass x y z", true, {"#", "mass", "x", "y", "z"}},
        {" \t # indented", true, {"#", "indented"}},
        {"", true, {}},
        {" \t  \t", true, {}},
        // Cut at 512 characters: the column there ends with the line.
        {a510 + " bcdef", false, {a510.substr(0, FIELD_LEN), "b"}},
    };
    static char place[2 * LINE_LEN + LINE_SLACK];
    for (auto& c : cases) {
        std::memset(place, 'x', sizeof place);
        std::memcpy(place, c.line.data(), c.line.size());
        LineCut cut;
        split_table(place, static_cast<int>(c.line.size()), cut);
        EXPECT_EQ(table_skips(cut), c.skipped) << c.line;
        EXPECT_EQ(cut.ncols, static_cast<int>(c.columns.size())) << c.line;
        for (int i = 1; i <= NCOLS; ++i) {
            FieldSpan f = column(cut, i);
            std::string want = i <= static_cast<int>(c.columns.size()) ? c.columns[i - 1] : "";
            EXPECT_EQ(std::string(f.p, f.len), want) << c.line << ", column " << i;
        }
    }
}

TEST(ExtrTabFields, LineOf512WithoutSeparator) {
    // A single column filling the whole buffer: no field split off, field 21
    // holds its first 20 characters.
    LineBuf line;
    FieldTable f;
    make_line(std::string(600, 'z'), line);
    fixtab(line);
    extr_tab_fields(line, f);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(std::string(f[i], 20), std::string(20, ' '));
    EXPECT_EQ(std::string(f[20], 20), std::string(20, 'z'));
}

TEST(LineReader, Table) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;  // as delivered, before padding
    } cases[] = {
        {"two lines", "a\nb\n", {"a", "b"}},
        {"last line without line feed is delivered", "a\nb", {"a", "b"}},
        {"empty file", "", {}},
        {"empty lines", "\n\n", {"", ""}},
        {"carriage return is an ordinary character", "a\r\n", {"a\r"}},
        {"NUL is an ordinary character", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"long line loses its tail", std::string(100000, 'q') + "\nz\n", {std::string(512, 'q'), "z"}},
        {"line across the read buffer", std::string((1 << 20) - 3, '\n') + "abcdef\n",
         [] { std::vector<std::string> v((1 << 20) - 3, ""); v.push_back("abcdef"); return v; }()},
        {"long line across the read buffer", std::string(1000, 'a') + "\n" + std::string((1 << 20) - 600, 'b') + "\nc\n",
         {std::string(512, 'a'), std::string(512, 'b'), "c"}},
        {"line of exactly the buffer's size", std::string(1 << 20, 'd') + "\ne\n", {std::string(512, 'd'), "e"}},
        {"line longer than the read buffer", std::string((2 << 20) + 5, 'f') + "\ng\n", {std::string(512, 'f'), "g"}},
        {"line longer than the buffer, last, no line feed", "h\n" + std::string((1 << 20) + 7, 'i'),
         {"h", std::string(512, 'i')}},
        {"last line without line feed across the buffer", std::string((1 << 20) - 2, 'j') + "\nklmnop",
         {std::string(512, 'j'), "klmnop"}},
    };
    for (auto& c : cases) {
        std::string dir = scratch_dir();
        write_file(dir + "/l.txt", c.bytes);
        int fd = open((dir + "/l.txt").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        lr_attach_fd(fd, "l.txt");
        LineBuf line;
        std::size_t k = 0;
        bool same = true;
        while (lr_next(line)) {
            ASSERT_LT(k, c.lines.size()) << c.name;
            std::string want = c.lines[k++];
            want.resize(LINE_LEN, ' ');
            same = same && std::string(line, LINE_LEN) == want;
        }
        EXPECT_TRUE(same) << c.name;
        EXPECT_EQ(k, c.lines.size()) << c.name;
        lr_close();
        unlink((dir + "/l.txt").c_str());
        rmdir(dir.c_str());
    }
}
