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

// The star list reader: unit 3, read through one large buffer.
// lr_open connects the file (a failed open is the fatal "open" report, unit 3);
// lr_next delivers the next line into the buffer and returns false at end of
// input. A last line without a line feed is delivered like any other.
// A failed read is the fatal "read" report; an interrupted read acts on the
// pending signal.
void lr_open(const char* name);
bool lr_next(LineBuf& line);
void lr_close();
// Read lines from an already open descriptor (tests, fuzzing).
void lr_attach_fd(int fd, const char* name);
