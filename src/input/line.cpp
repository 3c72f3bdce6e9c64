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

namespace {

// Bit i set where p[i] is a blank or a tab (the characters fixtab makes
// tabs), for the 64 characters from p.
inline std::uint64_t sep_bits(const char* p) {
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i blank = _mm_set1_epi8(' ');
    std::uint64_t m = 0;
    for (int j = 0; j < 4; ++j) {
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
        __m128i s = _mm_or_si128(_mm_cmpeq_epi8(b, tab), _mm_cmpeq_epi8(b, blank));
        m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(s))) << (16 * j);
    }
    return m;
#else
    std::uint64_t m = 0;
    for (int j = 0; j < 64; ++j)
        if (p[j] == '\t' || p[j] == ' ') m |= std::uint64_t{1} << j;
    return m;
#endif
}

inline int popcount64(std::uint64_t x) {
#if defined(__POPCNT__)
    return __builtin_popcountll(x);
#else
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
#endif
}

// The positions of the set bits of m (count of them, count > 0) into out,
// and each plus one into after (where the next column begins), eight at a
// time whether or not there are eight: how many a block of the line holds
// varies from line to line, and a loop that stops at each one would
// mispredict its end. Both have room for count rounded up to eight. (The
// starts are written here, not read back from the ends afterwards: a wide
// load of values just stored one by one waits for every store.)
inline void put_bits(std::uint64_t m, int count, int base, int* out, int* after) {
    for (int k = 0; k < count; k += 8) {
        for (int j = 0; j < 8; ++j) {
            const int at = base + __builtin_ctzll(m | (std::uint64_t{1} << 63));
            out[k + j] = at;
            after[k + j] = at + 1;
            m &= m - 1;
        }
    }
}

// The separators of the 64 characters from p + base, with every position
// from nl on (the blanks that fill up the buffer) a separator too.
inline std::uint64_t line_sep_bits(const char* p, int base, int nl) {
    std::uint64_t m = sep_bits(p + base);
    const int left = nl - base;
    return m | ((~std::uint64_t{0} << (left & 63)) & (std::uint64_t{0} - static_cast<std::uint64_t>(left < 64)));
}

}  // namespace

void split_line(const char* p, int n, LineCut& cut) {
    // The line buffer holds the first min(n, LINE_LEN) characters, then
    // blanks: every position from there to LINE_LEN is a tab after fixtab.
    const int nl = n < LINE_LEN ? n : LINE_LEN;
    int* tabs = cut.ends + 1;
    int* next = cut.starts + 2;  // next[i]: where the column after tabs[i] begins
    int nt = 0;
    int seps = 0;  // separators, counted from the blocks' counts
    int base = 0;
    for (; base < nl && nt < NCOLS; base += 64) {
        std::uint64_t m = line_sep_bits(p, base, nl);
        int count = popcount64(m);
        seps += count;
        if (count > NCOLS - nt) count = NCOLS - nt;  // only the first 20 count
        put_bits(m, count, base, tabs + nt, next + nt);
        nt += count;
    }
    // Less the blanks after the line in the last block; the rest of a line
    // with more than 20 columns only counts its separators.
    if (base > nl) seps -= base - nl;
    for (; base < nl; base += 64) {
        const int left = nl - base;
        const std::uint64_t m = sep_bits(p + base);
        seps += popcount64(left < 64 ? m & ~(~std::uint64_t{0} << left) : m);
    }
    cut.ncols = seps + 1;
    // Past the last block scanned, every position of the buffer is a tab.
    for (int q = base > nl ? base : nl; nt < NCOLS && q < LINE_LEN; ++q, ++nt) {
        tabs[nt] = q;
        next[nt] = q + 1;
    }
    // Without 20 tabs in the buffer the last columns are empty.
    for (int i = nt; i < NCOLS; ++i) {
        tabs[i] = (i > 0 ? tabs[i - 1] : -1) + 1;
        next[i] = tabs[i] + 1;
    }
    cut.ends[0] = -1;
    cut.starts[1] = 0;
    cut.p = p;
}

void split_table(const char* p, int n, LineCut& cut) {
    const int nl = n < LINE_LEN ? n : LINE_LEN;
    // A column ends at the first separator after it, where a run of
    // separators begins, and the next begins at the first character after
    // the run that is no separator. Most runs are one separator long: the
    // column after it then begins right after the end of the one before, as
    // in a plain list. Only the columns after longer runs, and the first
    // after separators at the start of the line, are moved on, one by one.
    int* ends = cut.ends + 1;
    int* next = cut.starts + 2;  // next[i]: right after ends[i]
    int ne = 0, cols = 0;
    int moved[NCOLS], moved_to[NCOLS];  // such columns (0-based) and where they begin
    int nm = 0;
    std::uint64_t before = 1;      // the line counts as beginning after a separator
    std::uint64_t end_before = 0;  // the block before ended with the end of a column
    for (int base = 0; base < nl; base += 64) {
        const std::uint64_t m = line_sep_bits(p, base, nl);
        const std::uint64_t prev = (m << 1) | before;
        const std::uint64_t s = ~m & prev;  // where columns begin
        const std::uint64_t e = m & ~prev;  // where they end
        // Beginnings not right after an end: after a longer run.
        for (std::uint64_t d = s & ~((e << 1) | end_before); d; d &= d - 1) {
            const int k = cols + popcount64(s & ((d & (~d + 1)) - 1));
            if (k < NCOLS) {
                moved[nm] = k;
                moved_to[nm++] = base + __builtin_ctzll(d);
            }
        }
        before = m >> 63;
        end_before = e >> 63;
        cols += popcount64(s);
        if (ne == NCOLS) continue;
        int count = popcount64(e);
        if (count > NCOLS - ne) count = NCOLS - ne;  // only the first 20 count
        put_bits(e, count, base, ends + ne, next + ne);
        ne += count;
    }
    // A column that runs to the end of the line (a line of 64 x k
    // characters, or one cut at LINE_LEN) ends there; missing columns are
    // empty.
    if (ne < cols && ne < NCOLS) {
        ends[ne] = nl;
        next[ne++] = nl + 1;
    }
    for (int i = ne; i < NCOLS; ++i) {
        ends[i] = (i > 0 ? ends[i - 1] : -1) + 1;
        next[i] = ends[i] + 1;
    }
    cut.ends[0] = -1;
    cut.starts[1] = 0;
    for (int j = 0; j < nm; ++j) cut.starts[moved[j] + 1] = moved_to[j];
    cut.ncols = cols;
    cut.p = p;
}

void span_text(const FieldSpan& s, char* out) {
    std::memcpy(out, s.p, static_cast<std::size_t>(s.len));
    std::memset(out + s.len, ' ', static_cast<std::size_t>(FIELD_LEN - s.len));
}

// ---------------------------------------------------------------- reader

namespace {

// Lines are delivered in place from rbuf[rpos, rlen). A line that runs past
// the end of what is read is moved to the front and completed; one longer
// than the whole buffer keeps its first LINE_LEN characters in spare.
// The buffer and the descriptor belong to whoever reads lines. What
// changes with every line fills cache lines of its own, away from what
// another thread touches (the run reads lines on a thread of its own).
constexpr std::size_t rcap = 1 << 20;
constexpr std::size_t rstep = rcap / 4;
alignas(64) char rbuf[rcap + LINE_SLACK];
alignas(64) char spare[LINE_LEN + LINE_SLACK];
struct alignas(64) ReaderState {
    std::size_t rpos = 0, rlen = 0;
    int rfd = -1;
    bool reof = false;
    bool skipping = false;
    bool ended = true;
} state;
static_assert(sizeof rbuf % 64 == 0 && sizeof spare % 64 == 0, "the buffers fill their cache lines");
std::size_t& rpos = state.rpos;
std::size_t& rlen = state.rlen;
int& rfd = state.rfd;
bool& reof = state.reof;
bool& skipping = state.skipping;  // passing over the tail of a line longer than rbuf
bool& ended = state.ended;        // the line last delivered had its line feed

// At a report or a signal's ending the process is about to end and its
// descriptors with it; the list's stays open there, since another thread
// may be reading it.
void close_reader(bool ending) {
    if (ending) return;
    int fd = rfd;
    rfd = -1;
    if (fd >= 0) ::close(fd);
}

// Read more into rbuf[rlen, rcap): LR_LINE when something came, LR_END at
// end of input, LR_ERROR with err set when the read failed.
int fill(int& err) {
    if (reof) return LR_END;
    for (;;) {
        // At most a quarter of the buffer at a time: a long read holds up
        // whoever waits for the lines, and the buffer refills in steps.
        std::size_t want = rcap - rlen < rstep ? rcap - rlen : rstep;
        ssize_t n = ::read(rfd, rbuf + rlen, want);
        if (n > 0) {
            rlen += static_cast<std::size_t>(n);
            return LR_LINE;
        }
        if (n == 0) {
            reof = true;
            return LR_END;
        }
        err = errno;  // EINTR included: the caller acts on the signal
        return LR_ERROR;
    }
}

}  // namespace

void lr_attach_fd(int fd, const char* name) {
    rfd = fd;
    rpos = rlen = 0;
    reof = skipping = false;
    ended = true;
    unit_open(UNIT_LIST, name, UnitCloser{close_reader, nullptr});
}

int lr_try_open(const char* name) {
    int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    lr_attach_fd(fd, name);
    return 0;
}

void lr_open(const char* name) {
    if (int err = lr_try_open(name)) {
        unit_open_failed(UNIT_LIST, name);
        io_fatal_errno("open", err);
    }
}

namespace {

// The rest of a line longer than the buffer, up to its line feed, is passed
// over; then the line is delivered from spare. A failed read leaves this to
// be taken up again by the next call.
int pass_over(const char*& p, int& n, int& err) {
    for (;;) {
        int r = fill(err);
        if (r == LR_ERROR) return r;
        if (r == LR_END) {
            ended = false;
            break;
        }
        const char* e = static_cast<const char*>(std::memchr(rbuf, '\n', rlen));
        if (e) {
            rpos = static_cast<std::size_t>(e - rbuf) + 1;
            ended = true;
            break;
        }
        rpos = rlen = 0;
    }
    skipping = false;
    p = spare;
    n = LINE_LEN + 1;  // longer than the buffer holds: its first LINE_LEN characters
    spare[LINE_LEN] = '\0';
    return LR_LINE;
}

}  // namespace

int lr_take(const char*& p, int& n, int& err, bool may_block) {
    if (skipping) {
        if (!may_block) return LR_WOULD_BLOCK;
        return pass_over(p, n, err);
    }
    std::size_t scanned = 0;  // characters from rpos known to hold no line feed
    for (;;) {
        const char* start = rbuf + rpos;
        std::size_t avail = rlen - rpos;
        const char* nl = static_cast<const char*>(std::memchr(start + scanned, '\n', avail - scanned));
        if (nl) {
            p = start;
            n = static_cast<int>(nl - start);
            rpos += static_cast<std::size_t>(n) + 1;
            ended = true;
            return LR_LINE;
        }
        if (!may_block && !reof) return LR_WOULD_BLOCK;
        scanned = avail;
        if (rpos > 0 && !reof) {  // room at the front: move the start of the line there
            std::memmove(rbuf, start, avail);
            rpos = 0;
            rlen = avail;
        }
        if (rlen == rcap) {
            // A line longer than the buffer: its first LINE_LEN characters.
            std::memcpy(spare, rbuf, LINE_LEN);
            rpos = rlen = 0;
            skipping = true;
            return pass_over(p, n, err);
        }
        int r = fill(err);
        if (r == LR_ERROR) return r;
        if (r == LR_END) {
            if (rlen == rpos) return LR_END;
            // A last line without a line feed.
            p = rbuf + rpos;
            n = static_cast<int>(rlen - rpos);
            rpos = rlen;
            ended = false;
            return LR_LINE;
        }
    }
}

bool lr_line_ended() { return ended; }

bool lr_next_span(const char*& p, int& n) {
    io_external(UNIT_LIST, true, "(a)");
    for (;;) {
        int err = 0;
        int r = lr_take(p, n, err, true);
        if (r == LR_LINE) return true;
        if (r == LR_END) return false;
        // An interrupted read acts on the signal, then reads on.
        if (err == EINTR) {
            signals_poll();
            continue;
        }
        io_current_unit(UNIT_LIST);
        io_fatal_errno("read", err);
    }
}

bool lr_next(LineBuf& line) {
    const char* p;
    int n;
    if (!lr_next_span(p, n)) return false;
    if (n > LINE_LEN) n = LINE_LEN;
    std::memcpy(line, p, static_cast<std::size_t>(n));
    std::memset(line + n, ' ', static_cast<std::size_t>(LINE_LEN - n));
    return true;
}

void lr_close() {
    if (rfd >= 0) {
        close_reader(false);
        unit_closed(UNIT_LIST);
    }
}
