#include "test_data.h"

#include "stc_reader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/resource.h>
#include <unistd.h>

std::vector<Row> load_table(const std::string& name) {
    std::ifstream in(std::string(ORBLENZ_TEST_DATA) + "/" + name);
    if (!in) throw std::runtime_error("missing table " + name);
    std::vector<Row> rows;
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        Row r;
        std::size_t p = 0;
        for (;;) {
            std::size_t t = line.find('\t', p);
            r.push_back(line.substr(p, t == std::string::npos ? std::string::npos : t - p));
            if (t == std::string::npos) break;
            p = t + 1;
        }
        rows.push_back(r);
    }
    return rows;
}

std::string unquote(const std::string& cell) {
    std::string s = cell;
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) { out += s[i]; continue; }
        char c = s[++i];
        if (c == 't') out += '\t';
        else if (c == '0') out += '\0';
        else if (c == 'n') out += '\n';
        else if (c == 'x') { out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)); i += 2; }
        else { out += '\\'; out += c; }
    }
    return out;
}

double hexreal(const std::string& cell) { return std::strtod(cell.c_str(), nullptr); }

std::string scratch_dir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orblenz-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    return buf.data();
}

namespace {

// The catalogues (regular *.stc files) in a directory, by path.
std::map<std::string, std::string> catalogues(const std::string& dir) {
    std::map<std::string, std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".stc" && e.is_regular_file()) found[e.path()] = read_file(e.path());
    return found;
}

// What each directory's catalogues held before the run now under way.
std::map<std::string, std::map<std::string, std::string>> before_run;

// Every catalogue the run wrote must load in the planetarium, line by line.
// One it left as it was holds no entry of this run and is not looked at.
// Only a run ended by SIGKILL, which no program can catch, may leave a last
// line cut inside a write, and then only a beginning of the entry due.
void expect_loadable(const std::string& dir, bool killed) {
    const auto& before = before_run[dir];
    for (const auto& [path, text] : catalogues(dir)) {
        auto old = before.find(path);
        if (old != before.end() && old->second == text) continue;
        std::size_t whole = text.size();
        if (killed && !text.empty() && text.back() != '\n') {
            whole = text.rfind('\n') + 1;  // 0 when there is no line feed
            if (!stc_reader::begins_entry_due(text.substr(0, whole), text.substr(whole)))
                ADD_FAILURE() << path << ": the cut last line is not a beginning of the entry due: " << text.substr(whole);
        }
        std::size_t line_no;
        if (const char* fault = stc_reader::catalogue_fault(text.substr(0, whole), line_no))
            ADD_FAILURE() << path << " line " << line_no << " would not load: " << fault;
    }
    before_run.erase(dir);
}

}  // namespace

int start_orblenz(const std::string& dir, const std::vector<std::string>& args, const RunOptions& opt) {
    before_run[dir] = catalogues(dir);
    std::string outp = opt.stdout_path.empty() ? dir + "/.stdout" : opt.stdout_path;
    std::string errp = dir + "/.stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = open("/dev/null", O_RDONLY);
        int o = open(outp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(errp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0); dup2(o, 1); dup2(e, 2);
        signal(SIGQUIT, opt.ignore_quit ? SIG_IGN : SIG_DFL);
        signal(SIGINT, SIG_DFL);
        if (opt.uid >= 0 && (setgid(static_cast<gid_t>(opt.uid)) != 0 || setuid(static_cast<uid_t>(opt.uid)) != 0)) _exit(126);
        if (opt.no_threads) {
            // LeakSanitizer needs a thread of its own at exit: not here.
            const char* asan = getenv("ASAN_OPTIONS");
            std::string with = std::string(asan ? asan : "") + ":detect_leaks=0";
            setenv("ASAN_OPTIONS", with.c_str(), 1);
            struct rlimit none = {0, 0};
            if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(125);
        }
        struct rlimit fsize = {static_cast<rlim_t>(opt.fsize_limit), static_cast<rlim_t>(opt.fsize_limit)};
        if (opt.fsize_limit >= 0 && setrlimit(RLIMIT_FSIZE, &fsize) != 0) _exit(124);
        if (opt.closed_out_err) close(1), close(2);
        std::vector<char*> av;
        av.push_back(const_cast<char*>(ORBLENZ_BIN));
        for (auto& a : args) av.push_back(const_cast<char*>(a.c_str()));
        av.push_back(nullptr);
        execv(ORBLENZ_BIN, av.data());
        _exit(127);
    }
    return pid;
}

RunResult finish_orblenz(const std::string& dir, int pid) {
    int st = 0;
    waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = read_file(dir + "/.stdout");
    r.err = read_file(dir + "/.stderr");
    unlink((dir + "/.stdout").c_str());
    unlink((dir + "/.stderr").c_str());
    expect_loadable(dir, r.status == 128 + SIGKILL);
    return r;
}

RunResult run_orblenz(const std::string& dir, const std::vector<std::string>& args, const RunOptions& opt) {
    return finish_orblenz(dir, start_orblenz(dir, args, opt));
}

int unprivileged_uid() { return geteuid() == 0 ? 65534 : -1; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}
