// End to end: the real orblenz binary on files in a scratch directory;
// standard output, standard error, exit status and the catalogue bytes are
// compared exactly with texts written from the program's rules.

#include "test_data.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One star line: the columns the run reads, every other column "0.".
std::string star(const std::string& mass, const std::string& x, const std::string& y, const std::string& z,
                 const std::string& k, const std::string& lum, const std::string& mag, const std::string& temp,
                 const std::string& col12 = "0.") {
    std::string c[21];
    for (int i = 1; i <= 20; ++i) c[i] = "0.";
    c[1] = mass; c[2] = x; c[3] = y; c[4] = z; c[9] = k; c[12] = col12; c[13] = lum; c[16] = mag; c[19] = temp;
    std::string s = c[1];
    for (int i = 2; i <= 20; ++i) s += "\t" + c[i];
    return s + "\n";
}

// A sun-like main-sequence star at the cluster centre: G2V, AbsMag 4.83 after scaling.
const std::string sun = star("1.", "0.", "0.", "0.", "1", "1.", "5.0842105", "5778.");
const std::string dead = star("1.", "0.", "0.", "0.", "1", "1.", "9500.", "5000.");

const char* const type_names[16] = {"low mass  ", "main seq  ", "hertz gap ", "1st gnt br", "corehelium",
                                    "1st as.gnt", "2nd as.gnt", "m.seq.hel.", "hgap hel. ", "gnt.br hel",
                                    "hel wd    ", "co wd     ", "on wd     ", "neut. star", "black hole",
                                    "snr       "};

// The end-of-run summary: " Star Types", sixteen type lines, the mass line.
std::string summary(std::map<int, int> counts, const std::string& massline) {
    std::string s = " Star Types\n";
    for (int k = 0; k < 16; ++k) s += std::string(" ") + type_names[k] + " " + std::to_string(counts[k]) + "\n";
    return s + " mass min,max = " + massline + "\n";
}

// The spectral type report from its listings (5-character code, count).
using Listing = std::vector<std::pair<std::string, int>>;
std::string stypes(const Listing& by_code, const Listing& by_freq, int total, int passed) {
    std::string s = " Sorted by Spectral Type\n";
    for (auto& e : by_code) s += " " + e.first + "   " + std::to_string(e.second) + "\n";
    s += " Sorted by Frequency\n";
    for (auto& e : by_freq) s += " " + e.first + "   " + std::to_string(e.second) + "\n";
    return s + " # spec. types= " + std::to_string(by_code.size() + 1) + ", total stars= " + std::to_string(total) +
           " ( " + std::to_string(passed) + " passed)\n";
}

const std::string usage = " ?ORBLENZ -- not enough arguments.\n  5 required: filename prefix RA Dec Distance\n";

std::string fmt_report(const std::string& form) {
    return "fmt: read unexpected character\napparent state: internal I/O\nlast format: " + form +
           "\nlately reading sequential formatted internal IO\n";
}

const std::string cat_fmt = "(1x,a,a,a,a,a,d23.17,a,d23.17,a,d23.17,a,a,a,f7.2,a)";

// The catalogue entry of a star at the centre with the placement 83.75 -22.5 1500.
std::string centre_entry(int n, const std::string& code = "G2V", const std::string& mag = "   4.83") {
    char num[8];
    std::snprintf(num, sizeof num, "%06d", n);
    return std::string(" Star \"CL1_") + num +
           "\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance 0.15000000000000002E+04 "
           "SpectralType \"" + code + "\" AbsMag " + mag + " }\n";
}

const std::vector<std::string> place = {"c", "CL1_", "83.75", "-22.5", "1500"};

struct Case {
    const char* name;
    std::optional<std::string> list;        // content of c.txt; none: no file
    std::vector<std::string> args;
    std::optional<std::string> stc_before;  // content of c.stc before the run
    std::string out, err;
    int status;
    std::optional<std::string> stc_after;   // content of c.stc after; none: must not exist
};

void run_cases(const std::vector<Case>& cases) {
    for (auto& c : cases) {
        std::string dir = scratch_dir();
        if (c.list) write_file(dir + "/c.txt", *c.list);
        if (c.stc_before) write_file(dir + "/c.stc", *c.stc_before);
        RunResult r = run_orblenz(dir, c.args);
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.status, c.status) << c.name;
        if (c.stc_after)
            EXPECT_EQ(read_file(dir + "/c.stc"), *c.stc_after) << c.name;
        else
            EXPECT_FALSE(file_exists(dir + "/c.stc")) << c.name;
    }
}

std::string times(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

}  // namespace

TEST(EndToEnd, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"c", "CL1_", "1", "2"},
        {"c", "CL1_", "1", "2", ""},
        {"c", "CL1_", "1", "2", "   "},
        {"", "CL1_", "1", "2", "3"},
    };
    for (auto& args : cases) {
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", sun);
        RunResult r = run_orblenz(dir, args);
        EXPECT_EQ(r.out, usage) << args.size();
        EXPECT_EQ(r.err, "") << args.size();
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_FALSE(file_exists(dir + "/c.stc"));
    }
}

TEST(EndToEnd, ConversionRuns) {
    const std::string g2v_report = stypes({{"G2V  ", 3}}, {{"G2V  ", 3}}, 3, 0);
    const std::string three = centre_entry(1) + centre_entry(2) + centre_entry(3);
    std::vector<Case> cases = {
        {"three sun-like stars at the centre", (sun + sun + sun), place, std::nullopt,
         summary({{1, 3}}, "  1.,   1.") + g2v_report, "", 0, three},
        {"empty list", "", place, std::nullopt,
         summary({}, "  1000000.,   0.") + stypes({}, {}, 0, 0), "", 0, std::nullopt},
        {"an empty line is a low-mass star of mass 0 with code ????", "\n", place, std::nullopt,
         summary({{0, 1}}, "  0.,   0.") + stypes({{"???? ", 1}}, {{"???? ", 1}}, 1, 0), "", 0,
         " Star \"CL1_000001\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance "
         "0.15000000000000002E+04 SpectralType \"????\" AbsMag    0.00 }\n"},
        {"a dead star is counted but written nowhere", dead, place, std::nullopt,
         summary({{1, 1}}, "  1.,   1.") + stypes({{"dead ", 1}}, {{"dead ", 1}}, 1, 0), "", 0, std::nullopt},
        {"dead stars use no number",
         (dead + sun + dead + sun + sun), place, std::nullopt,
         summary({{1, 5}}, "  1.,   1.") + stypes({{"G2V  ", 3}, {"dead ", 2}}, {{"dead ", 2}, {"G2V  ", 3}}, 5, 2),
         "", 0, three},
        {"type 16 is counted in no summary line",
         star("2.5", "0.", "0.", "0.", "16", "1.", "5.", "5000."), place, std::nullopt,
         summary({}, "  2.5,   2.5") + stypes({{"???? ", 1}}, {{"???? ", 1}}, 1, 0), "", 0,
         " Star \"CL1_000001\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance "
         "0.15000000000000002E+04 SpectralType \"????\" AbsMag    4.75 }\n"},
        {"column 9: 7, 12, empty, and 123 keeping the type before",
         (star("1.", "0.", "0.", "0.", "7", "1.", "9500.", "5000.") +
          star("1.", "0.", "0.", "0.", "12", "1.", "9500.", "5000.") +
          star("1.", "0.", "0.", "0.", "", "1.", "9500.", "5000.") +
          star("1.", "0.", "0.", "0.", "123", "1.", "9500.", "5000.")),
         place, std::nullopt,
         " nc =  3\n" + summary({{7, 1}, {12, 1}, {0, 2}}, "  1.,   1.") +
             stypes({{"dead ", 4}}, {{"dead ", 4}}, 4, 0),
         "", 0, std::nullopt},
        {"column 9: 123 after an out-of-range -5 takes type 0",
         (star("1.", "0.", "0.", "0.", "-5", "1.", "9500.", "5000.") +
          star("1.", "0.", "0.", "0.", "123", "1.", "9500.", "5000.")),
         place, std::nullopt,
         " nc =  3\n" + summary({{0, 1}}, "  1.,   1.") + stypes({{"dead ", 2}}, {{"dead ", 2}}, 2, 0),
         "", 0, std::nullopt},
        {"the worked tally example",
         (star("1.", "0.", "0.", "0.", "1", "1.", "5.0842105", "5778.") + dead + sun +
          star("0.7", "0.", "0.", "0.", "1", "1.", "7.", "4175.") + dead +
          star("0.5", "0.", "0.", "0.", "1", "1.", "9.", "3500.") + dead),
         place, std::nullopt,
         summary({{1, 7}}, "  0.5,   1.") +
             " Sorted by Spectral Type\n G2V     2\n K5V     1\n M0V     1\n dead    3\n"
             " Sorted by Frequency\n M0V     1\n K5V     1\n G2V     2\n dead    3\n"
             " # spec. types= 5, total stars= 7 ( 4 passed)\n",
         "", 0, centre_entry(1) + centre_entry(2) + centre_entry(3, "K5V", "   6.65") + centre_entry(4, "M0V", "   8.55")},
        {"missing star list", std::nullopt, place, std::nullopt, "",
         "open: No such file or directory\napparent state: unit 3 named c.txt\n"
         "lately writing direct unformatted external IO\n",
         134, std::nullopt},
        {"a bad luminosity on the first star", star("1.", "0.", "0.", "0.", "1", "1.8x", "5.", "5000."),
         place, std::nullopt, "", fmt_report("(f20.10)"), 134, std::nullopt},
        {"a bad evolution type", star("1.", "0.", "0.", "0.", "1x", "1.", "5.", "5000."),
         place, std::nullopt, "", fmt_report("(i2)"), 134, std::nullopt},
        {"the first bad column decides the form: mass before position",
         star("1.5x", "1.5x", "0.", "0.", "1", "1.", "5.", "5000."), place, std::nullopt, "",
         fmt_report("(f20.10)"), 134, std::nullopt},
    };
    run_cases(cases);
}

TEST(EndToEnd, CatalogueFile) {
    const std::string three = centre_entry(1) + centre_entry(2) + centre_entry(3);
    const std::string old = times(" old entry that is longer than any of the new ones ..................\n", 20);
    const std::string bad_fourth = sun + sun + sun + star("1.", "0.", "0.", "0.", "1", "1.", "5.", "57x78.") + sun;
    std::vector<Case> cases = {
        {"a longer catalogue ends with exactly this run's entries", (sun + sun + sun), place,
         old, summary({{1, 3}}, "  1.,   1.") + stypes({{"G2V  ", 3}}, {{"G2V  ", 3}}, 3, 0), "", 0,
         three},
        {"a placement 1E5 is no D20.10 field; a new catalogue stays empty", sun,
         {"c", "CL1_", "1E5", "-22.5", "1500"}, std::nullopt, "", fmt_report("(d20.10)"), 134, ""},
        {"a bad column after three stars leaves three entries", bad_fourth, place, old, "",
         fmt_report("(f20.10)"), 134, three},
    };
    run_cases(cases);

    // A run that writes no entry leaves no entry of an earlier run, however
    // it ends (a signal adds no line); a run that cannot open its list, or
    // whose catalogue is a FIFO, leaves it as it was.
    const std::string emptied = "orblenz: no entry written; c.stc emptied\n";
    const std::string two_dead = summary({{1, 2}}, "  1.,   1.") + stypes({{"dead ", 2}}, {{"dead ", 2}}, 2, 0);
    const std::string a7 = "1.\t0.\t0.\t0.\t0.\t0.\t0.\n";
    const struct {
        const char* name;
        std::optional<std::string> list;
        std::vector<std::string> args;
        std::optional<std::string> stc_before;  // none: no file; "fifo": a FIFO
        int sig;                                // sent once the list (a FIFO then) is read
        std::string out, err;
        int status;
        std::optional<std::string> stc_after;
    } none_written[] = {
        {"all dark", dead + dead, place, old, 0, two_dead, emptied, 0, ""},
        {"all dark, no catalogue before", dead + dead, place, std::nullopt, 0, two_dead, "", 0, std::nullopt},
        {"all dark, an empty catalogue before", dead + dead, place, "", 0, two_dead, "", 0, ""},
        {"all dark, a FIFO catalogue", dead + dead, place, "fifo", 0, two_dead, "", 0, std::nullopt},
        {"a placement 1E5 at the first entry", sun, {"c", "CL1_", "1E5", "-22.5", "1500"}, old, 0, "",
         fmt_report("(d20.10)") + emptied, 134, ""},
        {"a table of 7 columns", "# m x y z vx vy vz\n" + a7, {"--table", "c", "CL1_", "83.75", "-22.5", "1500"}, old,
         0, "", "read: a star line of 7 columns; a table's star lines reach column 19, the temperature\n"
         "apparent state: unit 3 named c.txt\nlast format: (a)\nlately reading sequential formatted external IO\n" +
         emptied, 134, ""},
        {"a table without --table: the report, the hint, the line", "# m x y z vx vy vz\n" + sun, place, old, 0, "",
         fmt_report("(f20.10)") + "orblenz: c.txt begins with '#': a generator's table? convert it with --table\n" +
         emptied, 134, ""},
        {"terminated before any entry", dead + dead, place, old, SIGTERM, "", "Killed\n", 1, ""},
        {"no list", std::nullopt, place, old, 0, "", "open: No such file or directory\napparent state: unit 3 named "
         "c.txt\nlately writing direct unformatted external IO\n", 134, old},
    };
    for (auto& c : none_written) {
        std::string dir = scratch_dir();
        const bool fifo_stc = c.stc_before && *c.stc_before == "fifo";
        if (fifo_stc) ASSERT_EQ(mkfifo((dir + "/c.stc").c_str(), 0644), 0);
        else if (c.stc_before) write_file(dir + "/c.stc", *c.stc_before);
        RunResult r;
        if (c.sig) {
            ASSERT_EQ(mkfifo((dir + "/c.txt").c_str(), 0644), 0);
            int pid = start_orblenz(dir, c.args);
            int fd = open((dir + "/c.txt").c_str(), O_WRONLY);  // once the run has opened its list
            ASSERT_EQ(write(fd, c.list->data(), c.list->size()), static_cast<ssize_t>(c.list->size()));
            kill(pid, c.sig);
            r = finish_orblenz(dir, pid);
            close(fd);
        } else {
            if (c.list) write_file(dir + "/c.txt", *c.list);
            r = run_orblenz(dir, c.args);
        }
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.status, c.status) << c.name;
        if (fifo_stc) {
            struct stat st;
            EXPECT_TRUE(stat((dir + "/c.stc").c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << c.name;
        } else if (c.stc_after) {
            EXPECT_EQ(read_file(dir + "/c.stc"), *c.stc_after) << c.name;
        } else {
            EXPECT_FALSE(file_exists(dir + "/c.stc")) << c.name;
        }
    }

    // <base>.stc a symbolic link to a full device: a failure, never a success.
    std::string dir = scratch_dir();
    write_file(dir + "/c.txt", sun + sun);
    ASSERT_EQ(symlink("/dev/full", (dir + "/c.stc").c_str()), 0);
    RunResult r = run_orblenz(dir, place);
    EXPECT_EQ(r.status, 134);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "write: No space left on device\napparent state: unit 4 named c.stc\nlast format: " + cat_fmt +
                         "\nlately writing sequential formatted external IO\n");
}

TEST(EndToEnd, Permissions) {
    int uid = unprivileged_uid();
    if (uid < 0 && geteuid() == 0) GTEST_SKIP() << "no unprivileged user to test permissions with";
    RunOptions opt;
    opt.uid = uid;
    const std::string old = " old content\n";
    {
        // A read-only catalogue: "write start", old content kept.
        std::string dir = scratch_dir();
        chmod(dir.c_str(), 0777);
        write_file(dir + "/c.txt", sun);
        write_file(dir + "/c.stc", old);
        chmod((dir + "/c.stc").c_str(), 0444);
        RunResult r = run_orblenz(dir, place, opt);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "write start: Permission denied\napparent state: unit 4 named c.stc\nlast format: " +
                             cat_fmt + "\nlately writing sequential formatted external IO\n");
        EXPECT_EQ(r.status, 134);
        EXPECT_EQ(read_file(dir + "/c.stc"), old);
    }
    {
        // A directory that cannot be written: the catalogue cannot be created.
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", sun);
        chmod((dir + "/c.txt").c_str(), 0644);
        chmod(dir.c_str(), 0555);
        RunResult r = run_orblenz(dir, place, opt);
        chmod(dir.c_str(), 0755);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "open: Permission denied\napparent state: unit 4 named c.stc\nlast format: (d20.15)\n"
                         "lately reading sequential formatted external IO\n");
        EXPECT_EQ(r.status, 134);
        EXPECT_FALSE(file_exists(dir + "/c.stc"));
    }
    {
        // A star list that cannot be read.
        std::string dir = scratch_dir();
        chmod(dir.c_str(), 0777);
        write_file(dir + "/c.txt", sun);
        chmod((dir + "/c.txt").c_str(), 0000);
        RunResult r = run_orblenz(dir, place, opt);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "open: Permission denied\napparent state: unit 3 named c.txt\n"
                         "lately writing direct unformatted external IO\n");
        EXPECT_EQ(r.status, 134);
        EXPECT_FALSE(file_exists(dir + "/c.stc"));
    }
}

// Input that is not a list of stars, and output that cannot be written.
TEST(EndToEnd, HostileInputAndOutput) {
    {
        std::string dir = scratch_dir();
        mkdir((dir + "/c.txt").c_str(), 0755);
        RunResult r = run_orblenz(dir, place);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "read: Is a directory\napparent state: unit 3 named c.txt\nlast format: (a)\n"
                         "lately reading sequential formatted external IO\n");
        EXPECT_EQ(r.status, 134);
        EXPECT_FALSE(file_exists(dir + "/c.stc"));
    }
    {
        // Standard output on a full device: a failure status.
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", sun);
        RunOptions opt;
        opt.stdout_path = "/dev/full";
        RunResult r = run_orblenz(dir, place, opt);
        EXPECT_EQ(r.status, 134);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "write: No space left on device");
        EXPECT_NE(r.err.find("apparent state: unit 6 (unnamed)\n"), std::string::npos);
        EXPECT_EQ(read_file(dir + "/c.stc"), centre_entry(1));
    }
    {
        // CR LF line ends: the CR stays in column 20, which is never read.
        std::string crlf = sun.substr(0, sun.size() - 1) + "\r\n";
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", crlf + crlf + crlf);
        RunResult r = run_orblenz(dir, place);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(read_file(dir + "/c.stc"), centre_entry(1) + centre_entry(2) + centre_entry(3));
    }
    {
        // A last line without a line feed is a star like any other.
        std::string dir = scratch_dir();
        write_file(dir + "/c.txt", sun + sun.substr(0, sun.size() - 1));
        RunResult r = run_orblenz(dir, place);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(read_file(dir + "/c.stc"), centre_entry(1) + centre_entry(2));
    }
    {
        // NUL bytes and binary garbage in a read column: the "fmt" report.
        // A 100 000-character line without a separator in its first 512
        // characters has no column at all: a star of zeros, code ????.
        const std::string blank_star = " Star \"CL1_000002\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 "
                                       "Distance 0.15000000000000002E+04 SpectralType \"????\" AbsMag    0.00 }\n";
        const struct { const char* name; std::string bytes; std::string err; int status; std::string stc; } cases[] = {
            {"NUL in the mass", sun + std::string("1.\0", 3) + sun.substr(2), fmt_report("(f20.10)"), 134, centre_entry(1)},
            {"binary garbage", sun + "\x89PNG\r\n\x1a\n" + sun, fmt_report("(f20.10)"), 134, centre_entry(1)},
            {"a very long line", sun + std::string(100000, '7') + "\n", "", 0, centre_entry(1) + blank_star},
        };
        for (auto& c : cases) {
            std::string dir = scratch_dir();
            write_file(dir + "/c.txt", c.bytes);
            RunResult r = run_orblenz(dir, place);
            EXPECT_EQ(r.err, c.err) << c.name;
            EXPECT_EQ(r.status, c.status) << c.name;
            EXPECT_EQ(read_file(dir + "/c.stc"), c.stc) << c.name;
        }
    }
}

// Interrupt and termination during a run: the star list is a FIFO that the
// test keeps open; after two stars the signal arrives.
TEST(EndToEnd, Signals) {
    const struct { int sig; const char* line; int status; bool ignore_quit; } cases[] = {
        {SIGINT, "Interrupt\n", 1, false},
        {SIGTERM, "Killed\n", 1, false},
        {SIGQUIT, "", 0, true},  // ignored at start: stays ignored
    };
    // Also with both halves on one thread, by turns: the signal then comes
    // while that thread waits in a read of the list.
    int uid = unprivileged_uid();
    for (bool by_turns : {false, true})
    for (auto& c : cases) {
        if (by_turns && uid < 0 && geteuid() == 0) continue;  // root starts threads whatever the limit
        std::string dir = scratch_dir();
        chmod(dir.c_str(), 0777);
        ASSERT_EQ(mkfifo((dir + "/c.txt").c_str(), 0666), 0);
        chmod((dir + "/c.txt").c_str(), 0666);
        RunOptions opt;
        opt.ignore_quit = c.ignore_quit;
        opt.no_threads = by_turns;
        opt.uid = by_turns ? uid : -1;
        int pid = start_orblenz(dir, place, opt);
        int fd = open((dir + "/c.txt").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        std::string two = sun + sun;
        ASSERT_EQ(write(fd, two.data(), two.size()), static_cast<ssize_t>(two.size()));
        // Wait until both stars are through: the catalogue exists once the
        // first entry was due.
        for (int i = 0; i < 500 && !file_exists(dir + "/c.stc"); ++i) usleep(10000);
        usleep(100000);
        kill(pid, c.sig);
        usleep(100000);
        close(fd);
        RunResult r = finish_orblenz(dir, pid);
        EXPECT_EQ(r.err, c.line) << c.sig << " by turns " << by_turns;
        EXPECT_EQ(r.status, c.status) << c.sig << " by turns " << by_turns;
        EXPECT_EQ(read_file(dir + "/c.stc"), centre_entry(1) + centre_entry(2)) << c.sig << " by turns " << by_turns;
        if (c.status == 0)
            EXPECT_EQ(r.out, summary({{1, 2}}, "  1.,   1.") + stypes({{"G2V  ", 2}}, {{"G2V  ", 2}}, 2, 0));
        else
            EXPECT_EQ(r.out, "") << c.sig << " by turns " << by_turns;
    }
}

// Lists longer than the reading half runs ahead of the writing half, with
// report lines between the entries and a refusal deep in the list: the
// same output whether the halves run on two threads or by turns on one, and
// whichever half reads the position. (By turns, the reading half fills the
// ring of 8192 before the writing half empties it, and reads the position
// itself once more than 1024 wait: star 6000 there, star 8973 not.)
TEST(EndToEnd, LongListsBothWays) {
    const std::string odd = star("1.", "0.", "0.", "0.", "123", "1.", "5.0842105", "5778.");  // " nc =  3", type 1 kept
    const int n = 10000;
    const struct {
        const char* name;
        int at;  // the refused star, 0 for none
        std::string line;
        std::string form;
    } cases[] = {
        {"all read", 0, "", ""},
        {"column 13 refused", 9970, star("1.", "0.", "0.", "0.", "123", "x", "5.0842105", "5778."), "(f20.10)"},
        {"column 2 refused", 6000, star("1.", "0.x", "0.", "0.", "1", "1.", "5.0842105", "5778."), "(d20.15)"},
        {"column 4 refused", 8973, star("1.", "0.", "0.", "1e", "123", "1.", "5.0842105", "5778."), "(d20.15)"},
        // Column 12, read with the position, comes before it.
        {"columns 12 and 2 refused", 5000, star("1.", "0.x", "0.", "0.", "1", "1.", "5.0842105", "5778.", "x"), "(f20.10)"},
        {"columns 12 and 3 refused", 8500, star("1.", "0.", "0.x", "0.", "1", "1.", "5.0842105", "5778.", "x"), "(f20.10)"},
    };
    int uid = unprivileged_uid();
    for (auto& c : cases) {
        // 8973 and 9970 (9 and 10 x 997) are "nc" stars; the line comes
        // before the refusal.
        std::string list, out, stc;
        for (int i = 1; i <= n; ++i) {
            bool is_odd = i % 997 == 0;
            if (i == c.at) {
                list += c.line + sun;
                if (is_odd) out += " nc =  3\n";
                break;
            }
            list += is_odd ? odd : sun;
            if (is_odd) out += " nc =  3\n";
            stc += centre_entry(i);
        }
        if (!c.at) out += summary({{1, n}}, "  1.,   1.") + stypes({{"G2V  ", n}}, {{"G2V  ", n}}, n, 0);
        for (bool by_turns : {false, true}) {
            if (by_turns && uid < 0 && geteuid() == 0) continue;  // root starts threads whatever the limit
            RunOptions opt;
            opt.no_threads = by_turns;
            opt.uid = by_turns ? uid : -1;
            std::string dir = scratch_dir();
            chmod(dir.c_str(), 0777);
            write_file(dir + "/c.txt", list);
            RunResult r = run_orblenz(dir, place, opt);
            std::string how = std::string(c.name) + (by_turns ? ", by turns" : ", two threads");
            EXPECT_EQ(r.out, out) << how;
            EXPECT_EQ(r.err, c.at ? fmt_report(c.form) : "") << how;
            EXPECT_EQ(r.status, c.at ? 134 : 0) << how;
            EXPECT_TRUE(read_file(dir + "/c.stc") == stc) << how;
        }
    }
}

// A kill that cannot be caught, mid-run, over a longer old catalogue: the
// file holds only this run's complete entries, never old lines after them.
TEST(EndToEnd, UncatchableKillLeavesNoMix) {
    std::string dir = scratch_dir();
    write_file(dir + "/c.stc", times(" old entry .....................................................\n", 200000));
    ASSERT_EQ(mkfifo((dir + "/c.txt").c_str(), 0644), 0);
    int pid = start_orblenz(dir, place);
    int fd = open((dir + "/c.txt").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    std::string many = times(sun, 20000);
    ASSERT_EQ(write(fd, many.data(), many.size()), static_cast<ssize_t>(many.size()));
    // Wait until the first part of the catalogue was written over the old one.
    for (int i = 0; i < 500 && read_file(dir + "/c.stc").compare(0, 5, " Star") != 0; ++i) usleep(10000);
    kill(pid, SIGKILL);
    close(fd);
    RunResult r = finish_orblenz(dir, pid);
    EXPECT_EQ(r.status, 128 + SIGKILL);
    std::string stc = read_file(dir + "/c.stc");
    ASSERT_FALSE(stc.empty());
    EXPECT_EQ(stc.find("old entry"), std::string::npos);
    // A kill inside a write may cut its last line: at most that one is
    // incomplete, and it is the beginning of the entry due.
    std::size_t n = 0, p = 0;
    while (p < stc.size()) {
        std::size_t e = stc.find('\n', p);
        std::string want = centre_entry(static_cast<int>(++n));
        if (e == std::string::npos) {
            ASSERT_EQ(stc.substr(p), want.substr(0, stc.size() - p)) << "entry " << n;
            break;
        }
        ASSERT_EQ(stc.substr(p, e + 1 - p), want);
        p = e + 1;
    }
}

// Entries the planetarium could not read are never written: wider fields, no
// entry for a star that is not finite, no prefix it would misread. (Every
// catalogue of this suite is also read by the strict reader: test_data.cpp.)
TEST(EndToEnd, EveryEntryLoads) {
    const std::string g2v = summary({{1, 2}}, "  1.,   1.") + stypes({{"G2V  ", 2}}, {{"G2V  ", 2}}, 2, 0);
    const std::string old = " old content\n";
    auto refused = [](const std::string& what) { return "orblenz: star-name prefix refused: " + what + "\n"; };
    std::string named = centre_entry(1);
    named.replace(7, 4, "12345678901234567890");
    std::string cut_utf8 = centre_entry(1);
    cut_utf8.replace(7, 4, "1234567890123456789");
    std::vector<Case> cases = {
        {"column 16 at -20000: AbsMag -19000.00", sun + star("1.", "0.", "0.", "0.", "1", "1.", "-20000.", "5778."),
         place, std::nullopt, g2v, "", 0, centre_entry(1) + centre_entry(2, "G2V", "-19000.00")},
        {"1e-110 pc off the axis: an RA exponent of three digits",
         star("1.", "0.", "1.e-110", "0.", "1", "1.", "5.0842105", "5778."), {"c", "CL1_", "0", "0", "100"},
         std::nullopt, summary({{1, 1}}, "  1.,   1.") + stypes({{"G2V  ", 1}}, {{"G2V  ", 1}}, 1, 0), "", 0,
         " Star \"CL1_000001\" {RA 0.18687799200483445E-109 Dec 0.00000000000000000E+00 Distance "
         "0.10000000000000000E+03 SpectralType \"G2V\" AbsMag    4.83 }\n"},
        {"an infinite position and an infinite magnitude: counted, no entry, no number",
         sun + star("1.", "1.0e999", "0.", "0.", "1", "1.", "5.0842105", "5778.") + sun +
             star("1.", "0.", "0.", "0.", "1", "1.", "-1.0e40", "5778.") + sun,
         place, old, summary({{1, 5}}, "  1.,   1.") + stypes({{"G2V  ", 5}}, {{"G2V  ", 5}}, 5, 0), "", 0,
         centre_entry(1) + centre_entry(2) + centre_entry(3)},
        {"a colon in the prefix", sun, {"c", "CL:1", "83.75", "-22.5", "1500"}, std::nullopt, "",
         refused("':' separates two names of a star in the planetarium"), 2, std::nullopt},
        {"a double quote in the prefix", sun, {"c", "C\"1", "83.75", "-22.5", "1500"}, old, "",
         refused("'\"' would end every star's name early, and the planetarium would refuse the entries"), 2, old},
        {"a backslash in the prefix", sun, {"c", "C\\1", "83.75", "-22.5", "1500"}, old, "",
         refused("'\\' starts an escape sequence in the planetarium's names"), 2, old},
        {"a tab in the prefix", sun, {"c", "C\t1", "83.75", "-22.5", "1500"}, old, "",
         refused("character code 9 is a control character, not text for a star's name"), 2, old},
        {"a slash in the prefix", sun, {"c", "M67/", "83.75", "-22.5", "1500"}, old, "",
         refused("'/' makes the planetarium's search read a typed name as a path (Sol/Earth), so no star could be "
                 "found by its name"), 2, old},
        {"a prefix that is not UTF-8", sun, {"c", "M\xfc_", "83.75", "-22.5", "1500"}, old, "",
         refused("byte 0xFC (byte 2) is not UTF-8 text: the planetarium would replace it, and no star could be "
                 "found by its name"), 2, old},
        {"UTF-8 is text; a character the 20-byte cut splits is left out whole", sun,
         {"c", "1234567890123456789\xc3\x9c", "83.75", "-22.5", "1500"}, std::nullopt,
         summary({{1, 1}}, "  1.,   1.") + stypes({{"G2V  ", 1}}, {{"G2V  ", 1}}, 1, 0), "", 0, cut_utf8},
        {"a colon past the 20 characters used", sun, {"c", "12345678901234567890:", "83.75", "-22.5", "1500"},
         std::nullopt, summary({{1, 1}}, "  1.,   1.") + stypes({{"G2V  ", 1}}, {{"G2V  ", 1}}, 1, 0), "", 0, named},
        {"a centre name: its barycenter line just before the first entry", dead + sun + sun,
         {"--centre=NGC 2682", "c", "CL1_", "83.75", "-22.5", "1500"}, old,
         summary({{1, 3}}, "  1.,   1.") + stypes({{"G2V  ", 2}, {"dead ", 1}}, {{"dead ", 1}, {"G2V  ", 2}}, 3, 1), "", 0,
         "Barycenter \"NGC 2682\" {RA 0.83750000000000000E+02 Dec -.22500000000000000E+02 Distance "
         "0.15000000000000002E+04 }\n" + centre_entry(1) + centre_entry(2)},
        {"a centre named as a star is, whatever the case", sun, {"--centre", "cl1_000001", "c", "CL1_", "83.75", "-22.5",
         "1500"}, old, "", "orblenz: centre name refused: 'cl1_000001' is a star's name (the prefix followed by digits): "
         "the search would find the star, not the cluster\n", 2, old},
        {"with --binaries, a centre named as a binary's barycenter is", sun, {"--binaries", "--centre", "CL1_b12", "c",
         "CL1_", "83.75", "-22.5", "1500"}, old, "", "orblenz: centre name refused: 'CL1_b12' is a binary's barycenter "
         "name (the prefix, B and digits): the search would find the binary, not the cluster\n", 2, old},
        {"a colon in the centre name", sun, {"--centre", "M:67", "c", "CL1_", "83.75", "-22.5", "1500"}, old, "",
         "orblenz: centre name refused: ':' separates two names of an object in the planetarium\n", 2, old},
        {"a centre name of 101 bytes", sun, {"--centre", std::string(101, 'M'), "c", "CL1_", "83.75", "-22.5", "1500"},
         old, "", "orblenz: centre name refused: it has 101 bytes, more than the 100 a name may have\n", 2, old},
    };
    run_cases(cases);
}

// --faithful: every shining star gets an entry, at the code nearest its own
// temperature on the planetarium's scale, its magnitude from L and BC_V, and
// its Temperature; other stars as before, their magnitude unscaled. The
// check judges the list the same way.
TEST(EndToEnd, Faithful) {
    const std::string mdwarf = star("0.1", "0.", "0.", "0.", "0", "0.01", "9999.9", "3000.");   // M5V, 13.06
    const std::string q50 = star("1.3", "0.", "0.", "0.", "13", "0.", "50.", "0.");             // Q, 50.00
    const std::string q9400 = star("1.3", "0.", "0.", "0.", "13", "0.", "9400.", "0.");         // dark unscaled
    auto with_t = [](std::string e, const std::string& t) { return e.insert(e.size() - 3, " Temperature " + t); };
    std::vector<Case> cases = {
        {"--faithful", sun + mdwarf + q50 + q9400 + sun + q50 + q9400 + sun + q9400 + q9400,
         {"--faithful", "c", "CL1_", "83.75", "-22.5", "1500"}, std::nullopt,
         summary({{0, 1}, {1, 3}, {13, 6}}, "  0.100000001,   1.29999995") +
             stypes({{"G2V  ", 3}, {"M5V  ", 1}, {"Q    ", 2}, {"dead ", 4}},
                    {{"M5V  ", 1}, {"Q    ", 2}, {"G2V  ", 3}, {"dead ", 4}}, 10, 6),
         "", 0,
         with_t(centre_entry(1, "G2V", "   4.82"), "5778") + with_t(centre_entry(2, "M5V", "  13.06"), "3000") +
             centre_entry(3, "Q", "  50.00") + with_t(centre_entry(4, "G2V", "   4.82"), "5778") +
             centre_entry(5, "Q", "  50.00") + with_t(centre_entry(6, "G2V", "   4.82"), "5778")},
    };
    run_cases(cases);
    std::string dir = scratch_dir();
    write_file(dir + "/c.txt", sun + mdwarf + q9400);
    RunResult r = run_orblenz(dir, {"--check", "--faithful", "c"});
    EXPECT_EQ(r.out, "c.txt: 3 lines, 3 stars: 0 errors, 0 warnings\n");
    EXPECT_EQ(r.status, 0);
    r = run_orblenz(dir, {"--check", "c"});
    EXPECT_EQ(r.out, "c.txt: note: 1 star that shines (types 0-12, T > 0, L > 0) has a magnitude that makes it dark "
                     "and gets no entry: McLuster writes 9999.9 for stars it has no colours for (below 3000 K or above "
                     "55000 K). --faithful gives that star an entry\n"
                     "c.txt: 3 lines, 3 stars: 0 errors, 0 warnings, 1 note (no magnitude)\n");
}

// --members: the member table's line for each star line, in list order,
// until the line the conversion refuses; a table's comment lines counted.
TEST(EndToEnd, MemberTable) {
    const std::string head = "line\tentry\tcode\ttype\tmass\tL\tM_V\tT\tx\ty\tz\tRA\tDec\tDistance\tAbsMag\n";
    const std::string at_centre = "0.83750000000000000E+02\t-.22500000000000000E+02\t0.15000000000000002E+04";
    const std::string far = star("1.", "1.0e999", "0.", "0.", "1", "1.", "5.0842105", "5778.");
    const std::string odd = star("1.", "0.", "0.", "0.", "123", "1.", "5.0842105", "5778.");
    const std::string refused = star("1.", "0.", "0.", "0.", "1", "1.", "4.x", "5778.");
    const std::string list = sun + dead + far + odd + refused + sun;
    // The star's line number, then what the table holds of it.
    const std::vector<std::pair<int, std::string>> lines = {
        {1, "CL1_000001\tG2V\t1\t1\t1\t5.0842104\t5778\t0\t0\t0\t" + at_centre + "\t4.83"},
        {2, "\tdead\t1\t1\t1\t9500\t5000\t0\t0\t0\t\t\t\t"},
        {3, "\tG2V\t1\t1\t1\t5.0842104\t5778\tinf\t0\t0\t\t\t\t"},
        {4, "CL1_000002\tG2V\t1\t1\t1\t5.0842104\t5778\t0\t0\t0\t" + at_centre + "\t4.83"},
    };
    for (bool table : {false, true}) {
        std::string dir = scratch_dir(), want = head;
        write_file(dir + "/c.txt", (table ? "# a comment\n" : "") + list);
        write_file(dir + "/c.tsv", times("an old line\n", 1000));
        for (auto& [n, rest] : lines) want += std::to_string(n + table) + "\t" + rest + "\n";
        std::vector<std::string> args = {"--members", "c", "CL1_", "83.75", "-22.5", "1500"};
        if (table) args.insert(args.begin(), "--table");
        RunResult r = run_orblenz(dir, args);
        EXPECT_EQ(r.out, " nc =  3\n") << table;
        EXPECT_EQ(r.err, fmt_report("(f20.10)")) << table;
        EXPECT_EQ(r.status, 134) << table;
        EXPECT_EQ(read_file(dir + "/c.stc"), centre_entry(1) + centre_entry(2)) << table;
        EXPECT_EQ(read_file(dir + "/c.tsv"), want) << table;
    }
}

// The base name is used whole: a long one names its own list and catalogue,
// never those of a neighbour whose name is its first 20 characters.
TEST(EndToEnd, LongBaseName) {
    const std::string g2v = summary({{1, 1}}, "  1.,   1.") + stypes({{"G2V  ", 1}}, {{"G2V  ", 1}}, 1, 0);
    for (const std::string& base : {std::string("plm_N1000_Z0.02_e1000"), std::string(100, 'b')}) {
        const std::string near = base.substr(0, 20), old = " old content\n";
        std::string dir = scratch_dir();
        write_file(dir + "/" + base + ".txt", sun);
        write_file(dir + "/" + near + ".txt", dead + dead);
        write_file(dir + "/" + near + ".stc", old);
        RunResult r = run_orblenz(dir, {base, "CL1_", "83.75", "-22.5", "1500"});
        EXPECT_EQ(r.out, g2v) << base;
        EXPECT_EQ(r.err, "") << base;
        EXPECT_EQ(r.status, 0) << base;
        EXPECT_EQ(read_file(dir + "/" + base + ".stc"), centre_entry(1)) << base;
        EXPECT_EQ(read_file(dir + "/" + near + ".stc"), old) << base;
        EXPECT_EQ(read_file(dir + "/" + near + ".txt"), dead + dead) << base;
        r = run_orblenz(dir, {"--check", base});
        EXPECT_EQ(r.out, base + ".txt: 1 lines, 1 stars: 0 errors, 0 warnings\n") << base;
        EXPECT_EQ(r.status, 0) << base;
    }
}
