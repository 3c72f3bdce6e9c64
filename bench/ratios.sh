#!/usr/bin/env bash
# What the conversion costs against the cost of moving its bytes, in one run:
#
#   conversion / floor      wall time: the floor reads the list and writes a
#                           catalogue of the same size over an old one
#                           (cat list >/dev/null; cat old.stc > <base>.stc),
#                           which any program that must read the one and
#                           write the other pays;
#   --check / conversion    wall time;
#   --faithful, --members,
#   --table, --binaries
#     / conversion          CPU time (user + system) of each option;
#   --binaries, every star
#     in a pair             CPU time of --table --binaries against --table on
#                           a table of STARS / 10 stars that are all bound
#                           pairs (gen_cluster --table --binaries).
#
#   bench/ratios.sh
#   PAIRS=11 STARS=100000 bench/ratios.sh
#
# On two lists of STARS stars: the benchmark's generated list, and the same
# list with lines of 19, 20 and 21 columns, as hand-edited lists have them
# (a quarter of the lines lose their 20th column, a quarter gain a 21st:
# half the lines differ from the first line's count, which the check
# reports). Every figure is the median of PAIRS ratios of runs taken in
# turn, the order swapped from pair to pair, so that a machine whose speed
# drifts weighs on both alike. Each conversion, like the floor, writes over
# a copy of an old catalogue of the same size (its emptying costs the file
# system some milliseconds per million entries); the copy is made before the
# run and written to the disk, untimed. Every conversion is checked (exit status 0, nothing on
# standard error, a report that counts every star), and so is the check
# (exit status 0 or 1: the varied list has findings). Times come from
# tools/run_timed (fork to the end of the wait).
#
# Environment:
#   PAIRS     pairs of runs per figure      (default 7)
#   STARS     stars in the lists            (default 1000000)
#   SEED      generator seed                (default 20240601)
#   BUILD     build directory               (default <repo>/build-bench)
#   SCRATCH   lists and catalogues          (default /tmp/orblenz-bench)
#   PLACE     RA Dec Distance of the centre (default "83.75 -22.5 3000.")
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
PAIRS=${PAIRS:-7}
STARS=${STARS:-1000000}
SEED=${SEED:-20240601}
BUILD=${BUILD:-$repo/build-bench}
SCRATCH=${SCRATCH:-/tmp/orblenz-bench}
PLACE=${PLACE:-"83.75 -22.5 3000."}

die() { echo "ratios: $*" >&2; exit 1; }
[[ $PAIRS =~ ^[1-9][0-9]*$ ]] || die "PAIRS must be a positive integer"
[[ $STARS =~ ^[1-9][0-9]*$ ]] || die "STARS must be a positive integer"
mkdir -p "$SCRATCH"

# ---------------------------------------------------------------- build

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
    cmake -S "$repo" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt" || die "$BUILD is not a Release build"
cmake --build "$BUILD" -j"$(nproc)" --target orblenz gen_cluster run_timed >/dev/null
orblenz=$BUILD/orblenz
gen=$BUILD/tools/gen_cluster
timer=$BUILD/tools/run_timed

# ---------------------------------------------------------------- lists

work=$SCRATCH/ratios
mkdir -p "$work"
cd "$work"
plain=$(echo "c${STARS}_$SEED" | cut -c1-20)
varied=v$plain
pairs=p$(echo "c$((STARS / 10))_$SEED" | cut -c1-19)
genid=$(cksum <"$repo/tools/gen_cluster.cpp" | cut -d' ' -f1)
if [[ ! -f $plain.txt || ! -f $plain.ok || $(cat "$plain.ok") != "$genid" ]]; then
    "$gen" "$STARS" "$SEED" >"$plain.part"
    mv "$plain.part" "$plain.txt"
    awk 'BEGIN {FS = OFS = "\t"} {if (NR % 4 == 1) NF = 19; else if (NR % 4 == 3) $21 = "0."; print}' \
        "$plain.txt" >"$varied.part"
    mv "$varied.part" "$varied.txt"
    "$gen" --table --binaries $((STARS / 10)) "$SEED" >"$pairs.part"
    mv "$pairs.part" "$pairs.txt"
    echo "$genid" >"$plain.ok"
fi

# ---------------------------------------------------------------- runs

# One timed run: "wall-ns cpu-s" on standard output. `conv` runs convert
# (`tconv` with --table; over a copy of the old catalogue) and are checked; `check`
# runs check; `floor` runs the floor.
timed() {
    local kind=$1 base=$2
    shift 2
    rm -f "$base.tsv"
    [[ $kind == check ]] || cp "$base.old" "$base.stc"
    # Nothing of an earlier run or of the copy is still on its way to the
    # disk when a run starts: each pays for its own writing alone.
    sync
    set +e
    case $kind in
        floor) "$timer" run.stats sh -c "cat '$base.txt' >/dev/null; cat '$base.old' >'$base.stc'" >run.out 2>run.err ;;
        check) "$timer" run.stats "$orblenz" --check "$@" "$base" >run.out 2>run.err ;;
        tconv) "$timer" run.stats "$orblenz" --table "$@" "$base" BENCH_ $PLACE >run.out 2>run.err ;;
        *) "$timer" run.stats "$orblenz" "$@" "$base" BENCH_ $PLACE >run.out 2>run.err ;;
    esac
    local rc=$?
    set -e
    case $kind in
        check) [[ $rc -le 1 && ! -s run.err ]] || die "--check $base: exit status $rc: $(head -3 run.err)" ;;
        floor) [[ $rc -eq 0 ]] || die "the floor on $base: exit status $rc" ;;
        *)
            [[ $rc -eq 0 && ! -s run.err ]] || die "$* $base: exit status $rc: $(head -3 run.err)"
            local n=$STARS
            [[ $base == "$pairs" ]] && n=$((STARS / 10))
            grep -q "total stars= *$n " run.out || die "$* $base: the report does not count $n stars"
            ;;
    esac
    awk '{print $1, $3 + $4}' run.stats
}

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# The median over PAIRS pairs of B / A (field 1: wall time, 2: CPU time),
# A a run of kind $3, B one of kind $4 with the options after it, taken in
# turn, the order swapped from pair to pair; then the median times of B and
# of A.
ratio() {
    local base=$1 field=$2 akind=$3 bkind=$4 i ta tb
    shift 4
    : >pairs
    for ((i = 1; i <= PAIRS; i++)); do
        if ((i % 2)); then
            ta=$(timed "$akind" "$base"); tb=$(timed "$bkind" "$base" "$@")
        else
            tb=$(timed "$bkind" "$base" "$@"); ta=$(timed "$akind" "$base")
        fi
        echo "$ta $tb" >>pairs
    done
    local r ta tb s=$((field == 1 ? 1000000000 : 1))
    r=$(awk -v f="$field" '{print $(2 + f) / $f}' pairs | median)
    ta=$(awk -v f="$field" -v s="$s" '{print $f / s}' pairs | median)
    tb=$(awk -v f="$field" -v s="$s" '{print $(2 + f) / s}' pairs | median)
    printf '%.2f (%.3f s / %.3f s)' "$r" "$tb" "$ta"
}

cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | sed 's/^model name[[:space:]]*:[[:space:]]*//' || true)
echo "machine: $(nproc) cores, ${cpu:-unknown CPU}; $(git -C "$repo" describe --always --dirty 2>/dev/null || echo "no commit")"
echo "runs:    $PAIRS pairs per figure on $STARS stars, the order swapped from pair to pair; each figure"
echo "         the median of the pairs' ratios B / A (in brackets the median times of B and of A)"
echo
echo "| list | conversion / floor, wall | --check / conversion, wall | --faithful, CPU | --members, CPU | --table, CPU | --binaries, CPU |"
echo "|------|-------------------------:|---------------------------:|----------------:|---------------:|-------------:|----------------:|"
for base in "$plain" "$varied"; do
    [[ -f $base.old ]] || { "$orblenz" "$base" BENCH_ $PLACE >/dev/null; mv "$base.stc" "$base.old"; }
    name=$([[ $base == "$plain" ]] && echo "generated" || echo "19 to 21 columns")
    floor=$(ratio "$base" 1 floor conv)
    check=$(ratio "$base" 1 conv check)
    faithful=$(ratio "$base" 2 conv conv --faithful)
    members=$(ratio "$base" 2 conv conv --members)
    table=$(ratio "$base" 2 conv conv --table)
    binaries=$(ratio "$base" 2 conv conv --binaries)
    echo "| $name | $floor | $check | $faithful | $members | $table | $binaries |"
done
[[ -f $pairs.old ]] || { "$orblenz" --table "$pairs" BENCH_ $PLACE >/dev/null; mv "$pairs.stc" "$pairs.old"; }
echo
echo "| list | --table --binaries / --table, CPU |"
echo "|------|----------------------------------:|"
echo "| $((STARS / 10)) stars, every one in a bound pair | $(ratio "$pairs" 2 tconv tconv --binaries) |"
rm -f ./*.stc ./*.tsv run.*
