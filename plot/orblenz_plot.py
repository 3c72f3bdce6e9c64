#!/usr/bin/python3
"""orblenz-plot: a picture of an orblenz star catalogue.

    orblenz-plot <base> [-o FILE] [--summary]

Reads the catalogue <base>.stc that orblenz wrote (and the member table
<base>.tsv that orblenz --members wrote with it, when it belongs to the
catalogue) and draws one figure into <base>.png, or FILE: a sky chart of
the cluster, spectral type against absolute magnitude, log T_eff against
log L (with the member table) and the entries per spectral class. An
entry that orbits its pair's barycenter (orblenz --binaries) is drawn at
its own place from the member table, or at the barycenter without one,
and the title counts the binaries. Plain matplotlib and numpy, so that it
is easy to adapt. It never reads the member list: orblenz alone reads
lists, and the member table is its reading, star line by star line.

Both files are read in blocks of whole lines and every block is taken
apart with numpy, so that a million entries take seconds, not minutes.
"""

import time

START = time.monotonic()  # the timing note counts the imports too

import argparse
import itertools
import math
import os
import re
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("orblenz-plot: needs numpy and matplotlib (apt-get install python3-numpy python3-matplotlib)")

PC2LY = 3.26163626        # light-years per parsec, as orblenz places the stars
SLOW_NOTE = 2.0           # seconds after which the run says how long it took
DPI = 100
FIG_SIZE = (18.0, 10.0)   # inches: 1800 x 1000 pixels at DPI
BLOCK = 1 << 25           # bytes read at a time


class Unreadable(Exception):
    """A file that cannot be used; the message names it (and the line)."""


def blocks(path):
    """The file at `path` in blocks of whole lines (only the file's last line
    may lack its line end)."""
    with open(path, "rb") as f:
        rest = b""
        while True:
            data = f.read(BLOCK)
            if not data:
                break
            data = rest + data
            cut = data.rfind(b"\n") + 1
            rest = data[cut:]
            if cut:
                yield data[:cut]
        if rest:
            yield rest


def line_ends(block):
    """The bytes of a block and the start and end (line feed) of each line."""
    if not block.endswith(b"\n"):
        block += b"\n"
    buf = np.frombuffer(block, dtype=np.uint8)
    ends = np.flatnonzero(buf == 10)
    return buf, np.concatenate(([0], ends[:-1] + 1)), ends


def cut(buf, starts, span):
    """The texts at `span` (start, end) of the lines that begin at `starts`."""
    text = buf[starts[:, None] + np.arange(*span)]
    return text.view("S%d" % text.shape[1]).ravel()


# ------------------------------------------------------------- the catalogue

def number(name):
    """A number as orblenz writes a place or a magnitude, as the named group
    `name`: a sign, digits with a point and an optional exponent. The widths
    are not fixed (a magnitude may be wider than F7.2, an exponent may have
    three digits)."""
    return rb"(?P<" + name + rb">[+-]?(?:[0-9]+\.[0-9]*|\.[0-9]+)(?:[Ee][+-]?[0-9]+)?)"


PLACE = rb" \{RA " + number(b"RA") + rb" Dec " + number(b"Dec") + rb" Distance " + number(b"Distance")
# An entry may carry the star's temperature after its magnitude, a whole
# number of kelvin of at least 1 (a first digit 0 is refused line by line:
# the shape of a line cannot tell it).
LOOK = (rb' SpectralType "(?P<code>[^"\n]+)" AbsMag +' + number(b"AbsMag")
        + rb"(?: Temperature (?P<Temperature>[0-9]+))?")
# One entry line as orblenz writes it.
ENTRY = re.compile(rb' Star "(?P<entry>[^"\n]*)"' + PLACE + LOOK + rb" \}")
# The catalogue's first line may name the cluster and its centre; it is no entry.
BARYCENTER = re.compile(rb'Barycenter "(?P<entry>[^"\n]*)"' + PLACE + rb" \}")
# orblenz --binaries writes each bound pair of stars as the pair's barycenter,
# one blank in and named <prefix>B<six or more digits>, and the entries of the
# pair, each orbiting it. The barycenter line is no entry.
PAIR = re.compile(rb' Barycenter "(?P<entry>[^"\n]*B[0-9]{6,})"' + PLACE + rb" \}")
# An orbiting entry has no place of its own: the planetarium puts it at its
# barycenter plus its orbit, whose elements are shortest round-trip decimals
# ("12.5", "1e-05") and whose epoch is always the same. The shape such a line
# is matched in (shapes) has a 0 for its first blank and every run of digits in
# the orbit as one 9, so that its many widths of elements make few shapes.
ELEMENT = rb"-?9(?:\.9)?(?:e[+-]9)?"
EPOCH = b" Epoch 2451545 } }"
ORBITER = re.compile(rb'0Star "(?P<entry>[^"\n]*)" \{OrbitBarycenter "(?P<barycenter>[^"\n]*)"' + LOOK + rb" "
                     + rb"EllipticalOrbit \{" + rb" ".join(e + rb" " + ELEMENT for e in (
                         b"Period", b"SemiMajorAxis", b"Eccentricity", b"Inclination", b"AscendingNode",
                         b"ArgOfPericenter", b"MeanAnomaly")) + rb" Epoch 9 \} \}")
LINES = (ENTRY, ORBITER, PAIR)   # a line's kind is its index here
ALL_NINES = bytes.maketrans(b"0123456789", b"9" * 10)
# The entry's texts kept to match the member table's, by its column names;
# "barycenter" is the one an orbiting entry names, "" for the others.
TEXTS = ("entry", "RA", "Dec", "Distance", "AbsMag", "Temperature", "barycenter")
VALUES = ("RA", "Dec", "Distance", "AbsMag")


def shapes(block, buf, starts, ends):
    """The shape of each line of a block: the line with every digit a 9, so
    that the lines of one shape hold their numbers at the same places. A
    line that ends in the epoch of an orbit (no entry and no barycenter
    line can: theirs end in a number and " }") begins with a 0 instead of
    its first character, which no other shape holds, and every run of
    digits after its last { is one 9."""
    if EPOCH not in block:
        return block.translate(ALL_NINES).split(b"\n")[:len(ends)]
    orbit = np.flatnonzero(cut(buf, np.maximum(ends - len(EPOCH), 0), (0, len(EPOCH))) == EPOCH)
    brace = np.flatnonzero(buf == ord("{"))
    line = np.searchsorted(ends, brace)
    final = np.append(line[1:] != line[:-1], True)
    last = np.copy(ends)   # each line's last {, or its end
    last[line[final]] = brace[final]
    nine = bytearray(block.translate(ALL_NINES))
    nine += b"\n" * (len(buf) - len(nine))   # as buf, which ends in one
    nine = np.frombuffer(nine, dtype=np.uint8)
    nine[starts[orbit]] = ord("0")
    # Kept: all but a digit that follows a digit in an orbit (in place, the block is large).
    keep = np.zeros(len(buf) + 1, dtype=np.int8)
    keep[last[orbit] + 1] += 1
    keep[ends[orbit] + 1] -= 1
    np.cumsum(keep, out=keep)
    keep = keep[:-1].view(np.bool_)
    digit = nine == ord("9")
    keep[1:] &= digit[1:]
    keep[1:] &= digit[:-1]
    np.logical_not(keep, out=keep)
    return nine[keep].tobytes().split(b"\n")[:len(ends)]


def read_catalogue(path):
    """The entries of the catalogue at `path`, orbiting ones included:
    arrays of right ascension, declination (degrees), distance
    (light-years), AbsMag, and the codes; then the cluster's name from a
    first Barycenter line ("" without one); then the entries' texts by TEXTS
    (the Temperature "" where there is none; an orbiting entry has no RA,
    Dec and Distance texts); then the names of the pairs' barycenters. An
    orbiting entry stands at the place of its barycenter. Every other line
    must be a whole entry or a pair's barycenter with finite numbers; an
    orbiting entry must name a barycenter of a line above it, and no two
    barycenters have one name.

    The patterns treat all digits alike, so lines that are the same once
    every digit is a 9 (their shape) are all of one kind or none, and hold
    their numbers at the same places: a catalogue has a few dozen shapes,
    each checked once and its numbers cut out of all its lines at once."""
    parts, pairs, orbits, entries, name = [], [], [], 0, ""
    known = {}   # a pair's barycenter name: its number, in the order of the catalogue
    try:
        first = 1   # the number of the block's first line
        for block in blocks(path):
            if first == 1:
                head = block.split(b"\n", 1)[0]
                m = BARYCENTER.fullmatch(head)
                if m:
                    name = m.group("entry").decode("utf-8", "replace")
                    block, first = block[len(head) + 1:], 2
                    if not block:
                        continue
            buf, starts, ends = line_ends(block)
            lines = shapes(block, buf, starts, ends)
            # Each line's shape numbered by the line where it first stands.
            index = {}
            ids = np.fromiter(map(index.setdefault, lines, itertools.count()), np.int64, len(lines))
            ids = np.unique(ids, return_inverse=True)[1]
            order = np.argsort(ids, kind="stable")
            groups = np.split(order, np.cumsum(np.bincount(ids))[:-1])
            found, wrong = [], len(ends)
            kind = np.full(len(ends), -1, dtype=np.int8)
            for shape, rows in zip(index, groups):   # in the order of their first lines
                m = next(filter(None, (p.fullmatch(shape) for p in LINES)), None)
                if m is None:
                    wrong = int(rows[0])
                    break
                found.append((rows, m))
                kind[rows] = LINES.index(m.re)
                if "Temperature" in m.re.groupindex and m.start("Temperature") >= 0:   # not from 0
                    zero = rows[buf[starts[rows] + m.start("Temperature")] == ord("0")]
                    if len(zero):   # rows ascend: the first is the earliest line
                        wrong = min(wrong, int(zero[0]))
            vals = np.zeros((4, len(ends)), dtype=np.float64)
            texts = {k: np.zeros(len(ends), dtype="S%d" % max(
                [m.end(k) - m.start(k) for _, m in found if k in m.re.groupindex] + [1]))
                for k in TEXTS + ("code",)}
            for rows, m in found:
                for k in texts:
                    if k in m.re.groupindex and m.start(k) >= 0:
                        texts[k][rows] = cut(buf, starts[rows], m.span(k))
                for j, k in enumerate(VALUES):
                    if k in m.re.groupindex:
                        vals[j, rows] = texts[k][rows].astype(np.float64)
            # The pairs' barycenters, numbered on from the last block's; a name
            # taken before makes its line unreadable.
            pair = np.flatnonzero(kind == 2)
            names = texts["entry"][pair].tolist()
            fresh = dict(zip(reversed(names), range(len(known) + len(pair) - 1, len(known) - 1, -1)))
            if len(fresh) < len(pair) or not known.keys().isdisjoint(fresh):
                seen = set(known)
                for r, n in zip(pair, names):
                    if n in seen:
                        wrong = min(wrong, int(r))
                        break
                    seen.add(n)
                for n in known.keys() & fresh.keys():   # the first of a name stays
                    del fresh[n]
            base = len(known)
            known.update(fresh)
            # An orbiting entry names a barycenter of a line above it.
            orbit = np.flatnonzero(kind == 1)
            ref = np.fromiter(map(known.get, texts["barycenter"][orbit].tolist(), itertools.repeat(-1)),
                              np.int64, len(orbit))
            bad = ref < 0
            here = ref >= base
            bad[here] |= pair[ref[here] - base] > orbit[here]
            if bad.any():
                wrong = min(wrong, int(orbit[bad][0]))
            huge = np.flatnonzero(~np.isfinite(vals[:, :wrong]).all(axis=0))
            if len(huge):
                raise Unreadable("%s:%d: a number too large to read" % (path, first + int(huge[0])))
            if wrong < len(ends):
                raise Unreadable("%s:%d: not a catalogue entry: %s"
                                 % (path, first + wrong, show(block, starts, ends, wrong)))
            if len(pair):
                pairs.append((vals[:3, pair], texts["entry"][pair]))
                entry = kind != 2
                vals, texts = vals[:, entry], {k: t[entry] for k, t in texts.items()}
            # The orbiting entries by their number among all entries, with their barycenters'.
            orbits.append((entries + orbit - np.searchsorted(pair, orbit), ref))
            parts.append((vals, texts))
            entries += vals.shape[1]
            first += len(ends)
    except OSError as e:
        raise Unreadable("cannot read %s: %s" % (path, e.strerror or e))
    if not entries:
        raise Unreadable("%s: no catalogue entries" % path)
    vals = np.concatenate([p[0] for p in parts], axis=1)
    texts = {k: np.concatenate([p[1][k] for p in parts]) for k in parts[0][1]}
    if pairs:   # the orbiting entries at their barycenters' places
        at, ref = (np.concatenate(a) for a in zip(*orbits))
        vals[:3, at] = np.concatenate([p[0] for p in pairs], axis=1)[:, ref]
    names = np.concatenate([p[1] for p in pairs]) if pairs else np.zeros(0, dtype="S1")
    return list(vals) + [texts.pop("code"), name, texts, names]


def show(block, starts, ends, i):
    text = block[starts[i]:ends[i]].decode("latin-1")
    return text if len(text) <= 60 else text[:57] + "..."


# ------------------------------------------------------------- the codes

LETTERS = "OBAFGKMLTY"               # temperature classes, hot to cool
LUM_CLASSES = ["V", "IV", "III", "II", "I-b", "I-a"]   # faint to bright
MK_CODE = re.compile(r"([OBAFGKMLTY])([0-9*])(V|IV|III|II|I-b|I-a)")
COUNT_CLASSES = ["O", "B", "A", "F", "G", "K", "M", "L,T,Y", "DZ", "Q", "other"]
COUNT_LABELS = ["O", "B", "A", "F", "G", "K", "M", "L, T, Y\ndwarfs", "white\ndwarfs",
                "neutron stars\nblack holes", "others"]
DWARFS = COUNT_CLASSES.index("L,T,Y")   # L, T and Y, the coolest letters, count as one
OTHER = COUNT_CLASSES.index("other")

# Groups colour the diagrams and the bars: the luminosity class of an MK
# code (I-a0 is cut to I-a in the catalogue), or the kind of remnant.
GROUPS = LUM_CLASSES + ["DZ", "Q", "SNR", "????", "other"]
GROUP_LABEL = ["V main sequence", "IV subgiants", "III giants", "II bright giants", "I-b supergiants",
               "I-a supergiants", "white dwarfs (DZ)", "neutron stars, black holes (Q)",
               "supernova remnants (SNR)", "unclassified (????)", "other codes"]
GROUP_COLOUR = ["#2f6db5", "#1a9e77", "#e6a100", "#d95f02", "#c2185b", "#6a1b9a",
                "#555555", "#000000", "#2ca02c", "#9e9e9e", "#bdbdbd"]

# The sky chart shows the stars in the colours they have (O blue to M red)
# on a night sky; the remnants and the unclassified in marks of their own.
SKY_BG = "#0b1022"
SKY_STYLES = ([(c, "o", colour) for c, colour in zip(LETTERS, (
    "#6d8cff", "#8fb0ff", "#c8d8ff", "#f4f3ff", "#fff1a8", "#ffbe6a", "#ff6a4a", "#c0392b", "#8e3b5f",
    "#6b3e75"))] + [("white dwarfs (DZ)", "D", "#e0f7ff"), ("neutron stars, black holes (Q)", "X", "#ff4dff"),
                    ("supernova remnants (SNR)", "*", "#62ff7a"), ("unclassified (????)", "$?$", "#bbbbbb"),
                    ("other codes", "s", "#888888")])


def describe(code):
    """What the figure needs of one code: its count class, group and sky
    style (indices into the tables above), its place in the spectral
    sequence (O0 = 0 ... M9 = 69, L0 = 70 ..., NaN for codes without one)
    and the word that breaks its count class down in the summary: the
    luminosity class, or for L, T and Y, which share one class, the letter."""
    text = code.decode("latin-1")
    m = MK_CODE.fullmatch(text)
    if m:
        letter, sub, lum = m.groups()
        k = LETTERS.index(letter)
        x = k * 10 + (-1 if sub == "*" else int(sub))   # O* (hotter than O0) left of O0
        if k >= LETTERS.index("L"):
            return DWARFS, GROUPS.index(lum), k, x, letter
        return COUNT_CLASSES.index(letter), GROUPS.index(lum), k, x, lum
    if len(text) == 3 and text.startswith("DZ"):
        return COUNT_CLASSES.index("DZ"), 6, 10, np.nan, ""
    if text == "Q":
        return COUNT_CLASSES.index("Q"), 7, 11, np.nan, ""
    if text in ("SNR", "????"):
        return OTHER, GROUPS.index(text), 10 + GROUPS.index(text) - 6, np.nan, text
    return OTHER, 10, 14, np.nan, text


def classify(codes):
    """Per entry: count class, group and sky style indices, the place in the
    spectral sequence; and the unique codes with their description and
    count (the codes are few, the entries many)."""
    uniq, inverse, counts = np.unique(codes, return_inverse=True, return_counts=True)
    table = [describe(c) for c in uniq]
    cls, group, style = (np.array([t[i] for t in table], dtype=np.int64)[inverse] for i in range(3))
    xpos = np.array([t[3] for t in table], dtype=np.float64)[inverse]
    return cls, group, style, xpos, list(zip(table, counts))


def summary_lines(per_code):
    """One line per count class: its name, the number of entries and, where
    there are any, how they divide (luminosity classes, or codes)."""
    lines = []
    for c, name in enumerate(COUNT_CLASSES):
        split = {}
        for t, n in per_code:
            if t[0] == c and t[4]:
                split[t[4]] = split.get(t[4], 0) + int(n)
        total = sum(int(n) for t, n in per_code if t[0] == c)
        order = sorted(split, key=lambda w: (LUM_CLASSES.index(w) if w in LUM_CLASSES else 9, w))
        parts = ", ".join("%s %d" % (w, split[w]) for w in order)
        lines.append(("%-6s %8d  %s" % (name, total, parts)).rstrip())
    return lines


# ------------------------------------------------------------- the member table

# orblenz --members writes <base>.tsv beside the catalogue: a header, then
# one line per star line of the list, in list order, with the columns below
# (--faithful adds Temperature, then --binaries adds barycenter). A star with
# an entry has its name and the entry's own number texts; a star without one
# (dark, or not placed because its position or magnitude is not finite) has
# these columns empty. The barycenter column names the barycenter of the
# star's pair, when the catalogue has one for it, the dark star's of a pair
# too; an orbiting entry's RA, Dec and Distance are the place it has at the
# epoch, which the catalogue does not hold.
MEMBER_COLUMNS = "line entry code type mass L M_V T x y z RA Dec Distance AbsMag".split()
MORE_COLUMNS = ([], ["Temperature"], ["barycenter"], ["Temperature", "barycenter"])
COMPARED = TEXTS   # as in the catalogue's entries
OWN_PLACE = ("RA", "Dec", "Distance")   # an orbiting entry's, from the table
NUMBERS = ("L", "T", "x", "y", "z")
WANTED = COMPARED + NUMBERS + ("code",)


def fields(buf, begin, end):
    """The texts buf[begin:end] of every line, as one array of byte strings."""
    width = end - begin
    w = np.arange(max(int(width.max(initial=0)), 1))
    text = buf[np.minimum(begin[:, None] + w, len(buf) - 1)]
    text[w >= width[:, None]] = 0
    return text.view("S%d" % len(w)).ravel()


def read_members(path, stc, texts, pairs):
    """The member table at `path` when it belongs to the catalogue `stc`,
    whose entries' texts are `texts` and whose pairs' barycenters are named
    `pairs` (read_catalogue): luminosities, temperatures and offsets (pc) of
    every star line of the list, whether it has an entry, whether it is
    dark; and the places (RA, Dec, Distance) of the orbiting entries. It
    belongs when its stars with an entry are exactly the catalogue's entries
    in order: the same names and the same texts of what both hold (the
    number texts, the catalogue's AbsMag without its padding, and the
    barycenter an orbiting entry names, none for the others), and when every
    barycenter it names for a star without an entry is one of `pairs`.
    Unreadable, with the reason, for a table that does not belong or is not
    one as orblenz --members writes it."""
    n = len(texts["entry"])
    parts, cols, first, done = [], None, 1, 0
    other = "%s does not belong to %s (its entries are another conversion's)" % (path, stc)
    try:
        for block in blocks(path):
            if cols is None:
                head, end, block = block.partition(b"\n")
                cols = head.decode("latin-1").split("\t")
                if not end or cols[:len(MEMBER_COLUMNS)] != MEMBER_COLUMNS \
                        or cols[len(MEMBER_COLUMNS):] not in MORE_COLUMNS:
                    raise Unreadable("%s:1: not the header of a member table" % path)
                first = 2
                if not block:
                    continue
            if not block.endswith(b"\n"):
                raise Unreadable("%s:%d: the table ends inside a line" % (path, first + block.count(b"\n")))
            buf, starts, ends = line_ends(block)
            tabs = np.bincount(np.searchsorted(ends, np.flatnonzero(buf == 9)), minlength=len(ends))
            wrong = np.flatnonzero(tabs != len(cols) - 1)
            if len(wrong):
                raise Unreadable("%s:%d: %d columns, not %d"
                                 % (path, first + wrong[0], tabs[wrong[0]] + 1, len(cols)))
            seps = np.flatnonzero((buf == 9) | (buf == 10)).reshape(len(ends), len(cols))
            begin = np.concatenate((starts[:, None], seps[:, :-1] + 1), axis=1)
            col = {c: fields(buf, begin[:, j], seps[:, j]) for j, c in enumerate(cols) if c in WANTED}
            has = col["entry"] != b""
            mine = slice(done, done + int(has.sum()))
            if mine.stop > n:
                raise Unreadable(other)
            orbit = texts["barycenter"][mine] != b""
            for c in COMPARED:   # a column the table lacks: texts the entries have not either
                same = col[c][has] == texts[c][mine] if c in col else texts[c][mine] == b""
                if not (same | orbit if c in OWN_PLACE else same).all():
                    raise Unreadable(other)
            if "barycenter" in col:
                named = col["barycenter"][~has]
                if not np.isin(named[named != b""], pairs).all():
                    raise Unreadable(other)
            done = mine.stop
            try:
                part = [col[c].astype(np.float64) for c in NUMBERS] + [has, col["code"] == b"dead"]
            except ValueError:
                raise Unreadable("%s: lines %d to %d hold an L, T, x, y or z that is no number"
                                 % (path, first, first + len(ends) - 1))
            try:
                own = np.array([col[c][np.flatnonzero(has)[orbit]] for c in OWN_PLACE]).astype(np.float64)
            except ValueError:
                own = np.array(np.nan)
            if not np.isfinite(own).all():
                raise Unreadable("%s: lines %d to %d hold an orbiting entry's RA, Dec or Distance that is no"
                                 " finite number" % (path, first, first + len(ends) - 1))
            parts.append(part + [own.reshape(3, -1)])
            first += len(ends)
    except OSError as e:
        raise Unreadable("cannot read %s: %s" % (path, e.strerror or e))
    if cols is None:
        raise Unreadable("%s: empty, not a member table" % path)
    if done < n:
        raise Unreadable(other)
    if not parts:   # a header alone
        parts = [[np.zeros(0)] * len(NUMBERS) + [np.zeros(0, dtype=bool)] * 2 + [np.zeros((3, 0))]]
    return [np.concatenate([p[i] for p in parts], axis=-1) for i in range(len(NUMBERS) + 3)]


def note(text, hint="convert with orblenz --members again"):
    print("orblenz-plot: %s: the temperature-luminosity panel is left out; %s" % (text, hint), file=sys.stderr)
    return None


# ------------------------------------------------------------- the sky

def cartesian(ra, dec, dist):
    r, d = np.radians(ra), np.radians(dec)
    return dist * np.cos(d) * np.cos(r), dist * np.cos(d) * np.sin(r), dist * np.sin(d)


def spherical(x, y, z):
    dist = math.sqrt(x * x + y * y + z * z)
    return math.degrees(math.atan2(y, x)) % 360.0, (math.degrees(math.asin(z / dist)) if dist else 0.0), dist


def tangent_plane(ra, dec, ra0, dec0):
    """The gnomonic projection about the centre (ra0, dec0): the standard
    coordinates xi (positive to the east) and eta (positive to the north),
    the tangents of the angles from the centre as seen on the plane that
    touches the sky there, in degrees of arc at the centre. Unlike offsets
    in right ascension times cos Dec it keeps a round cluster round at any
    declination, across the pole too. Entries 90 degrees or more from the
    centre have no image: NaN.

    The differences are taken as sin(dDec) and sin^2(dRA / 2), so that the
    few arcseconds of a cluster's core lose no digits to cancellation."""
    d0, d = math.radians(dec0), np.radians(dec)
    dra = np.radians(ra - ra0)
    half = 2.0 * np.sin(dra / 2.0) ** 2                  # 1 - cos dRA
    cos_c = np.cos(d - d0) - math.cos(d0) * np.cos(d) * half   # cosine of the angle from the centre
    xi = np.cos(d) * np.sin(dra)
    eta = np.sin(d - d0) + math.sin(d0) * np.cos(d) * half
    with np.errstate(divide="ignore", invalid="ignore"):
        front = cos_c > 0.0
        xi = np.where(front, xi / cos_c, np.nan)
        eta = np.where(front, eta / cos_c, np.nan)
    return np.degrees(xi), np.degrees(eta)


def hms(ra):
    s = round(ra / 15.0 * 3600.0, 1) % 86400.0
    return "%dh %02dm %04.1fs" % (s // 3600, s % 3600 // 60, s % 60)


def signed(dec, digits):
    """A declination in degrees with its sign, the minus sign a real one;
    one that rounds to zero is +0, whichever side it lies on."""
    text = "%.*f" % (digits, abs(dec))
    return ("−" if dec < 0 and text.strip("0.") else "+") + text


def dms(dec):
    s = round(abs(dec) * 3600.0)
    return "%s%d° %02d′ %02d″" % ("−" if dec < 0 and s else "+", s // 3600, s % 3600 // 60, s % 60)


# ------------------------------------------------------------- the figure

MAG_REACH = 30.0   # magnitudes: how far from the middle half an entry is still shown, at least
# The marks of the stars without an entry in the temperature-luminosity panel.
NO_ENTRY = [("no entry (dark)", "o", "#000000"), ("no entry (position or magnitude not finite)", "X", "#d62728")]
NO_ENTRY_LEGEND = -0.14   # axes fraction: the top of their legend, just under the axis label


def magnitude_bulk(mag):
    """Which of the absolute magnitudes `mag` the spectral type panel shows:
    those within three interquartile ranges, and at least MAG_REACH, of the
    middle half. Real stars lie within some 35 magnitudes of each other, so
    a cluster's own spread is never cut; what lies farther off (magnitudes
    near 9000, just short of the dark limit) would squash all the rest into
    a line."""
    if not len(mag):
        return np.ones(0, dtype=bool)
    q1, q3 = np.percentile(mag, [25, 75])
    reach = max(3.0 * (q3 - q1), MAG_REACH)
    return (mag >= q1 - reach) & (mag <= q3 + reach)


def draw(base, out, cat, kinds, hr):
    try:
        import matplotlib
    except ImportError:
        sys.exit("orblenz-plot: needs matplotlib (apt-get install python3-matplotlib)")
    matplotlib.use("Agg")
    from matplotlib.figure import Figure
    from matplotlib.lines import Line2D
    from matplotlib.ticker import FixedLocator, MaxNLocator, MultipleLocator

    ra, dec, dist, mag = cat[:4]
    cls, group, style, xpos = kinds[:4]
    n = len(mag)
    many = n > 5000                       # rasterise the dots in .pdf and .svg
    fig = Figure(figsize=FIG_SIZE, dpi=DPI)
    grid = fig.add_gridspec(2, 3, width_ratios=[2.1, 1, 1], left=0.035, right=0.99,
                            bottom=0.065, top=0.91, wspace=0.22, hspace=0.3)

    if hr is not None:
        temp, lum, centre, has, dark = hr
        ra0, dec0, dist0 = spherical(*centre)
        where = "centre"
    else:
        ra0, dec0, dist0 = spherical(*(c.mean() for c in cartesian(ra, dec, dist)))
        where = "mean position"
    name = os.path.basename(base)
    if cat[5]:   # the cluster's own name, from the Barycenter line; a $ is no formula
        name = "%s (%s)" % (cat[5].replace("$", r"\$"), name)
    pairs = len(cat[7])   # the binaries, by their barycenters
    orbiting = ", %d %s orbiting" % (pairs, "binary" if pairs == 1 else "binaries") if pairs else ""
    fig.suptitle("%s: %d entries%s, %s RA %.3f° (%s), Dec %s° (%s), distance %.6g ly (%.4g pc)"
                 % (name, n, orbiting, where, ra0, hms(ra0), signed(dec0, 3),
                    dms(dec0), dist0, dist0 / PC2LY), fontsize=15)

    # -- sky chart: as in a star atlas, one dot size per magnitude step
    ax = fig.add_subplot(grid[:, 0])
    ax.set_facecolor(SKY_BG)
    dx, dy = tangent_plane(ra, dec, ra0, dec0)
    front = ~np.isnan(dx)                                  # those the plane can show
    edge = max(float(np.percentile(np.hypot(dx[front], dy[front]), 99)) * 1.15 if front.any() else 0.0, 1e-3)
    unit, scale = ("arcmin", 60.0) if edge < 2.0 else ("degrees", 1.0)
    dx, dy, edge = dx * scale, dy * scale, edge * scale
    app = mag + 5.0 * np.log10(np.maximum(dist, 1e-9) / PC2LY) - 5.0   # apparent magnitude
    bright, faint = math.floor(app.min()), math.ceil(np.percentile(app, 99))
    step = max(1, math.ceil((faint - bright) / 6))
    edges = list(range(bright, faint, step))[1:]
    level = np.digitize(app, edges)                       # 0 the brightest
    biggest = float(np.clip(7.0 * math.sqrt(3000.0 / n), 3.0, 7.0))   # a crowd in smaller dots
    sizes = [biggest * (1.0 - 0.8 * i / max(len(edges), 1)) for i in range(len(edges) + 1)]
    for i in reversed(range(len(sizes))):                 # the faint first, the bright on top
        for s, (label, marker, colour) in enumerate(SKY_STYLES):
            sel = (level == i) & (style == s) & front
            if sel.any():
                # The marks of remnants and the unclassified stay visible however faint.
                ms = max(sizes[i], biggest / 2) if s >= len(LETTERS) else sizes[i]
                ax.plot(dx[sel], dy[sel], ls="", marker=marker, ms=ms, mec="none", color=colour,
                        rasterized=many)
    present = np.unique(style)
    handles = [Line2D([], [], ls="", marker=m, color=c, label=l) for s, (l, m, c) in enumerate(SKY_STYLES)
               if s in present]
    legend = dict(fontsize=8, facecolor="#1c2238", labelcolor="white", framealpha=0.8)
    ax.add_artist(ax.legend(handles=handles, loc="upper left", **legend))
    names = ["m < %d" % edges[0] if edges else "all"] + \
        ["%d – %d" % (a, a + step) for a in edges[:-1]] + (["m ≥ %d" % edges[-1]] if edges else [])
    ax.legend(handles=[Line2D([], [], ls="", marker="o", color="white", ms=sz, label=t)
                       for sz, t in zip(sizes, names)], loc="upper right", title="apparent mag.",
              title_fontsize=8, **legend).get_title().set_color("white")
    ax.set_xlim(edge, -edge)   # east to the left
    ax.set_ylim(-edge, edge)
    ax.set_aspect("equal")
    ax.set_xlabel("ξ, east (%s from the centre, on the tangent plane; east to the left)" % unit)
    ax.set_ylabel("η, north (%s from the centre)" % unit)
    ax.set_title("The sky around the %s: colour by spectral class, size by apparent magnitude" % where,
                 fontsize=11)
    outside = int((~front).sum() + (np.maximum(np.abs(dx[front]), np.abs(dy[front])) > edge).sum())
    if outside:
        ax.text(0.99, 0.01, "%d beyond the edge" % outside, transform=ax.transAxes,
                ha="right", va="bottom", color="white", fontsize=8)

    # -- spectral type against absolute magnitude, as Hertzsprung and Russell drew it
    dot = 3.5 if n < 20000 else 1.5
    per_group = np.bincount(group, minlength=len(GROUPS))
    alpha = np.clip(3000.0 / np.maximum(per_group, 1), 0.05, 0.9)   # the crowded groups see-through

    mk = ~np.isnan(xpos)
    shown = mk.copy()
    shown[mk] = magnitude_bulk(mag[mk])
    jitter = np.random.default_rng(1).uniform(-0.4, 0.4, n)   # spread each subclass a little
    ax = fig.add_subplot(grid[0, 1] if hr is not None else grid[0, 1:])
    for g in range(len(LUM_CLASSES)):
        sel = shown & (group == g)
        ax.plot(xpos[sel] + jitter[sel], mag[sel], ls="", marker="o", ms=dot, mec="none", alpha=alpha[g],
                color=GROUP_COLOUR[g], rasterized=many)
    right = max(69.5, float(np.nanmax(xpos)) + 0.5) if mk.any() else 69.5
    ax.set_xlim(-1.5 if (xpos == -1).any() else -0.5, right)
    ax.xaxis.set_major_locator(FixedLocator(range(0, int(right) + 1, 10)))
    ax.set_xticklabels([c + "0" for c in LETTERS[:int(right) // 10 + 1]])
    ax.xaxis.set_minor_locator(MultipleLocator(1))
    ax.invert_yaxis()
    ax.set_xlabel("spectral type")
    ax.set_ylabel("AbsMag")
    ax.set_title("Spectral type and absolute magnitude", fontsize=11)
    ax.grid(alpha=0.3)
    left_out = ["%d without an MK type" % (~mk).sum()] if (~mk).any() else []
    if (mk & ~shown).any():
        left_out.append("%d beyond the edge" % (mk & ~shown).sum())
    if left_out:
        # Under the axis label, at the right: inside the axes the faintest M
        # dwarfs would lie under it.
        ax.annotate("not shown: " + ", ".join(left_out), xy=(1.0, 0.0),
                    xycoords=("axes fraction", ax.xaxis.label), xytext=(0, -2), textcoords="offset points",
                    ha="right", va="top", fontsize=8)

    # -- effective temperature against luminosity: every star of the list, from the member table
    if hr is not None:
        ax = fig.add_subplot(grid[0, 2])
        with np.errstate(divide="ignore", invalid="ignore"):
            lt, ll = np.log10(temp), np.log10(lum)
        ok = np.isfinite(lt) & np.isfinite(ll)
        # The stars without an entry first, under the entries, in marks of their own.
        handles = []
        for (label, marker, colour), sel in zip(NO_ENTRY, (ok & dark, ok & ~has & ~dark)):
            if sel.any():
                handles += ax.plot(lt[sel], ll[sel], ls="", marker=marker, ms=dot + 1, mew=0.7, mfc="none",
                                   mec=colour, alpha=float(np.clip(3000.0 / sel.sum(), 0.05, 0.9)), label=label,
                                   rasterized=many)
        row_group = np.full(len(temp), -1)
        row_group[has] = group
        for g in range(len(GROUPS)):
            sel = ok & (row_group == g)
            ax.plot(lt[sel], ll[sel], ls="", marker="o", ms=dot, mec="none", alpha=alpha[g],
                    color=GROUP_COLOUR[g], rasterized=many)
        ax.invert_xaxis()   # hot on the left
        ax.set_xlabel(r"$\log\,T_\mathrm{eff}$ / K")
        ax.set_ylabel(r"$\log\,L\,/\,L_\odot$")
        # Named after the list whose stars these are (orblenz's reading of them is the member table).
        ax.set_title("Temperature and luminosity (%s)" % os.path.basename(base + ".txt"), fontsize=11)
        ax.grid(alpha=0.3)
        if (~ok).any():
            ax.text(0.99, 0.01, "not shown: %d with T or L ≤ 0" % (~ok).sum(), transform=ax.transAxes,
                    ha="right", va="bottom", fontsize=8)
        if handles:
            # Under the axis label, at the right, where it hides no star; the
            # figure's size is fixed, and so is the label's place.
            ax.legend(handles=handles, loc="upper right", bbox_to_anchor=(1.0, NO_ENTRY_LEGEND), fontsize=8,
                      frameon=False, borderpad=0, borderaxespad=0, handletextpad=0.2)

    # -- entries per spectral class, stacked by luminosity class
    ax = fig.add_subplot(grid[1, 1:])
    xs = np.arange(len(COUNT_CLASSES))
    counts = np.bincount(cls * len(GROUPS) + group, minlength=len(COUNT_CLASSES) * len(GROUPS))
    counts = counts.reshape(len(COUNT_CLASSES), len(GROUPS))
    bottom = np.zeros(len(COUNT_CLASSES))
    for g in range(len(GROUPS)):
        if counts[:, g].any():
            ax.bar(xs, counts[:, g], bottom=bottom, color=GROUP_COLOUR[g], label=GROUP_LABEL[g], width=0.7)
            bottom += counts[:, g]
    for x, total in zip(xs, bottom):
        ax.text(x, total, "%d" % total, ha="center", va="bottom", fontsize=9)
    ax.set_xticks(xs)
    ax.set_xticklabels(COUNT_LABELS, fontsize=9)
    ax.set_ylim(0, bottom.max() * 1.12)
    ax.set_ylabel("entries")
    ax.yaxis.set_major_locator(MaxNLocator(integer=True))
    ax.set_title("Entries per spectral class, by luminosity class", fontsize=11)
    ax.legend(loc="best", fontsize=8, title="colours here and in the diagrams above", title_fontsize=8)

    fig.savefig(out)


# ------------------------------------------------------------- the run

FORMATS = (".png", ".pdf", ".svg")


def members(base, cat):
    """The temperature-luminosity panel's stars and the cluster centre from
    the member table <base>.tsv: temperatures, luminosities, the centre the
    stars were placed around, which stars have an entry and which are dark;
    or None, with a note why, when there is no table that belongs to the
    catalogue. With one, the orbiting entries of `cat` move from their
    barycenters to their own places."""
    path = base + ".tsv"
    if not os.path.exists(path):
        return note("no %s" % path, "convert with orblenz --members to draw it")
    try:
        lum, temp, x, y, z, has, dark, own = read_members(path, base + ".stc", cat[6], cat[7])
    except Unreadable as e:
        return note(str(e))
    orbit = cat[6]["barycenter"] != b""
    for j in range(3):
        cat[j][orbit] = own[j]
    # Every entry sits at the centre plus its offset.
    centre = np.stack(cartesian(*cat[:3]), axis=1) - np.stack((x, y, z), axis=1)[has] * PC2LY
    return temp, lum, centre.mean(axis=0), has, dark


def main(argv):
    p = argparse.ArgumentParser(
        prog="orblenz-plot",
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Draw the star catalogue <base>.stc that orblenz wrote into one figure:\n"
        "  - a sky chart around the cluster's centre (projected on the plane that\n"
        "    touches the sky there, north up, east to the left), dots coloured by\n"
        "    spectral class and larger for brighter stars;\n"
        "  - spectral type (O0 to M9) against absolute magnitude, coloured by\n"
        "    luminosity class;\n"
        "  - with the member table <base>.tsv that orblenz --members wrote with the\n"
        "    catalogue: effective temperature against luminosity of every star of\n"
        "    the list, those without an entry (dark ones) in marks of their own;\n"
        "  - the entries per spectral class, stacked by luminosity class.\n"
        "The title gives the number of entries, of binaries (orblenz --binaries) when\n"
        "there are any, and the centre: the one the stars were placed around with\n"
        "<base>.tsv, else their mean position. An entry that orbits its pair's\n"
        "barycenter is drawn at its own place from <base>.tsv, else at the barycenter.",
        epilog="Every line of the catalogue must be an entry or a pair's barycenter as orblenz\n"
        "writes them: the first line that is not is named with its number, and the exit\n"
        "status is 1 (2 for a usage error). The member list itself is never read:\n"
        "orblenz reads it, and\n"
        "orblenz --members [--table] <base> <prefix> <RA> <Dec> <Distance> writes\n"
        "<base>.tsv beside the catalogue. Without a <base>.tsv whose entries are the\n"
        "catalogue's (none, or an older one), the temperature panel is left out with a\n"
        "note. A run that takes more than 2 s says how long it took on standard error.")
    p.add_argument("base", help="the catalogue is <base>.stc, the member table <base>.tsv")
    p.add_argument("-o", metavar="FILE", dest="out",
                   help="write the figure to FILE instead of <base>.png; its ending .png, .pdf or .svg"
                   " picks the format")
    p.add_argument("--summary", action="store_true",
                   help="print the entries per spectral class instead of drawing: one line per class (O B A"
                   " F G K M, L,T,Y dwarfs, DZ white dwarfs, Q neutron stars and black holes, other) with the"
                   " count and its luminosity classes, letters or codes")
    p.add_argument("--table", action="store_true", help=argparse.SUPPRESS)   # refused below
    a = p.parse_args(argv)
    if a.table:
        print("orblenz-plot: --table: the plot reads no list or table; convert with orblenz --members --table"
              " and plot the catalogue", file=sys.stderr)
        return 2
    out = a.out or a.base + ".png"
    if os.path.splitext(out)[1].lower() not in FORMATS:
        p.error("the figure's file name must end in .png, .pdf or .svg: %s" % out)

    try:
        cat = read_catalogue(a.base + ".stc")
    except Unreadable as e:
        print("orblenz-plot: %s" % e, file=sys.stderr)
        return 1
    kinds = classify(cat[4])
    if a.summary:
        print("\n".join(summary_lines(kinds[4])))
        return 0
    hr = members(a.base, cat)
    cat[6] = None   # the entries' texts, matched: no longer needed
    try:
        draw(a.base, out, cat, kinds, hr)
    except OSError as e:
        print("orblenz-plot: cannot write %s: %s" % (out, e.strerror or e), file=sys.stderr)
        return 1
    took = time.monotonic() - START
    if took > SLOW_NOTE:
        print("orblenz-plot: %d entries drawn in %.1f s" % (len(cat[3]), took), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
