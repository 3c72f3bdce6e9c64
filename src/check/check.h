// check: the traps of a member list, found before it is converted.
//
// `check_list` reads <base>.txt with the conversion's own reader, line
// splitting and field reads, writes no file, and reports on standard output
// every line the conversion would read otherwise than the list most likely
// means: numbers without a decimal point, empty columns, a column count
// that differs from the first line's, fields and lines that are cut, an
// evolution type it cannot read or does not know, values that are not
// finite, temperatures that leave a shining star without a class, carriage
// returns and bytes outside printable ASCII; and, as errors, the fields the
// conversion refuses and a list cut off inside its last line. One finding
// per line, in the form compilers use:
//
//   m67.txt:12:85: warning: column 19 (temperature) "5778" has no decimal point: read as 5.778E-07
//
// At most ten findings of each kind are shown; a summary line ends the
// output.
#pragma once

// `base` is the base name, whole and NUL-terminated; `table` reads the
// list as a cluster generator's table (comment lines, runs of separators);
// `faithful` judges it as --faithful converts it (every shining star gets
// an entry); `binaries` reads the velocities as --binaries does, with
// their findings. Bound pairs of consecutive star lines are one note.
// Returns the exit status: 0 when nothing was found, 1 when
// something was, 2 when the list cannot be read (with one line on standard
// error).
int check_list(const char* base, bool table, bool faithful, bool binaries = false);
