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
// Run orblenz with `args` in directory `dir`; stdin is /dev/null.
RunResult run_orblenz(const std::string& dir, const std::vector<std::string>& args);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
