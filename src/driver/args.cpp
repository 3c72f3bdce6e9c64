// The command line: the options, then five positional arguments: the base
// name whole, the other four as 20-character field texts.

#include "driver.h"

#include "input.h"
#include "textio.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#ifndef ORBLENZ_VERSION
#error "the build defines ORBLENZ_VERSION"
#endif

namespace {

const char help_text[] =
    "Usage: orblenz [--table] <base> <prefix> <RA> <Dec> <Distance>\n"
    "       orblenz --check [--table] <base>\n"
    "\n"
    "Converts the member list of a simulated star cluster, <base>.txt (one star\n"
    "per line), into the star catalogue <base>.stc that a 3D planetarium such as\n"
    "Celestia loads, and prints a report of the evolution types, the mass range\n"
    "and the spectral types.\n"
    "\n"
    "Arguments:\n"
    "  base      the list is <base>.txt, the catalogue <base>.stc\n"
    "  prefix    star names are the prefix and the entry number: M67_000001\n"
    "            (UTF-8 text of at most 20 bytes, without \" \\ : / or control\n"
    "            characters)\n"
    "  RA Dec    right ascension and declination of the cluster centre, degrees\n"
    "  Distance  distance of the cluster centre, light-years\n"
    "\n"
    "Options:\n"
    "  --check    check <base>.txt for lines the conversion would read otherwise\n"
    "             than meant (numbers without a decimal point, empty columns, cut\n"
    "             fields, ...); one finding per line, no file written\n"
    "  --table    read the list as a cluster generator's table: lines beginning\n"
    "             with # are comments, any run of blanks and tabs separates columns;\n"
    "             a star line must reach column 19, the temperature\n"
    "  -h, --help print this help and exit\n"
    "  --version  print the version and exit\n"
    "  --         end of the options (for a base name beginning with -)\n"
    "\n"
    "Exit status: 0 success; 1 interrupted; 2 usage error; 134 the fatal report\n"
    "(a list or catalogue that cannot be read or written, a column that is not a\n"
    "number, a table's star line short of column 19). With --check: 0 nothing\n"
    "found or notes only, 1 warnings or errors, 2 usage error or a list that\n"
    "cannot be read.\n"
    "\n"
    "More: the manual page (man orblenz) and the README (README.md beside the\n"
    "sources, share/doc/orblenz/README.md where orblenz is installed).\n";

// "orblenz: " and the message on standard error, then exit status 2.
[[noreturn]] void usage_error(const char* msg) {
    out_flush();
    char line[512];
    int n = std::snprintf(line, sizeof line, "orblenz: %s\n", msg);
    if (n > static_cast<int>(sizeof line) - 1) n = sizeof line - 1;
    if (::write(2, line, static_cast<std::size_t>(n)) < 0) {
        // Nowhere to say it; the status tells.
    }
    std::exit(2);
}

// Text printed on request: standard output, exit status 0 (or the fatal
// "write" report when standard output cannot take it).
[[noreturn]] void print_and_exit(const char* text) {
    out_write(text, std::strlen(text));
    out_flush();
    std::exit(0);
}

int kept_argc = 0;
char** kept_argv = nullptr;

// Argument k (1-based) as a field text: its first 20 characters, padded with
// blanks; a missing argument gives 20 blanks.
void get_arg(int k, ArgText& s) {
    std::memset(s, ' ', sizeof s);
    if (k >= kept_argc || !kept_argv[k]) return;
    std::size_t n = std::strlen(kept_argv[k]);
    std::memcpy(s, kept_argv[k], n < sizeof s ? n : sizeof s);
}

bool all_blank(const ArgText& s) {
    for (char c : s)
        if (c != ' ') return false;
    return true;
}

[[noreturn]] void usage() {
    con_begin();
    con_text("?ORBLENZ -- not enough arguments.");
    con_end();
    con_begin();
    con_text(" 5 required: filename prefix RA Dec Distance");
    con_end();
    // A usage error is a failure: scripts must not carry on without a catalogue.
    stop_status(2);
}

// The length of the UTF-8 sequence that begins at s[0] (n bytes readable):
// 1 to 4 for a well-formed character (no overlong form, no surrogate, at
// most U+10FFFF), 0 for bytes that are not one.
int utf8_len(const unsigned char* s, std::size_t n) {
    const unsigned char c = s[0];
    if (c < 0x80) return 1;
    int len;
    unsigned lo = 0x80, hi = 0xBF;  // the bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n < static_cast<std::size_t>(len) || s[1] < lo || s[1] > hi) return 0;
    for (int i = 2; i < len; ++i)
        if (s[i] < 0x80 || s[i] > 0xBF) return 0;
    return len;
}

[[noreturn]] void prefix_refused(const char* what) {
    std::fprintf(stderr, "orblenz: star-name prefix refused: %s\n", what);
    stop_status(2);
}

// The star-name prefix goes between double quotes into every entry, where
// the planetarium's loader reads it as a string and its search finds a star
// by it: a character that string cannot carry as itself, or that the search
// reads otherwise, would cost the catalogue its entries or its names. The
// first such character of the part of the prefix in use (`prefix`, cut from
// the argument `arg`) ends the run before any file is opened, with one line
// on standard error and exit status 2. The text must be UTF-8: the
// planetarium puts a replacement character in place of a byte that is not,
// and the name can no longer be typed. A character that the 20-byte cut
// splits is left out of the prefix whole.
void check_prefix(ArgText& prefix, const char* arg) {
    const int n = str_len(prefix, sizeof prefix);
    const std::size_t argn = std::strlen(arg);
    for (int i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(prefix[i]);
        const char* why = c == '"'    ? "'\"' would end every star's name early, and the planetarium would refuse the entries"
                          : c == '\\' ? "'\\' starts an escape sequence in the planetarium's names"
                          : c == ':'  ? "':' separates two names of a star in the planetarium"
                          : c == '/'  ? "'/' makes the planetarium's search read a typed name as a path "
                                        "(Sol/Earth), so no star could be found by its name"
                                      : nullptr;
        if (why) prefix_refused(why);
        if (c < 32 || c == 127) {
            char msg[96];
            std::snprintf(msg, sizeof msg, "character code %d is a control character, not text for a star's name", c);
            prefix_refused(msg);
        }
        const int len = utf8_len(reinterpret_cast<const unsigned char*>(arg) + i, argn - static_cast<std::size_t>(i));
        if (len == 0) {
            char msg[160];
            std::snprintf(msg, sizeof msg,
                          "byte 0x%02X (byte %d) is not UTF-8 text: the planetarium would replace it, and no star "
                          "could be found by its name", c, i + 1);
            prefix_refused(msg);
        }
        if (i + len > static_cast<int>(sizeof prefix)) {
            std::memset(prefix + i, ' ', sizeof prefix - static_cast<std::size_t>(i));
            break;
        }
        i += len;
    }
}

}  // namespace

Settings parse_command_line(int argc, char** argv) {
    Settings s;
    int i = 1;
    for (; i < argc; ++i) {
        const char* a = argv[i];
        // The first argument that is no option ends them; "-" alone is no option.
        if (a[0] != '-' || a[1] == '\0') break;
        if (std::strcmp(a, "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(a, "--check") == 0) s.check = true;
        else if (std::strcmp(a, "--table") == 0) s.table = true;
        else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) print_and_exit(help_text);
        else if (std::strcmp(a, "--version") == 0) print_and_exit("orblenz " ORBLENZ_VERSION "\n");
        else {
            char msg[320];
            std::snprintf(msg, sizeof msg, "unknown option '%.256s' (orblenz --help lists the options)", a);
            usage_error(msg);
        }
    }
    // get_args counts the arguments after the options from 1.
    keep_args(argc - i + 1, argv + i - 1);
    return s;
}

// Argument 1 whole, its trailing blanks removed; false when it is missing
// or blank. A name too long for any file is a usage error.
bool get_base_name(BaseName& base) {
    base[0] = '\0';
    if (1 >= kept_argc || !kept_argv[1]) return false;
    std::size_t n = std::strlen(kept_argv[1]);
    while (n > 0 && kept_argv[1][n - 1] == ' ') --n;
    if (n >= sizeof base) {
        char msg[96];
        std::snprintf(msg, sizeof msg, "the base name has %zu characters, more than a file name can have", n);
        usage_error(msg);
    }
    std::memcpy(base, kept_argv[1], n);
    base[n] = '\0';
    return n > 0;
}

void get_base(BaseName& base) {
    if (!get_base_name(base)) usage_error("--check needs the base name of the list: orblenz --check <base>");
}

void keep_args(int argc, char** argv) {
    kept_argc = argc;
    kept_argv = argv;
}

void get_args(BaseName& base, ArgText& prefix, ArgText& ratext, ArgText& dectext, ArgText& disttext) {
    // The base name is used whole: cut, it would name another list and
    // write over another catalogue.
    if (!get_base_name(base)) usage();
    ArgText* texts[4] = {&prefix, &ratext, &dectext, &disttext};
    for (int k = 2; k <= 5; ++k) {
        get_arg(k, *texts[k - 2]);
        if (all_blank(*texts[k - 2])) usage();
    }
    check_prefix(prefix, kept_argv[2]);
    fix_float(ratext);
    fix_float(dectext);
    fix_float(disttext);
}

// So that reading the text later as D20.10 takes "45" as 45, not as
// 45 x 10^-10: a text without "." gets ".0" before its first "e", or behind
// its last non-blank character. Whatever passes position 20 is lost.
void fix_float(ArgText& s) {
    constexpr int w = sizeof s;
    if (std::memchr(s, '.', w)) return;
    const char* e = static_cast<const char*>(std::memchr(s, 'e', w));
    if (e) {
        int k = static_cast<int>(e - s);  // 0-based position of the 'e'
        char t[w + 2];
        std::memcpy(t, s, static_cast<std::size_t>(k));
        t[k] = '.';
        t[k + 1] = '0';
        std::memcpy(t + k + 2, s + k, static_cast<std::size_t>(w - k));
        std::memcpy(s, t, w);
        return;
    }
    int n = str_len(s, w);
    if (n < w) s[n] = '.';
    if (n + 1 < w) s[n + 1] = '0';
}
