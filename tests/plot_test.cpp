// The picture tool, orblenz-plot, on the sample converted with --members: a figure of the expected
// size, whatever the list beside it, counts per class that are the catalogue's own; the member table
// used only when it belongs to the catalogue; an unreadable line named by its number; and a catalogue
// with binaries, its orbiting entries counted and placed.

#include "test_data.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace {

// orblenz-plot with `args` in directory `dir`.
RunResult run_plot(const std::string& dir, const std::string& args) {
    std::string cmd = "cd '" + dir + "' && '" ORBLENZ_SOURCE_DIR "/plot/orblenz_plot.py' " + args +
                      " >.pout 2>.perr";
    int st = std::system(cmd.c_str());
    return {read_file(dir + "/.pout"), read_file(dir + "/.perr"), WIFEXITED(st) ? WEXITSTATUS(st) : -1};
}

const std::string BARYCENTER = "Barycenter \"M67\" {RA 0.13282500000000000E+03 Dec 0.11800000000000001E+02 "
                               "Distance 0.27000000000000000E+04 }\n";
bool have_matplotlib() { return std::system("/usr/bin/python3 -c 'import matplotlib, numpy' 2>/dev/null") == 0; }

// Standard error without the line a run slower than 2 s ends with:
// "orblenz-plot: <n> entries drawn in <s.s> s".
std::string without_timing(const std::string& err) {
    const std::string head = "orblenz-plot: ", mid = " entries drawn in ";
    std::size_t at = err.rfind(head);
    if (at == std::string::npos || (at > 0 && err[at - 1] != '\n')) return err;
    std::size_t p = at + head.size(), q = p;
    auto digits = [&] { std::size_t b = q; while (q < err.size() && std::isdigit(static_cast<unsigned char>(err[q]))) ++q; return q > b; };
    if (!digits() || err.compare(q, mid.size(), mid) != 0) return err;
    q += mid.size();
    if (!digits() || err.compare(q, 1, ".") != 0) return err;
    ++q;
    if (!digits() || err.compare(q, std::string::npos, " s\n") != 0) return err;
    return err.substr(0, at);
}

}  // namespace

TEST(Plot, SampleFigureAndCounts) {
    if (!have_matplotlib()) GTEST_SKIP() << "python3-matplotlib is not installed";
    std::string dir = scratch_dir();
    write_file(dir + "/m67.txt", read_file(ORBLENZ_SOURCE_DIR "/examples/m67.txt"));
    ASSERT_EQ(run_orblenz(dir, {"--members", "m67", "M67_", "132.825", "11.8", "2700"}).status, 0);

    // Four panels, the dark stars marked: nothing on standard error but the line of a run slower than 2 s.
    RunResult r = run_plot(dir, "m67 -o m67.svg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(without_timing(r.err), "");
    std::string svg = read_file(dir + "/m67.svg");
    EXPECT_NE(svg.find("id=\"axes_4\""), std::string::npos);
    EXPECT_EQ(svg.find("id=\"axes_5\""), std::string::npos);
    EXPECT_NE(svg.find("no entry (dark)"), std::string::npos);
    // The same figure with the list, without it, and with other text in its place.
    ASSERT_EQ(run_plot(dir, "m67").status, 0);
    std::string png = read_file(dir + "/m67.png");
    std::remove((dir + "/m67.txt").c_str());
    for (int other = 0; other < 2; write_file(dir + "/m67.txt", "0.5 1.0 not the list\n"), ++other) {
        EXPECT_EQ(run_plot(dir, "m67").status, 0);
        EXPECT_TRUE(png == read_file(dir + "/m67.png")) << other;
    }
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // The header chunk: width and height, four bytes each, most significant first.
    auto be32 = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = at; i < at + 4; ++i) v = v << 8 | static_cast<unsigned char>(png[i]);
        return v;
    };
    EXPECT_EQ(be32(16), 1800u);
    EXPECT_EQ(be32(20), 1000u);

    // Each code of the catalogue in its class: an MK code by its letter (L,
    // T and Y together), DZx white dwarfs, Q neutron stars and black holes,
    // the rest "other".
    std::map<std::string, int> want;
    for (const char* c : {"O", "B", "A", "F", "G", "K", "M", "L,T,Y", "DZ", "Q", "other"}) want[c] = 0;
    // Cool dwarfs with temperatures added below a Barycenter line: L, T and Y count in one class.
    std::string text = read_file(dir + "/m67.stc"), one = text.substr(0, text.find('\n') + 1);
    one.insert(one.size() - 3, " Temperature 1500");
    std::size_t at = one.find("SpectralType \"") + 14, end = one.find('"', at);
    for (const char* code : {"L2V", "T5V", "L0V"}) text += one.substr(0, at) + code + one.substr(end);
    write_file(dir + "/m67.stc", BARYCENTER + text);
    std::istringstream stc(text);
    for (std::string line; std::getline(stc, line);) {
        std::size_t q = line.find("SpectralType \"") + 14;
        std::string code = line.substr(q, line.find('"', q) - q);
        bool mk = code.size() >= 3 && std::string("OBAFGKMLTY").find(code[0]) != std::string::npos &&
                  (std::isdigit(static_cast<unsigned char>(code[1])) || code[1] == '*');
        std::string cls = code.compare(0, 2, "DZ") == 0 ? "DZ" : code == "Q" ? "Q" : "other";
        if (mk) cls = std::string("LTY").find(code[0]) != std::string::npos ? "L,T,Y" : code.substr(0, 1);
        ++want[cls];
    }
    r = run_plot(dir, "m67 --summary");
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, int> got;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) {
        std::istringstream words(line);
        std::string cls;
        int n = -1;
        words >> cls >> n;
        got[cls] = n;
    }
    EXPECT_EQ(got, want);
    EXPECT_NE(r.out.find("\nL,T,Y         3  L 2, T 1\n"), std::string::npos) << r.out;
}

TEST(Plot, MemberTableOnlyWhenItBelongs) {
    if (!have_matplotlib()) GTEST_SKIP() << "python3-matplotlib is not installed";
    const std::string out = ": the temperature-luminosity panel is left out; convert with orblenz --members ",
                      other = "orblenz-plot: trio.tsv does not belong to trio.stc (its entries are another "
                              "conversion's)" + out + "again\n";
    // The trio's member table edited (a text and what replaces it; with no
    // replacement, the line that begins with the text goes), or the plot run
    // with --table.
    const struct { const char *what, *args, *from, *to; int status; std::string err; } rows[] = {
        {"as written (the catalogue's AbsMag padded)", "trio", "", "", 0, ""},
        {"the dark star's line gone", "trio", "4\t\tdead", "", 0, ""},
        {"another name", "trio", "T_000002", "T_000009", 0, other},
        {"the same RA in other digits", "trio", "0.13281348155706820E+03", "132.81348155706820", 0, other},
        {"an entry's line gone", "trio", "3\tT_000003", "", 0, other},
        {"no table", "trio", "", "-", 0, "orblenz-plot: no trio.tsv" + out + "to draw it\n"},
        {"--table", "trio --table", "", "", 2, "orblenz-plot: --table: the plot reads no list or table; "
         "convert with orblenz --members --table and plot the catalogue\n"},
    };
    for (const auto& row : rows) {
        std::string dir = scratch_dir();
        write_file(dir + "/trio.txt", read_file(ORBLENZ_SOURCE_DIR "/examples/trio.txt"));
        ASSERT_EQ(run_orblenz(dir, {"--members", "trio", "T_", "132.825", "11.8", "2700"}).status, 0);
        std::string tsv = dir + "/trio.tsv";
        if (*row.from) {
            std::string text = read_file(tsv);
            const std::size_t at = text.find(row.from);
            ASSERT_NE(at, std::string::npos) << row.what;
            if (*row.to) text.replace(at, std::strlen(row.from), row.to);
            else text.erase(at, text.find('\n', at) + 1 - at);
            write_file(tsv, text);
        }
        if (std::string(row.to) == "-") std::remove(tsv.c_str());
        RunResult r = run_plot(dir, row.args);
        EXPECT_EQ(r.status, row.status) << row.what;
        EXPECT_EQ(without_timing(r.err), row.err) << row.what;
    }
}

TEST(Plot, UnreadableLineNamed) {
    if (!have_matplotlib()) GTEST_SKIP() << "python3-matplotlib is not installed";
    std::string dir = scratch_dir();
    // A first Barycenter line is no entry, a temperature part of one; a
    // three-digit exponent and a magnitude wider than seven characters are
    // numbers too; the half line after them is not an entry.
    write_file(dir + "/bad.stc", BARYCENTER +
               " Star \"T_000001\" {RA 0.13281348155706820E+03 Dec 0.11814709261286211E+02 Distance "
               "0.26982792082147239E+04 SpectralType \"G2V\" AbsMag    4.83 Temperature 5778 }\n"
               " Star \"T_000002\" {RA 0.99999999999999980E+150 Dec -.22500000000000000E+02 Distance "
               "0.15000000000000002E+04 SpectralType \"B5I-a\" AbsMag -19000.00 }\n"
               " Star \"T_000003\" {RA 0.13280501533988897E+03 Dec");
    RunResult r = run_plot(dir, "bad");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orblenz-plot: bad.stc:4: not a catalogue entry:  Star \"T_000003\" {RA "
                     "0.13280501533988897E+03 Dec\n");
    EXPECT_FALSE(file_exists(dir + "/bad.png"));
    // Only the first line may be a Barycenter line; a temperature is 1 K or more (both shown cut).
    const std::string zero_k = " Star \"T_000001\" {RA 0.1328E+03 Dec 0.1181E+02 Distance 2698. SpectralType \"G2V\""
                               " AbsMag 4.83 Temperature 0 }";
    for (const std::string& second : {BARYCENTER, zero_k}) {
        write_file(dir + "/bad.stc", BARYCENTER + second);
        r = run_plot(dir, "bad");
        EXPECT_EQ(r.err, "orblenz-plot: bad.stc:2: not a catalogue entry: " + second.substr(0, 57) + "...\n");
    }
}

TEST(Plot, BinariesCountedAndPlaced) {
    if (!have_matplotlib()) GTEST_SKIP() << "python3-matplotlib is not installed";
    // All on one line of sight (RA 90, Dec 0): a plain entry at 1000 ly, a pair at 2000 ly with both
    // entries, one at 4000 ly whose companion is dark. The table puts the orbiting entries at their own
    // distances, 1900, 2100 and 4100 ly, with no offsets: its centre is their mean place.
    const std::string at = " {RA 0.90000000000000000E+02 Dec 0.00000000000000000E+00 Distance ",
                      orbit = " EllipticalOrbit {Period 12.5 SemiMajorAxis 0.5 Eccentricity 0.3333333333333333 "
                              "Inclination 1e-05 AscendingNode 0 ArgOfPericenter 359.99999999999994 MeanAnomaly 0 "
                              "Epoch 2451545 } }\n",
                      star = " Star \"P_00000", bary = "\" {OrbitBarycenter \"P_B00000";
    const std::string stc = star + "1\"" + at + "0.10000000000000000E+04 SpectralType \"G2V\" AbsMag    4.83 }\n"
                            " Barycenter \"P_B000001\"" + at + "0.20000000000000000E+04 }\n" +
                            star + "2" + bary + "1\" SpectralType \"G2V\" AbsMag    4.83" + orbit +
                            star + "3" + bary + "1\" SpectralType \"K3V\" AbsMag    6.50 Temperature 4800" + orbit +
                            " Barycenter \"P_B000002\"" + at + "0.40000000000000000E+04 }\n" +
                            star + "4" + bary + "2\" SpectralType \"M2V\" AbsMag   10.20" + orbit;
    const std::string place = "\t0\t0\t0\t0.90000000000000000E+02\t0.00000000000000000E+00\t0.",
                      tsv = "line\tentry\tcode\ttype\tmass\tL\tM_V\tT\tx\ty\tz\tRA\tDec\tDistance\tAbsMag\t"
                            "Temperature\tbarycenter\n"
                            "1\tP_000001\tG2V\t1\t1\t1\t4.83\t5778" + place + "10000000000000000E+04\t4.83\t\t\n"
                            "2\tP_000002\tG2V\t1\t1\t1\t4.83\t5778" + place +
                            "19000000000000000E+04\t4.83\t\tP_B000001\n"
                            "3\tP_000003\tK3V\t1\t0.7\t0.2\t6.5\t4800" + place +
                            "21000000000000000E+04\t6.50\t4800\tP_B000001\n"
                            "4\tP_000004\tM2V\t1\t0.4\t0.03\t10.2\t3500" + place +
                            "41000000000000000E+04\t10.20\t\tP_B000002\n"
                            "5\t\tdead\t11\t0.6\t0.001\t15\t9000\t0\t0\t0\t\t\t\t\t\tP_B000002\n";
    const std::string head = "<!-- bin: 4 entries, 2 binaries orbiting, ",
                      sky = " RA 90.000° (6h 00m 00.0s), Dec +0.000° (+0° 00′ 00″), distance ",
                      own = "centre" + sky + "2275 ly (697.5 pc) -->",
                      barycentre = "mean position" + sky + "2250 ly (689.8 pc) -->",
                      out = ": the temperature-luminosity panel is left out; convert with orblenz --members ",
                      other = "orblenz-plot: bin.tsv does not belong to bin.stc (its entries are another "
                              "conversion's)" + out + "again\n";
    const struct { const char *what, *from, *to; std::string title, err; } rows[] = {   // the table edited, or none
        {"as written", "", "", own, ""},
        {"no table", "", "-", barycentre, "orblenz-plot: no bin.tsv" + out + "to draw it\n"},
        {"an orbiting entry's barycenter another", "B000001\n", "B000002\n", barycentre, other},
        {"the dark star's barycenter unknown", "\t\t\tP_B000002", "\t\t\tP_B000003", barycentre, other},
    };
    for (const auto& row : rows) {
        std::string dir = scratch_dir(), text = tsv;
        write_file(dir + "/bin.stc", stc);
        if (*row.from) text.replace(text.find(row.from), std::strlen(row.from), row.to);
        if (std::string(row.to) != "-") write_file(dir + "/bin.tsv", text);
        RunResult r = run_plot(dir, "bin -o bin.svg");
        EXPECT_EQ(r.status, 0) << row.what;
        EXPECT_EQ(without_timing(r.err), row.err) << row.what;
        EXPECT_NE(read_file(dir + "/bin.svg").find(head + row.title), std::string::npos) << row.what;
    }
}
