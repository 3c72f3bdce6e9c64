// input: the star list, one star record line at a time.
//
// A line is read into a 512-character buffer (shorter lines are filled with
// blanks, longer ones lose their tail), every blank becomes a tab (`fixtab`),
// and the buffer is cut at each tab into 21 field texts of 20 characters
// (`extr_tab_fields`). `str_len` is the program's one measure of text length.
#pragma once

#include <cstddef>

enum : int {
    LINE_LEN = 512,   // characters in the line buffer
    FIELD_LEN = 20,   // characters in a field text
    NFIELDS = 21      // columns 1 to 20, then the rest of the line
};

using LineBuf = char[LINE_LEN];
using FieldTable = char[NFIELDS][FIELD_LEN];  // field i (1..21) is [i - 1]

// Significant length of a text of `len` characters: the position of its last
// character that is not a blank, or 1 for an all-blank text.
void str_len(const char* s, int len, int& n);
inline int str_len(const char* s, int len) {
    int n;
    str_len(s, len, n);
    return n;
}

// Every blank of the line buffer becomes a tab.
void fixtab(LineBuf& line);
// Cut the line buffer (after fixtab) into the field table.
void extr_tab_fields(const LineBuf& line, FieldTable& fields);

// The same cut without copying, for the run: a line of n characters at p
// (only its first LINE_LEN count; blanks are taken to follow, as in the
// line buffer) is cut where fixtab would put its tabs. column(cut, i) is
// then the text column i (1..20) holds in place: its field text is its len
// characters at p, then blanks; the characters there are never blanks or
// tabs. LINE_SLACK bytes after p + min(n, LINE_LEN) must be readable; the
// reader guarantees it.
//
// split_table cuts the same first LINE_LEN characters as a cluster
// generator's table: any run of blanks and tabs separates two columns, and
// separators at the start or the end of the line separate nothing. Its
// columns are those split_line gives for the line with its leading and
// trailing separators removed and every run made one tab.
enum : int { LINE_SLACK = 64, NCOLS = 20 };
struct FieldSpan {
    const char* p;
    int len;  // 0 to FIELD_LEN
};
// A cut fills whole cache lines: one thread makes it and reads it, line
// after line, and shares none of its lines with what another thread touches.
struct alignas(64) LineCut {
    const char* p;
    int starts[NCOLS + 2 + 8];  // starts[i]: where column i (1..20) begins; then room
    int ends[NCOLS + 2 + 8];    // ends[i]: where it ends (its separator); then room
    int ncols;                // the columns of the line (within its first LINE_LEN characters)
};
void split_line(const char* p, int n, LineCut& cut);
void split_table(const char* p, int n, LineCut& cut);
// Whether a line (n characters at p, only its first LINE_LEN counting)
// begins with "#" once its blanks and tabs are passed over: a comment of a
// table, and, as a list's first line, the sign of a cluster generator's
// table read without --table.
inline bool begins_with_hash(const char* p, int n) {
    if (n > LINE_LEN) n = LINE_LEN;
    int i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
    return i < n && p[i] == '#';
}
// A line of a table that holds no star: blank, or a comment (its first
// character that is not a separator is "#").
inline bool table_skips(const LineCut& cut) { return cut.ncols == 0 || cut.p[cut.starts[1]] == '#'; }
inline FieldSpan column(const LineCut& cut, int i) {
    int start = cut.starts[i];
    int len = cut.ends[i] - start;
    return FieldSpan{cut.p + start, len < FIELD_LEN ? len : FIELD_LEN};
}
// The characters column i holds in the line, beyond FIELD_LEN too.
inline int column_chars(const LineCut& cut, int i) { return cut.ends[i] - cut.starts[i]; }
// The field text of a column: its characters, then blanks to FIELD_LEN.
void span_text(const FieldSpan& s, char* out);

// The star list reader: unit 3, read through one large buffer.
// lr_open connects the file (a failed open is the fatal "open" report, unit 3);
// lr_next delivers the next line into the buffer and returns false at end of
// input. A last line without a line feed is delivered like any other.
// A failed read is the fatal "read" report; an interrupted read acts on the
// pending signal.
void lr_open(const char* name);
// The same open without a report: 0, or the reason it failed.
int lr_try_open(const char* name);
bool lr_next(LineBuf& line);
// The next line in place: n characters at p (n may exceed LINE_LEN), valid
// until the next call, with LINE_SLACK readable bytes after
// p + min(n, LINE_LEN). lr_next is this line copied into the line buffer.
bool lr_next_span(const char*& p, int& n);
void lr_close();
// The reader's core, which sets no I/O state and makes no report, for a
// reader working beside the rest of the run: the next line in place as
// lr_next_span gives it (LR_LINE; a line longer than the whole buffer
// comes as its first LINE_LEN characters with n = LINE_LEN + 1), LR_END at end of input, LR_ERROR with the
// reason in err when a read failed (EINTR when a signal interrupted it; the
// call may be made again), or, unless may_block, LR_WOULD_BLOCK when no
// complete line is buffered and more must be read.
enum : int { LR_LINE, LR_END, LR_ERROR, LR_WOULD_BLOCK };
int lr_take(const char*& p, int& n, int& err, bool may_block);
// Whether the line lr_take last delivered was ended by a line feed; only the
// last line of a list can lack one.
bool lr_line_ended();
// Whether a last line that lacks its line feed is still a whole line: it
// has at least as many columns (LineCut::ncols) as the line before it, or
// at least 19 (up to the temperature) when it is the only line (prev_ncols
// 0). A shorter one is what is left of a list cut off while it was written.
inline bool last_line_complete(int ncols, int prev_ncols) {
    return ncols >= (prev_ncols > 0 ? prev_ncols : 19);
}
// Read lines from an already open descriptor (tests, fuzzing).
void lr_attach_fd(int fd, const char* name);
