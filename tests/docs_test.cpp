// What the user reads: the worked example of the guide is the program's
// real output, the manual page formats cleanly, and installing puts the binary
// and the manual page (and the picture tool) under the prefix.

#include "test_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string src(const std::string& rel) { return std::string(ORBLENZ_SOURCE_DIR) + "/" + rel; }

// The indented block that follows `marker` in a page, indentation removed.
std::string page_block(const std::string& page, const std::string& marker) {
    std::string readme = read_file(src(page));
    std::size_t p = readme.find(marker);
    if (p == std::string::npos) return "";
    p = readme.find('\n', p) + 1;
    while (p < readme.size() && readme[p] == '\n') ++p;  // blank lines before the block
    std::string block;
    while (p < readme.size() && readme.compare(p, 4, "    ") == 0) {
        std::size_t e = readme.find('\n', p);
        block += readme.substr(p + 4, e - p - 4) + "\n";
        p = e + 1;
    }
    return block;
}

}  // namespace

TEST(Docs, WorkedExampleIsRealOutput) {
    std::string dir = scratch_dir();
    write_file(dir + "/trio.txt", read_file(src("examples/trio.txt")));
    RunResult r = run_orblenz(dir, {"trio", "T_", "132.825", "11.8", "2700"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, page_block("doc/run.md", "$ cd examples && ../build/orblenz trio T_ 132.825 11.8 2700"));
    EXPECT_EQ(read_file(dir + "/trio.stc"), page_block("doc/run.md", "and `trio.stc` holds:"));
}

TEST(Docs, ManualPageAndInstall) {
    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
    std::string dir = scratch_dir();
    std::string cmd = "MANWIDTH=80 man --warnings -l '" + src("doc/orblenz.1") + "' >'" + dir + "/page' 2>'" + dir + "/warn'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(read_file(dir + "/warn"), "");
    std::string page = read_file(dir + "/page");
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "FILES", "EXIT STATUS", "EXAMPLES"})
        EXPECT_NE(page.find(std::string("\n") + section + "\n"), std::string::npos) << section;

    std::string inst = "cmake --install '" + std::string(ORBLENZ_BUILD_DIR) + "' --prefix '" + dir + "/x' >/dev/null";
    ASSERT_EQ(std::system(inst.c_str()), 0);
    EXPECT_TRUE(file_exists(dir + "/x/bin/orblenz"));
    EXPECT_TRUE(file_exists(dir + "/x/bin/orblenz-plot"));
    EXPECT_TRUE(file_exists(dir + "/x/share/man/man1/orblenz.1"));
}
