// driver: the process start, the command line and the conversion run.
//
// `get_args` fetches the five arguments (base name, star-name prefix, right
// ascension, declination, distance) into 20-character field texts and gives
// the two-line usage message (exit status 2) when one is missing or blank;
// `fix_float` gives a number without a decimal point one ("45" -> "45.0").
// `conversion_run` makes the one pass over <base>.txt and never returns.
#pragma once

using ArgText = char[20];

// Keep the argument vector for get_args.
void keep_args(int argc, char** argv);
void get_args(ArgText& base, ArgText& prefix, ArgText& ratext, ArgText& dectext, ArgText& disttext);
void fix_float(ArgText& s);

[[noreturn]] void conversion_run();
