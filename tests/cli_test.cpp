// The command line's conventions, the check of a list (--check) and a
// cluster generator's tables (--table), end to end on the real binary.

#include "test_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string src(const std::string& rel) { return std::string(ORBLENZ_SOURCE_DIR) + "/" + rel; }

const std::string sun = "1.\t0.\t0.\t0.\t0.\t0.\t0.\t0.\t1\t0.\t0.\t0.\t1.\t0.\t0.\t5.0842105\t0.\t0.\t5778.\t0.\n";

}  // namespace

TEST(CommandLine, Conventions) {
    const struct {
        std::vector<std::string> args;
        std::string out_starts, err;
        int status;
    } cases[] = {
        {{"--help"}, "Usage: orblenz [--table] [--faithful] [--members] [--binaries] [--centre NAME]\n", "", 0},
        {{"-h", "c"}, "Usage: orblenz [--table] [--faithful] [--members] [--binaries] [--centre NAME]\n", "", 0},
        {{"--version"}, std::string("orblenz ") + ORBLENZ_VERSION + "\n", "", 0},
        {{"--bogus", "c", "T_", "1", "2", "3"}, "",
         "orblenz: unknown option '--bogus' (orblenz --help lists the options)\n", 2},
        {{"--check"}, "", "orblenz: --check needs the base name of the list: orblenz --check <base>\n", 2},
        {{"--check", "nolist"}, "", "orblenz: cannot open nolist.txt: No such file or directory\n", 2},
        {{"--centre"}, "", "orblenz: --centre needs the cluster's name: --centre NAME\n", 2},
        {{"--centre=", "c", "T_", "1", "2", "3"}, "", "orblenz: --centre needs the cluster's name: --centre NAME\n", 2},
        {{"--centre", "A", "--centre=B", "c", "T_", "1", "2", "3"}, "",
         "orblenz: --centre is given twice: a catalogue has one centre\n", 2},
        {{"--check", "--centre", "A", "c"}, "", "orblenz: --centre names the cluster in a catalogue; --check writes none\n", 2},
        {{"--members", "--check", "c"}, "", "orblenz: --members lists the stars of a conversion; --check writes no file\n", 2},
    };
    for (auto& c : cases) {
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", sun);
        RunResult r = run_orblenz(dir, c.args);
        if (c.out_starts.empty()) {
            EXPECT_EQ(r.out, "") << c.args[0];
        } else {
            EXPECT_EQ(r.out.substr(0, c.out_starts.size()), c.out_starts) << c.args[0];
        }
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_FALSE(file_exists(dir + "/c.stc")) << c.args[0];
    }
    // "--" ends the options: a base name that begins with "-".
    std::string dir = scratch_dir();
    write_file(dir + "/-c.txt", sun);
    RunResult r = run_orblenz(dir, {"--", "-c", "CL1_", "83.75", "-22.5", "1500"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir + "/-c.stc"),
              " Star \"CL1_000001\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance "
              "0.15000000000000002E+04 SpectralType \"G2V\" AbsMag    4.83 }\n");
}

// One trap of each kind, planted at a known line of a list written by hand.
TEST(Check, PlantedTraps) {
    std::string dir = scratch_dir();
    write_file(dir + "/traps.txt", read_file(src("tests/data/check_traps.txt")));
    RunResult r = run_orblenz(dir, {"--check", "traps"});
    const std::string w = ": warning: ", e = ": error: ";
    EXPECT_EQ(r.out,
              "traps.txt:2:65" + w + "column 19 (temperature) \"6200\" has no decimal point: read as 6.2E-07\n"
              "traps.txt:3:14" + w + "column 4 is empty (two separators in a row): every later column moves one place on\n"
              "traps.txt:4:1" + w + "the line has 19 columns, the first line 20\n"
              "traps.txt:5:5" + w + "column 2 (x) \"0.000000000000000001234\" has 23 characters: only the first 20 are read, \"0.000000000000000001\"\n"
              "traps.txt:6:513" + w + "the line has more than 512 characters: the rest of it is not read\n"
              "traps.txt:7:31" + w + "column 9 (evolution type) \"123\" is not one or two characters: the type of the star before (1) is used\n"
              "traps.txt:8:31" + w + "column 9 (evolution type) \"17\" is not one of the types 0 to 15\n"
              "traps.txt:9:43" + w + "column 13 (luminosity) \"1.0e999\" reads as infinity\n"
              "traps.txt:10:65" + w + "column 19 (temperature) \"0.\" is 0 K or below: the star, which shines, gets the code ????\n"
              "traps.txt:11:73" + w + "the line ends in a carriage return (a Windows line end): it stays in the last column\n"
              "traps.txt:12:20" + w + "byte 0xC3 is not printable ASCII\n"
              "traps.txt:13:43" + e + "column 13 (luminosity) \"1.8x\" is not a number under the form (f20.10): the conversion stops here with the \"fmt\" report\n"
              "traps.txt:14:1" + w + "the line has 7 columns; the conversion reads columns up to 19, the temperature: "
              "was the table written with stellar evolution?\n"
              "traps.txt:16:13" + e + "the list ends inside this line, 3 columns into it: it was cut off, and the conversion stops here\n"
              "traps.txt: warning: the masses add up to 1.000: the list looks like N-body units; positions are read as "
              "parsecs (write the table in physical units, McLuster's -u 1)\n"
              "traps.txt: note: 1 star that shines (types 0-12, T > 0, L > 0) has a magnitude that makes it dark and gets "
              "no entry: McLuster writes 9999.9 for stars it has no colours for (below 3000 K or above 55000 K). "
              "--faithful gives that star an entry\n"
              // Lines 2 and 3: 0.1 pc apart (column 4 of line 3 is empty), 0.1 km/s against G 2 Msun / 0.1 pc.
              "traps.txt: note: 1 pair of consecutive star lines is a bound binary (1/2 |dv|^2 < G (m1 + m2) / |dr|, "
              "columns 1 to 7 in Msun, pc and km/s): --binaries makes it orbit its barycenter in the planetarium\n"
              "traps.txt: 16 lines, 15 stars: 2 errors (field not read 1, list cut off 1), 13 warnings (no decimal point 1, "
              "empty column 1, column count 1, field cut 1, line cut 1, evolution type not read 1, unknown evolution type 1, "
              "not finite 1, no temperature 1, carriage return 1, byte not printable 1, too few columns 1, N-body units), "
              "2 notes (no magnitude, bound pairs)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
    // A list of dark stars only; in a fine cut a point that stays, and digits
    // beyond the form's precision (20-character positions are within 1e-12,
    // single-precision values equal).
    const std::string fine = "1.0000000000000000001\t-142.5643405042027041\t-0.3\t0.1\t0.\t0.\t0.\t1.0\t1\t0.\t0.\t"
                             "1.0\t0.12345678901234567890123\t0.\t0.02\t9999.9\t0.\t0.\t0.\t0.\n";
    write_file(dir + "/dark.txt", fine + fine);
    r = run_orblenz(dir, {"--check", "dark"});
    EXPECT_EQ(r.out, "dark.txt: warning: every star is dark: the conversion writes no catalogue\n"
                     "dark.txt: 2 lines, 2 stars: 0 errors, 1 warning (all dark)\n");
    EXPECT_EQ(r.status, 1);
    // Not a single star line: an empty list, a table of only its header.
    const struct { const char* list; std::vector<std::string> args; const char* lines; } empty[] = {
        {"", {"--check", "--table", "dark"}, "0 lines"},
        {"# m x y z vx vy vz\n", {"--check", "--table", "dark"}, "1 lines"},
    };
    for (auto& c : empty) {
        write_file(dir + "/dark.txt", c.list);
        r = run_orblenz(dir, c.args);
        EXPECT_EQ(r.out, std::string("dark.txt: warning: no star lines: the conversion writes no catalogue\n"
                                     "dark.txt: ") + c.lines + ", 0 stars: 0 errors, 1 warning (no star lines)\n");
        EXPECT_EQ(r.status, 1);
    }
}

// The shipped sample and the shipped generator's table are clean; the table
// read as a plain list is not, and the check says what it likely is.
TEST(Check, ShippedLists) {
    std::string dir = scratch_dir();
    write_file(dir + "/m67.txt", read_file(src("examples/m67.txt")));
    write_file(dir + "/m67-table.txt", read_file(src("examples/m67-table.txt")));
    RunResult r = run_orblenz(dir, {"--check", "m67"});
    // Its only finding is the note on shining stars with a dark magnitude:
    // white dwarfs fainter than 1e-4 Lsun, which the sample gives 9999.
    const std::string note = " stars that shine (types 0-12, T > 0, L > 0) have a magnitude that makes them dark and "
                             "get no entry: McLuster writes 9999.9 for stars it has no colours for (below 3000 K or "
                             "above 55000 K). --faithful gives those stars an entry\n";
    EXPECT_EQ(r.out, "m67.txt: note: 55" + note + "m67.txt: 3000 lines, 3000 stars: 0 errors, 0 warnings, 1 note (no magnitude)\n");
    EXPECT_EQ(r.status, 0);
    r = run_orblenz(dir, {"--check", "--table", "m67-table"});
    // The table's 9999.9 for the stars below 3000 K too.
    EXPECT_EQ(r.out, "m67-table.txt: note: 1471" + note +
                         "m67-table.txt: 3001 lines, 3000 stars: 0 errors, 0 warnings, 1 note (no magnitude)\n");
    EXPECT_EQ(r.status, 0);
    r = run_orblenz(dir, {"--check", "m67-table"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nm67-table.txt: the first line begins with \"#\": if it is a cluster generator's table, "
                         "read it with --table: orblenz --check --table m67-table\n"),
              std::string::npos);
}

// A table in the generator's layout converts byte for byte like the same
// list cleaned: without its comment and blank lines, separators at the
// ends removed and every run made one tab.
TEST(Table, ConvertsLikeItsCleanedList) {
    const std::string a = "1.2\t0.5\t-0.3\t0.1\t0.\t0.\t0.\t1.2", b = "1\t0.\t0.\t0.\t1.8\t0.\t0.02\t4.2\t0.\t0.\t6200.\t0.\t0.";
    const std::string table = "# m x y z vx vy vz m0 kw ...\n" + a + "\t\t" + b + "\n\n  \t \n   " + a + "  \t " + b +
                              " \t\n\t# a comment after a blank\n" + a + "\t\t" + b + "\n";
    const std::string clean = a + "\t" + b + "\n" + a + "\t" + b + "\n" + a + "\t" + b + "\n";
    std::string dir = scratch_dir();
    write_file(dir + "/t.txt", table);
    write_file(dir + "/c.txt", clean);
    RunResult rt = run_orblenz(dir, {"--table", "t", "CL1_", "83.75", "-22.5", "1500"});
    RunResult rc = run_orblenz(dir, {"c", "CL1_", "83.75", "-22.5", "1500"});
    EXPECT_EQ(rt.status, 0);
    EXPECT_EQ(rt.out, rc.out);
    EXPECT_EQ(rt.err, "");
    EXPECT_NE(read_file(dir + "/c.stc"), "");
    EXPECT_EQ(read_file(dir + "/t.stc"), read_file(dir + "/c.stc"));
    // A field the forms refuse still gives the "fmt" report.
    std::string bad = b;
    bad.replace(bad.find("1.8"), 3, "1.8x");
    write_file(dir + "/t.txt", "# header\n" + a + "  " + bad + "\n");
    rt = run_orblenz(dir, {"--table", "t", "CL1_", "83.75", "-22.5", "1500"});
    EXPECT_EQ(rt.status, 134);
    EXPECT_EQ(rt.err.substr(0, rt.err.find('\n')), "fmt: read unexpected character");
    // A star line that stops short of column 19 (a table written without
    // stellar evolution) ends the conversion; the entries before it stay.
    write_file(dir + "/t.txt", "# header\n" + a + "\t\t" + b + "\n" + a + "\n" + a + "\n");
    rt = run_orblenz(dir, {"--table", "t", "CL1_", "83.75", "-22.5", "1500"});
    EXPECT_EQ(rt.out, "");
    EXPECT_EQ(rt.err, "read: a star line of 8 columns; a table's star lines reach column 19, the temperature\n"
                      "apparent state: unit 3 named t.txt\nlast format: (a)\nlately reading sequential formatted external IO\n");
    EXPECT_EQ(rt.status, 134);
    EXPECT_EQ(read_file(dir + "/t.stc"), read_file(dir + "/c.stc").substr(0, read_file(dir + "/c.stc").find('\n') + 1));
    rt = run_orblenz(dir, {"--check", "--table", "t"});
    EXPECT_EQ(rt.out, "t.txt:3:1: error: the line has 8 columns; the conversion reads columns up to 19, the temperature, "
                      "and stops here: was the table written with stellar evolution?\n"
                      "t.txt:4:1: error: the line has 8 columns; the conversion reads columns up to 19, the temperature, "
                      "and has stopped at line 3 before it: was the table written with stellar evolution?\n"
                      "t.txt: 4 lines, 3 stars: 2 errors (too few columns 2), 0 warnings\n");
    EXPECT_EQ(rt.status, 1);
}
