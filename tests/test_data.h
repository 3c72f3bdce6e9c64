// Helpers for the table-driven tests: reading the vector tables in
// tests/data and running the orblenz binary in a scratch directory.
#pragma once

#include <string>
#include <vector>

// One row of a tab-separated table, cells as written (quotes kept).
using Row = std::vector<std::string>;

// All rows of tests/data/<name> after the heading line.
std::vector<Row> load_table(const std::string& name);
// A quoted cell ("...") with its escapes \t \0 \xHH \n decoded.
std::string unquote(const std::string& cell);
// A C99 hexadecimal floating text (as printf %a writes it) read exactly.
double hexreal(const std::string& cell);

// The result of one run of the binary.
struct RunResult {
    std::string out, err;
    int status;   // exit status, or 128 + signal number
};
// A fresh empty directory under the system's temporary directory.
std::string scratch_dir();
// How to run the binary besides its arguments.
struct RunOptions {
    int uid = -1;                 // run as this user (needs root), -1: as we are
    std::string stdout_path;      // standard output goes here ("" : captured)
    bool ignore_quit = false;     // start with SIGQUIT ignored
    bool no_threads = false;      // no thread can be started (RLIMIT_NPROC 0; as root only with uid)
    long fsize_limit = -1;        // RLIMIT_FSIZE in bytes, -1: none set
    bool closed_out_err = false;  // start with descriptors 1 and 2 closed
};
// Run orblenz with `args` in directory `dir`; stdin is /dev/null. Every
// catalogue (*.stc) the run wrote there is then held to the planetarium's
// grammar (stc_reader.h): a line that would not load is a test failure.
RunResult run_orblenz(const std::string& dir, const std::vector<std::string>& args,
                      const RunOptions& opt = RunOptions());
// Start orblenz without waiting; returns its pid. Its stdout and stderr go
// to dir/.stdout and dir/.stderr; finish_orblenz waits and collects them.
int start_orblenz(const std::string& dir, const std::vector<std::string>& args,
                  const RunOptions& opt = RunOptions());
RunResult finish_orblenz(const std::string& dir, int pid);
// The uid of an unprivileged user when we are root, else -1.
int unprivileged_uid();
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
