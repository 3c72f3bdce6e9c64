// The star list: reading lines through one large buffer, splitting them
// into field texts, and the significant length of a text.

#include "input.h"

#include "textio.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// Bit i set where line[base + i] is a tab, for the 64 characters from base.
inline std::uint64_t tab_bits(const char* line, int base) {
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t');
    std::uint64_t m = 0;
    for (int j = 0; j < 4; ++j) {
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + base + 16 * j));
        m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, tab)))) << (16 * j);
    }
    return m;
#else
    std::uint64_t m = 0;
    for (int j = 0; j < 64; ++j)
        if (line[base + j] == '\t') m |= std::uint64_t{1} << j;
    return m;
#endif
}

// The first len characters of src (0 <= len <= 20), blanks after them: a
// field text. src has 20 readable characters.
inline void copy_field(char* dst, const char* src, int len) {
#if defined(__SSE2__)
    // Two overlapping 16-character halves, [0, 16) and [4, 20); in each, a
    // character is kept where its position is below len, else a blank.
    const __m128i blanks = _mm_set1_epi8(' ');
    const __m128i lenv = _mm_set1_epi8(static_cast<char>(len));
    const __m128i lo_idx = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i hi_idx = _mm_setr_epi8(4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19);
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4));
    __m128i klo = _mm_cmplt_epi8(lo_idx, lenv);
    __m128i khi = _mm_cmplt_epi8(hi_idx, lenv);
    lo = _mm_or_si128(_mm_and_si128(klo, lo), _mm_andnot_si128(klo, blanks));
    hi = _mm_or_si128(_mm_and_si128(khi, hi), _mm_andnot_si128(khi, blanks));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4), hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), lo);
#else
    std::memcpy(dst, src, static_cast<std::size_t>(len));
    std::memset(dst + len, ' ', static_cast<std::size_t>(FIELD_LEN - len));
#endif
}

}  // namespace

void extr_tab_fields(const LineBuf& line, FieldTable& fields) {
    static_assert(LINE_LEN % 64 == 0, "the line is scanned 64 characters at a time");
    // The positions of the first 20 tabs, found 64 characters at a time.
    int tabs[20];
    int nt = 0;
    for (int base = 0; base < LINE_LEN && nt < 20; base += 64) {
        std::uint64_t m = tab_bits(line, base);
        while (m && nt < 20) {
            tabs[nt++] = base + __builtin_ctzll(m);
            m &= m - 1;
        }
    }
    // Field i is the text between tab i-1 and tab i, cut or padded to 20;
    // with fewer than 20 tabs the last fields are blank.
    int p = 0;  // start of the work text within the line
    for (int i = 0; i < nt; ++i) {
        int len = tabs[i] - p;
        if (len > FIELD_LEN) len = FIELD_LEN;
        if (p + FIELD_LEN <= LINE_LEN) {
            copy_field(fields[i], line + p, len);
        } else {  // near the end of the buffer: no 20 characters to load
            std::memcpy(fields[i], line + p, static_cast<std::size_t>(len));
            std::memset(fields[i] + len, ' ', static_cast<std::size_t>(FIELD_LEN - len));
        }
        p = tabs[i] + 1;
    }
    for (int i = nt; i < 20; ++i) std::memset(fields[i], ' ', FIELD_LEN);
    // Field 21: the first 20 characters of what is left; the freed end of
    // the work text holds blanks, never tabs.
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
