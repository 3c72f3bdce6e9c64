// The star list: reading lines through one large buffer, splitting them
// into field texts, and the significant length of a text.

#include "input.h"

#include "textio.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// ---------------------------------------------------------------- str_len

void str_len(const char* s, int len, int& n) {
    for (int i = len; i >= 1; --i) {
        if (s[i - 1] != ' ') {
            n = i;
            return;
        }
    }
    n = 1;
}

// ---------------------------------------------------------------- splitting

void fixtab(LineBuf& line) {
    // An unconditional store lets the compiler do this 16 or 32 bytes at a time.
    for (char& c : line) c = c == ' ' ? '\t' : c;
}

void extr_tab_fields(const LineBuf& line, FieldTable& fields) {
    int p = 0;  // start of the work text within the line
    for (int i = 0; i < 20; ++i) {
        const void* t = std::memchr(line + p, '\t', static_cast<std::size_t>(LINE_LEN - p));
        if (!t) {
            std::memset(fields[i], ' ', FIELD_LEN);
            continue;
        }
        int k = static_cast<int>(static_cast<const char*>(t) - line);
        int len = k - p;
        if (len >= FIELD_LEN) {
            std::memcpy(fields[i], line + p, FIELD_LEN);
        } else {
            std::memcpy(fields[i], line + p, static_cast<std::size_t>(len));
            std::memset(fields[i] + len, ' ', static_cast<std::size_t>(FIELD_LEN - len));
        }
        p = k + 1;
    }
    // Field 21: the first 20 characters of what is left; the freed end of
    // the work text holds blanks.
    int rest = LINE_LEN - p;
    if (rest >= FIELD_LEN) {
        std::memcpy(fields[20], line + p, FIELD_LEN);
    } else {
        std::memcpy(fields[20], line + p, static_cast<std::size_t>(rest));
        std::memset(fields[20] + rest, ' ', static_cast<std::size_t>(FIELD_LEN - rest));
    }
}

// ---------------------------------------------------------------- reader

namespace {

char rbuf[1 << 20];
std::size_t rpos = 0, rlen = 0;
int rfd = -1;
bool reof = false;

void close_reader(bool) {
    if (rfd >= 0) ::close(rfd);
    rfd = -1;
}

// Refill the buffer; false at end of input.
bool refill() {
    if (reof) return false;
    for (;;) {
        ssize_t n = ::read(rfd, rbuf, sizeof rbuf);
        if (n > 0) {
            rpos = 0;
            rlen = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            reof = true;
            return false;
        }
        if (errno == EINTR) {
            signals_poll();
            continue;
        }
        io_current_unit(UNIT_LIST);
        io_fatal_errno("read", errno);
    }
}

}  // namespace

void lr_attach_fd(int fd, const char* name) {
    rfd = fd;
    rpos = rlen = 0;
    reof = false;
    unit_open(UNIT_LIST, name, UnitCloser{close_reader, nullptr});
}

void lr_open(const char* name) {
    int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        unit_open_failed(UNIT_LIST, name);
        io_fatal_errno("open", err);
    }
    lr_attach_fd(fd, name);
}

bool lr_next(LineBuf& line) {
    io_external(UNIT_LIST, true, "(a)");
    int n = 0;        // characters kept in the buffer
    bool any = false; // a character or a line feed was seen
    for (;;) {
        if (rpos == rlen && !refill()) break;
        const char* start = rbuf + rpos;
        std::size_t avail = rlen - rpos;
        const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
        std::size_t take = nl ? static_cast<std::size_t>(nl - start) : avail;
        any = true;
        if (n < LINE_LEN) {
            std::size_t room = static_cast<std::size_t>(LINE_LEN - n);
            std::size_t k = take < room ? take : room;
            std::memcpy(line + n, start, k);
            n += static_cast<int>(k);
        }
        if (nl) {
            rpos += take + 1;
            break;
        }
        rpos = rlen;
    }
    if (!any) return false;
    std::memset(line + n, ' ', static_cast<std::size_t>(LINE_LEN - n));
    return true;
}

void lr_close() {
    if (rfd >= 0) {
        close_reader(false);
        unit_closed(UNIT_LIST);
    }
}
