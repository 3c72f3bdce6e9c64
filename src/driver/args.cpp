// The command line: five positional arguments as 20-character field texts.

#include "driver.h"

#include "input.h"
#include "textio.h"

#include <cstdio>
#include <cstring>

namespace {

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

// The star-name prefix goes between double quotes into every entry, where
// the planetarium's loader reads it as a string: a character that string
// cannot carry as itself would cost the catalogue its entries. The first
// such character of the part of the prefix in use ends the run before any
// file is opened, with one line on standard error and exit status 2.
void check_prefix(const ArgText& prefix) {
    const int n = str_len(prefix, sizeof prefix);
    for (int i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(prefix[i]);
        const char* why = c == '"'    ? "would end every star's name early, and the planetarium would refuse the entries"
                          : c == '\\' ? "starts an escape sequence in the planetarium's names"
                          : c == ':'  ? "separates two names of a star in the planetarium"
                                      : nullptr;
        if (why) {
            std::fprintf(stderr, "?ORBLENZ -- star-name prefix refused: '%c' %s\n", c, why);
            stop_status(2);
        }
        if (c < 32 || c == 127) {
            std::fprintf(stderr, "?ORBLENZ -- star-name prefix refused: character code %d is a control character, "
                                 "not text for a star's name\n", c);
            stop_status(2);
        }
    }
}

}  // namespace

void keep_args(int argc, char** argv) {
    kept_argc = argc;
    kept_argv = argv;
}

void get_args(ArgText& base, ArgText& prefix, ArgText& ratext, ArgText& dectext, ArgText& disttext) {
    ArgText* texts[5] = {&base, &prefix, &ratext, &dectext, &disttext};
    for (int k = 1; k <= 5; ++k) {
        get_arg(k, *texts[k - 1]);
        if (all_blank(*texts[k - 1])) usage();
    }
    check_prefix(prefix);
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
