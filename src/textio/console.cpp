// Console report lines: statements of items without widths on unit 6.
//
// A text item is written whole; an integer as a blank and its digits; a real
// as two characters (blank, then blank or minus) and its %.9G text with a
// decimal point made sure of. A text that starts a line gets one blank in
// front. Before an item, a line that already holds characters is ended when
// the item would bring it to 80 columns or more.

#include "textio.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int line_limit = 80;
int curlen = 0;           // characters on the current line
bool flush_each = false;  // a terminal sees each line as it ends
bool tty_checked = false;

// Begin a new line first when the item does not fit on this one.
void make_room(int width) {
    if (curlen > 0 && curlen + width >= line_limit) {
        out_write("\n", 1);
        curlen = 0;
    }
}

void put(const char* s, std::size_t n) {
    out_write(s, n);
    curlen += static_cast<int>(n);
}

}  // namespace

std::size_t real_item(float v, char* out) {
    out[0] = ' ';
    out[1] = std::signbit(v) && !std::isnan(v) ? '-' : ' ';
    if (v == 0.0f) {
        out[1] = ' ';  // negative zero is written like zero
        std::memcpy(out + 2, "0.", 2);
        return 4;
    }
    double a = std::fabs(static_cast<double>(v));
    int n = std::snprintf(out + 2, 28, "%.9G", a);
    std::size_t len = 2 + static_cast<std::size_t>(n);
    if (!std::isfinite(a)) return len;
    if (!std::memchr(out + 2, '.', static_cast<std::size_t>(n))) {
        char* e = static_cast<char*>(std::memchr(out + 2, 'E', static_cast<std::size_t>(n)));
        if (e) {
            std::memmove(e + 1, e, static_cast<std::size_t>(out + len - e));
            *e = '.';
        } else {
            out[len] = '.';
        }
        ++len;
    }
    return len;
}

void con_begin() {
    if (!tty_checked) {
        tty_checked = true;
        flush_each = isatty(1) == 1;
    }
    io_external(UNIT_STDOUT, false, "list io");
    curlen = 0;
}

void con_text(const char* s, std::size_t n) {
    make_room(static_cast<int>(n));
    if (curlen == 0) put(" ", 1);
    put(s, n);
}

void con_text(const char* s) { con_text(s, std::strlen(s)); }

void con_int(std::int32_t v) {
    char t[16];
    int n = std::snprintf(t, sizeof t, " %d", static_cast<int>(v));
    int digits = n - 1 - (v < 0 ? 1 : 0);
    make_room(digits);
    put(t, static_cast<std::size_t>(n));
}

void con_real(float v) {
    char t[32];
    std::size_t n = real_item(v, t);
    make_room(static_cast<int>(n));
    put(t, n);
}

void con_end() {
    out_write("\n", 1);
    curlen = 0;
    if (flush_each) out_flush();
}
