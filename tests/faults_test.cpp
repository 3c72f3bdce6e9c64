// Faults from outside, end to end, one case per fault: a signal, a list cut
// off, closed standard descriptors, a locked catalogue, a FIFO catalogue.

#include "test_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A sun-like star at the centre (G2V, AbsMag 4.83), n times, and entries
// from..to under the placement 83.75 -22.5 1500 (144 characters each).
const std::string sun = "1.\t0.\t0.\t0.\t0.\t0.\t0.\t0.\t1\t0.\t0.\t0.\t1.\t0.\t0.\t5.0842105\t0.\t0.\t5778.\t0.\n";
std::string suns(int n) { std::string s; while (n-- > 0) s += sun; return s; }
std::string entries(int from, int to) {
    std::string s;
    for (int n = from; n <= to; ++n) {
        std::string num = std::to_string(n);
        s += " Star \"CL1_" + std::string(6 - num.size(), '0') + num + "\" {RA 0.83750000000000000E+02 Dec " +
             "-.22500000000000000E+02 Distance 0.15000000000000002E+04 SpectralType \"G2V\" AbsMag    4.83 }\n";
    }
    return s;
}
const std::vector<std::string> place = {"c", "CL1_", "83.75", "-22.5", "1500"};

std::string dir_with(const std::string& list) { std::string d = scratch_dir(); write_file(d + "/c.txt", list); return d; }

// A run still going 3 s after its signal is killed (and fails its status).
void end_soon(int pid) {
    siginfo_t si{};
    for (int i = 0; i < 300 && !si.si_pid; ++i)
        if (waitid(P_PID, static_cast<id_t>(pid), &si, WEXITED | WNOHANG | WNOWAIT) == 0 && !si.si_pid) usleep(10000);
    kill(pid, SIGKILL);
}

}  // namespace

// A file size limit at its default action: SIGXFSZ, and the entries that fit.
TEST(Faults, SignalEndsTheRunByItself) {
    RunOptions opt;
    opt.fsize_limit = 200000;
    std::string dir = dir_with(suns(5000));
    RunResult r = run_orblenz(dir, place, opt);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(r.status, 128 + SIGXFSZ);
    EXPECT_TRUE(read_file(dir + "/c.stc") == entries(1, 200000 / 144)) << read_file(dir + "/c.stc").size();

    // With the member table: both files end at the same star, whichever
    // reaches the limit first (the catalogue, with suns only; the table,
    // with a dark star after every sun). Each keeps its whole lines within
    // the limit, then the two are cut back to the last star both hold.
    const std::string dark = "1.\t0.\t0.\t0.\t0.\t0.\t0.\t0.\t1\t0.\t0.\t0.\t1.\t0.\t0.\t9500.\t0.\t0.\t5000.\t0.\n";
    for (bool with_dark : {false, true}) {
        std::string list, tsv = "line\tentry\tcode\ttype\tmass\tL\tM_V\tT\tx\ty\tz\tRA\tDec\tDistance\tAbsMag\n";
        std::vector<int> entry_of{0};  // the entry number at the end of each line of the table
        for (int n = 1, e = 0; n <= 5000; ++n) {
            const bool is_sun = !with_dark || n % 2 == 1;
            list += is_sun ? sun : dark;
            if (is_sun) ++e;
            std::string name = is_sun ? entries(e, e).substr(7, 10) : "";
            tsv += std::to_string(n) + "\t" + name +
                   (is_sun ? "\tG2V\t1\t1\t1\t5.0842104\t5778\t0\t0\t0\t0.83750000000000000E+02\t"
                             "-.22500000000000000E+02\t0.15000000000000002E+04\t4.83\n"
                           : "\tdead\t1\t1\t1\t9500\t5000\t0\t0\t0\t\t\t\t\n");
            entry_of.push_back(e);
        }
        std::size_t lines = std::count(tsv.begin(), tsv.begin() + 200000, '\n') - 1;  // whole ones within the limit
        while (entry_of[lines] > 200000 / 144) --lines;
        dir = dir_with(list);
        r = run_orblenz(dir, {"--members", "c", "CL1_", "83.75", "-22.5", "1500"}, opt);
        EXPECT_EQ(r.status, 128 + SIGXFSZ) << with_dark;
        std::size_t end = 0;
        for (std::size_t k = 0; k <= lines; ++k) end = tsv.find('\n', end) + 1;
        EXPECT_TRUE(read_file(dir + "/c.tsv") == tsv.substr(0, end)) << with_dark << " " << lines;
        EXPECT_TRUE(read_file(dir + "/c.stc") == entries(1, entry_of[lines])) << with_dark << " " << entry_of[lines];
    }
}

// The same with binaries: barycenter lines and orbiting entries, and the
// member table's last line with an entry names the catalogue's last entry.
TEST(Faults, SignalEndsTheRunByItselfWithBinaries) {
    std::string dir = scratch_dir(), tools = std::string(ORBLENZ_BUILD_DIR) + "/tools/";
    ASSERT_EQ(std::system((tools + "gen_cluster --table --binaries 2000 3 >" + dir + "/c.txt").c_str()), 0);
    RunOptions opt;
    opt.fsize_limit = 100000;
    RunResult r = run_orblenz(dir, {"--table", "--binaries", "--members", "c", "P_", "10", "20", "3000"}, opt);
    EXPECT_EQ(r.status, 128 + SIGXFSZ);
    std::string stc = read_file(dir + "/c.stc"), tsv = read_file(dir + "/c.tsv"), last;
    for (std::size_t p = tsv.find('\n') + 1, b; p < tsv.size(); p = tsv.find('\n', p) + 1)
        if (tsv[b = tsv.find('\t', p) + 1] != '\t') last = tsv.substr(b, tsv.find('\t', b) - b);
    std::size_t s = stc.rfind(" Star \"") + 7;
    EXPECT_EQ(last, stc.substr(s, stc.find('"', s) - s));
}

TEST(Faults, ListCutOffInsideALine) {
    const struct { const char* name; std::string list; std::string stc; } cases[] = {
        {"12 bytes of line 4", suns(3) + sun.substr(0, 12), entries(1, 3)},
        {"an only line of 18 columns", sun.substr(0, sun.find("\t5778.")), "none"},
    };
    for (auto& c : cases) {
        std::string dir = dir_with(c.list);
        RunResult r = run_orblenz(dir, place);
        EXPECT_EQ(r.out + r.err, "read: the list ends inside a line\napparent state: unit 3 named c.txt\n"
                                 "last format: (a)\nlately reading sequential formatted external IO\n") << c.name;
        EXPECT_EQ(r.status, 134) << c.name;
        EXPECT_EQ(file_exists(dir + "/c.stc") ? read_file(dir + "/c.stc") : "none", c.stc) << c.name;
    }
}

TEST(Faults, ClosedStandardDescriptorsTakeNoReportIntoTheCatalogue) {
    std::string dir = dir_with(suns(3) + "1.5x\n" + sun);
    RunOptions opt;
    opt.closed_out_err = true;
    EXPECT_EQ(run_orblenz(dir, place, opt).status, 134);
    EXPECT_EQ(read_file(dir + "/c.stc"), entries(1, 3));
}

TEST(Faults, LockedCatalogueIsLeftAlone) {
    std::string dir = dir_with(suns(3));
    write_file(dir + "/c.stc", " another run's entry\n");
    int fd = open((dir + "/c.stc").c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    RunResult r = run_orblenz(dir, place);
    close(fd);
    EXPECT_EQ(r.out + r.err, "open: Resource temporarily unavailable\napparent state: unit 4 named c.stc\n"
                             "last format: (d20.15)\nlately reading sequential formatted external IO\n");
    EXPECT_EQ(r.status, 134);
    EXPECT_EQ(read_file(dir + "/c.stc"), " another run's entry\n");
}

// Its reader gets every entry; a signal ends a run that waits for a reader,
// or for one that does not read, and what went into the pipe is whole entries.
TEST(Faults, FifoCatalogueIsAPipeToItsReader) {
    std::string dir = dir_with(suns(3));
    ASSERT_EQ(mkfifo((dir + "/c.stc").c_str(), 0644), 0);
    int pid = start_orblenz(dir, place);
    EXPECT_EQ(read_file(dir + "/c.stc"), entries(1, 3));
    EXPECT_EQ(finish_orblenz(dir, pid).status, 0);
    const struct { int sig; const char* line; int status; bool reader; } cases[] = {
        {SIGINT, "Interrupt\n", 1, false}, {SIGTERM, "Killed\n", 1, true}, {SIGHUP, "", 128 + SIGHUP, true}};
    for (auto& c : cases) {
        dir = dir_with(suns(2000));
        ASSERT_EQ(mkfifo((dir + "/c.stc").c_str(), 0644), 0);
        pid = start_orblenz(dir, place);
        int fd = c.reader ? open((dir + "/c.stc").c_str(), O_RDONLY) : -1;
        usleep(300000);
        kill(pid, c.sig);
        end_soon(pid);
        RunResult r = finish_orblenz(dir, pid);
        EXPECT_EQ(r.err, c.line);
        EXPECT_EQ(r.status, c.status);
        std::string got(2000 * 144, '\0');
        got.resize(fd < 0 ? 0 : static_cast<std::size_t>(std::max<ssize_t>(0, read(fd, &got[0], got.size()))));
        EXPECT_TRUE(fd < 0 || (got.size() > 0 && got == entries(1, static_cast<int>(got.size() / 144)))) << got.size();
        close(fd);
    }
}
