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
    "Usage: orblenz [--table] [--faithful] [--members] [--binaries] [--centre NAME]\n"
    "               <base> <prefix> <RA> <Dec> <Distance>\n"
    "       orblenz --check [--table] [--faithful] [--binaries] <base>\n"
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
    "  --faithful show the cluster as simulated: every shining star (types 0-12,\n"
    "             T > 0, L > 0) gets an entry, with the code the planetarium draws\n"
    "             nearest its temperature, AbsMag = 4.74 - 2.5 log10 L - BC_V(T)\n"
    "             and its own Temperature; other stars' AbsMag is column 16 unscaled\n"
    "  --members  write <base>.tsv beside the catalogue: one line per star line,\n"
    "             with its line number, entry name, code, type, the columns read\n"
    "             and the entry's texts (see the manual page for the columns)\n"
    "  --binaries two consecutive star lines whose stars are bound (1/2 |dv|^2 <\n"
    "             G (m1 + m2) / |dr|, columns 1 to 7: Msun, pc, km/s) are a binary:\n"
    "             a Barycenter line <prefix>B000001 at their centre of mass, and\n"
    "             each star's entry on its own EllipticalOrbit about it, at its\n"
    "             listed place on 2000 January 1.5 TT (JD 2451545.0). Velocities\n"
    "             must be km/s (McLuster's -u 1; N-body units give meaningless\n"
    "             orbits)\n"
    "  --centre NAME, --centre=NAME\n"
    "             name the cluster: the catalogue begins with a Barycenter line at\n"
    "             the centre, found by that name in the planetarium's search\n"
    "             (at most 100 bytes of UTF-8, no \" \\ : / or control characters,\n"
    "             not a star's name)\n"
    "  -h, --help print this help and exit\n"
    "  --version  print the version and exit\n"
    "  --         end of the options (for a base name beginning with -)\n"
    "\n"
    "A run that writes no entry empties an earlier <base>.stc and says so.\n"
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

// What a name in a catalogue may not hold, as the planetarium reads it.
enum NameFault { NAME_OK, NAME_QUOTE, NAME_BACKSLASH, NAME_COLON, NAME_SLASH, NAME_CONTROL, NAME_NOT_UTF8 };

// The fault of the character at s[i] (n bytes readable), or NAME_OK with
// its length in `len`.
NameFault name_fault(const unsigned char* s, std::size_t n, int& len) {
    const unsigned char c = s[0];
    len = 1;
    if (c == '"') return NAME_QUOTE;
    if (c == '\\') return NAME_BACKSLASH;
    if (c == ':') return NAME_COLON;
    if (c == '/') return NAME_SLASH;
    if (c < 32 || c == 127) return NAME_CONTROL;
    len = utf8_len(s, n);
    return len == 0 ? NAME_NOT_UTF8 : NAME_OK;
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
        int len;
        const NameFault fault =
            name_fault(reinterpret_cast<const unsigned char*>(arg) + i, argn - static_cast<std::size_t>(i), len);
        char msg[160];
        switch (fault) {
            case NAME_OK: break;
            case NAME_QUOTE: prefix_refused("'\"' would end every star's name early, and the planetarium would refuse the entries");
            case NAME_BACKSLASH: prefix_refused("'\\' starts an escape sequence in the planetarium's names");
            case NAME_COLON: prefix_refused("':' separates two names of a star in the planetarium");
            case NAME_SLASH:
                prefix_refused("'/' makes the planetarium's search read a typed name as a path (Sol/Earth), so no "
                               "star could be found by its name");
            case NAME_CONTROL:
                std::snprintf(msg, sizeof msg, "character code %d is a control character, not text for a star's name", c);
                prefix_refused(msg);
            case NAME_NOT_UTF8:
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

[[noreturn]] void centre_refused(const char* what) {
    std::fprintf(stderr, "orblenz: centre name refused: %s\n", what);
    stop_status(2);
}

// Whether a and b (n bytes each) are the same without regard to the case of
// ASCII letters.
bool same_ignoring_case(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

// The barycenter's name is what a user types into the planetarium's search
// to find the cluster: a character the planetarium's loader or search reads
// otherwise would lose the line or the name, and a star's name would find
// the star instead.
void check_centre(const char* name, const ArgText& prefix, bool binaries) {
    const std::size_t n = std::strlen(name);
    constexpr std::size_t longest = 100;
    char msg[256];
    if (n > longest) {
        std::snprintf(msg, sizeof msg, "it has %zu bytes, more than the %zu a name may have", n, longest);
        centre_refused(msg);
    }
    const auto* s = reinterpret_cast<const unsigned char*>(name);
    for (std::size_t i = 0; i < n;) {
        int len;
        switch (name_fault(s + i, n - i, len)) {
            case NAME_OK: break;
            case NAME_QUOTE: centre_refused("'\"' would end the name early, and the planetarium would refuse the line");
            case NAME_BACKSLASH: centre_refused("'\\' starts an escape sequence in the planetarium's names");
            case NAME_COLON: centre_refused("':' separates two names of an object in the planetarium");
            case NAME_SLASH:
                centre_refused("'/' makes the planetarium's search read a typed name as a path (Sol/Earth), so the "
                               "cluster could not be found by its name");
            case NAME_CONTROL:
                std::snprintf(msg, sizeof msg, "character code %d is a control character, not text for a name", s[i]);
                centre_refused(msg);
            case NAME_NOT_UTF8:
                std::snprintf(msg, sizeof msg,
                              "byte 0x%02X (byte %zu) is not UTF-8 text: the planetarium would replace it, and the "
                              "cluster could not be found by its name", s[i], i + 1);
                centre_refused(msg);
        }
        i += static_cast<std::size_t>(len);
    }
    // A star's name: the prefix in use followed only by digits. The
    // planetarium compares names without regard to case.
    const std::size_t lenc = static_cast<std::size_t>(str_len(prefix, sizeof prefix));
    std::size_t d = n;
    while (d > 0 && name[d - 1] >= '0' && name[d - 1] <= '9') --d;
    if (d < n && d == lenc && same_ignoring_case(name, prefix, lenc)) {
        std::snprintf(msg, sizeof msg, "'%s' is a star's name (the prefix followed by digits): the search would "
                      "find the star, not the cluster", name);
        centre_refused(msg);
    }
    // With --binaries, a binary's barycenter: the prefix, "B" and digits.
    if (binaries && d < n && d == lenc + 1 && (name[lenc] == 'B' || name[lenc] == 'b') &&
        same_ignoring_case(name, prefix, lenc)) {
        std::snprintf(msg, sizeof msg, "'%s' is a binary's barycenter name (the prefix, B and digits): the "
                      "search would find the binary, not the cluster", name);
        centre_refused(msg);
    }
}

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
        // --centre takes the next word whatever it begins with, or the text after "=".
        const bool centre_word = std::strcmp(a, "--centre") == 0;
        if (centre_word || std::strncmp(a, "--centre=", 9) == 0) {
            if (s.centre) usage_error("--centre is given twice: a catalogue has one centre");
            if (centre_word && i + 1 >= argc)
                usage_error("--centre needs the cluster's name: --centre NAME");
            s.centre = centre_word ? argv[++i] : a + 9;
            if (!*s.centre) usage_error("--centre needs the cluster's name: --centre NAME");
            continue;
        }
        if (std::strcmp(a, "--check") == 0) s.check = true;
        else if (std::strcmp(a, "--table") == 0) s.table = true;
        else if (std::strcmp(a, "--faithful") == 0) s.faithful = true;
        else if (std::strcmp(a, "--members") == 0) s.members = true;
        else if (std::strcmp(a, "--binaries") == 0) s.binaries = true;
        else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) print_and_exit(help_text);
        else if (std::strcmp(a, "--version") == 0) print_and_exit("orblenz " ORBLENZ_VERSION "\n");
        else {
            char msg[320];
            std::snprintf(msg, sizeof msg, "unknown option '%.256s' (orblenz --help lists the options)", a);
            usage_error(msg);
        }
    }
    if (s.check && s.centre) usage_error("--centre names the cluster in a catalogue; --check writes none");
    if (s.check && s.members) usage_error("--members lists the stars of a conversion; --check writes no file");
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
