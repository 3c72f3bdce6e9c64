// What the user reads: the examples of the README and the guide pages are
// the program's real output, their links resolve, the manual page formats
// cleanly, and installing puts the binary, the manual page, the picture tool
// and the guide pages under the prefix.

#include "test_data.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string src(const std::string& rel) { return std::string(ORBLENZ_SOURCE_DIR) + "/" + rel; }

// The indented block that follows `marker` in a page, indentation removed.
std::string page_block(const std::string& page, const std::string& marker) {
    std::string text = read_file(src(page));
    std::size_t p = text.find(marker);
    if (p == std::string::npos) return "";
    p = text.find('\n', p) + 1;
    while (p < text.size() && text[p] == '\n') ++p;  // blank lines before the block
    std::string block;
    while (p < text.size() && text.compare(p, 4, "    ") == 0) {
        std::size_t e = text.find('\n', p);
        block += text.substr(p + 4, e - p - 4) + "\n";
        p = e + 1;
    }
    return block;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The guide: README.md and every doc/*.md, as paths from the source folder.
std::vector<std::string> guide_pages() {
    std::vector<std::string> pages{"README.md"};
    for (const auto& e : std::filesystem::directory_iterator(src("doc")))
        if (e.path().extension() == ".md") pages.push_back("doc/" + e.path().filename().string());
    return pages;
}

// The anchors GitHub gives a page's headings: lower case, everything but
// letters, digits, blanks, '-' and '_' dropped (a byte beyond ASCII is taken
// for part of a letter), blanks made '-'; a repeated anchor gets -1, -2, ...
std::set<std::string> anchors(const std::string& page) {
    std::set<std::string> found;
    std::map<std::string, int> seen;
    for (const std::string& line : lines_of(read_file(src(page)))) {
        std::size_t level = line.find_first_not_of('#');
        if (level == 0 || level > 6 || level == std::string::npos || line[level] != ' ') continue;
        std::string a;
        for (char c : line.substr(level + 1)) {
            unsigned char u = static_cast<unsigned char>(c);
            if (u >= 0x80 || std::isalnum(u) || c == '-' || c == '_') a += static_cast<char>(std::tolower(u));
            else if (c == ' ') a += '-';
        }
        int n = seen[a]++;
        found.insert(n == 0 ? a : a + "-" + std::to_string(n));
    }
    return found;
}

// The targets of a page's Markdown links and images, outside code.
std::vector<std::string> link_targets(const std::string& page) {
    std::vector<std::string> targets;
    std::string text;  // the page without its indented code blocks and code spans
    bool in_code_block = false, after_blank = true;
    for (const std::string& line : lines_of(read_file(src(page)))) {
        if (line.empty()) { after_blank = true; text += "\n"; continue; }
        bool indented = line.compare(0, 4, "    ") == 0;
        in_code_block = indented && (in_code_block || after_blank);
        after_blank = false;
        if (!in_code_block) text += line + "\n";
    }
    std::string plain;
    bool in_span = false;
    for (char c : text)
        if (c == '`') in_span = !in_span;
        else if (!in_span) plain += c;
    for (std::size_t p = plain.find("]("); p != std::string::npos; p = plain.find("](", p + 2))
        targets.push_back(plain.substr(p + 2, plain.find(')', p) - p - 2));
    return targets;
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

// Every `$ command` of the README's quick start runs as written in a copy of
// examples/ beside the build, one after the other, and prints exactly the
// lines shown under it; the planetarium itself (celestia) is not run here.
TEST(Docs, QuickStartRunsAsShown) {
    std::string readme = read_file(src("README.md"));
    std::size_t begin = readme.find("\n## Quick start\n");
    ASSERT_NE(begin, std::string::npos);
    std::vector<std::pair<std::string, std::string>> shown;  // command, its output
    for (const std::string& line : lines_of(readme.substr(begin + 1, readme.find("\n## ", begin + 1) - begin))) {
        if (line.compare(0, 6, "    $ ") == 0) shown.push_back({line.substr(6), ""});
        else if (line.compare(0, 4, "    ") == 0 && !shown.empty()) shown.back().second += line.substr(4) + "\n";
        else if (!line.empty() && !shown.empty() && !shown.back().first.empty()) shown.push_back({"", ""});
    }
    std::string dir = scratch_dir();
    ASSERT_EQ(std::system(("cp -R '" + src("examples") + "' '" + dir + "/examples' && ln -s '" +
                           ORBLENZ_BUILD_DIR + "' '" + dir + "/build'").c_str()), 0);
    bool generator_command = false;
    for (const auto& [command, output] : shown) {
        if (command.empty() || command.compare(0, 9, "celestia ") == 0) continue;
        generator_command |= command.find("--table --faithful --binaries --members --centre ") != std::string::npos;
        std::string sh = "cd '" + dir + "/examples' && { " + command + "; } >'" + dir + "/out' 2>'" + dir + "/err'";
        int status = std::system(sh.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        EXPECT_EQ(read_file(dir + "/out"), output) << command;
        EXPECT_EQ(read_file(dir + "/err"), "") << command;
    }
    EXPECT_TRUE(generator_command);
}

// Every relative link of the README and the guide pages names a file that
// exists and, after a '#', a heading of that page; the README links every
// page, and every page the README.
TEST(Docs, GuideLinksResolve) {
    std::vector<std::string> pages = guide_pages();
    std::set<std::string> from_readme;
    for (const std::string& page : pages) {
        std::filesystem::path folder = std::filesystem::path(page).parent_path();
        bool to_readme = false;
        for (const std::string& target : link_targets(page)) {
            if (target.find("://") != std::string::npos) continue;
            std::size_t hash = target.find('#');
            std::string file = target.substr(0, hash);
            std::string to = file.empty() ? page : (folder / file).lexically_normal().string();
            EXPECT_TRUE(file_exists(src(to))) << page << ": " << target;
            if (hash != std::string::npos) {
                EXPECT_EQ(anchors(to).count(target.substr(hash + 1)), 1u) << page << ": " << target;
            }
            if (page == "README.md") from_readme.insert(to);
            to_readme |= to == "README.md";
        }
        if (page != "README.md") {
            EXPECT_TRUE(to_readme) << page << " has no link to the README";
            EXPECT_EQ(from_readme.count(page), 1u) << "the README has no link to " << page;
        }
    }
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
    // The guide pages, each named in the manual page's source as installed.
    std::string source = read_file(src("doc/orblenz.1"));
    for (std::string page : guide_pages()) {
        EXPECT_TRUE(file_exists(dir + "/x/share/doc/orblenz/" + page)) << page;
        for (std::size_t p = page.find('-'); p != std::string::npos; p = page.find('-', p + 2)) page.insert(p, "\\");
        EXPECT_NE(source.find(".I " + page + "\n"), std::string::npos) << page;
    }
    EXPECT_TRUE(file_exists(dir + "/x/share/doc/orblenz/doc/m67.png"));
}
