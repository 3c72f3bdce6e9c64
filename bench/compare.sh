#!/usr/bin/env bash
# Two builds of orblenz side by side, in one run: the same list converted by
# each in turn, the order swapped from pair to pair (A B, B A, A B, ...), so
# that a machine whose speed drifts weighs on both alike.
#
#   bench/compare.sh 858e398 HEAD              # two commits of this repository
#   bench/compare.sh old/orblenz build/orblenz # or two programs
#   PAIRS=25 STARS=100000 bench/compare.sh A B
#
# A build is a program (a path to an executable file) or a commit: a commit
# is exported with `git archive` into the scratch directory and built there
# (Release, without tests) once, then reused. Every run is checked (exit
# status 0, nothing on standard error, a totals line that counts every
# star); the first pair's catalogues and reports are compared and a
# difference is named (it is not an error: two commits may mean to differ).
#
# Prints one markdown table row per build: median CPU time (user + system)
# and median wall time of its runs, the best wall time, and for B the
# median of the pairs' ratios B / A (CPU and wall), with the lowest and
# highest ratio. Times come from tools/run_timed.
#
# Environment:
#   PAIRS     pairs of runs                 (default 15)
#   STARS     stars in the list             (default 1000000)
#   SEED      generator seed                (default 20240601)
#   SCRATCH   lists, builds and catalogues  (default /tmp/orblenz-bench)
#   PLACE     RA Dec Distance of the centre (default "83.75 -22.5 3000.")
#   JOBS      parallel compile jobs         (default 2)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
PAIRS=${PAIRS:-15}
STARS=${STARS:-1000000}
SEED=${SEED:-20240601}
SCRATCH=${SCRATCH:-/tmp/orblenz-bench}
PLACE=${PLACE:-"83.75 -22.5 3000."}
JOBS=${JOBS:-2}

die() { echo "compare: $*" >&2; exit 1; }

[[ $# -eq 2 ]] || die "usage: bench/compare.sh A B (each a program or a commit)"
[[ $PAIRS =~ ^[1-9][0-9]*$ ]] || die "PAIRS must be a positive integer"
[[ $STARS =~ ^[1-9][0-9]*$ ]] || die "STARS must be a positive integer"
mkdir -p "$SCRATCH"

# ---------------------------------------------------------------- tools

tool() {
    local t=$SCRATCH/$1
    if [[ ! -x $t || $repo/tools/$1.cpp -nt $t ]]; then
        "${CXX:-g++}" -std=c++17 -O2 -Wall -Wextra -Wpedantic -ffp-contract=off -o "$t" "$repo/tools/$1.cpp"
    fi
    echo "$t"
}
gen=$(tool gen_cluster)
timer=$(tool run_timed)

# ---------------------------------------------------------------- builds

# The program of a build, and a label for it.
program() {
    local arg=$1
    if [[ -f $arg && -x $arg ]]; then
        (cd "$(dirname "$arg")" && echo "$(pwd)/$(basename "$arg")")
        return
    fi
    local rev
    rev=$(git -C "$repo" rev-parse --verify --quiet "$arg^{commit}") || die "'$arg' is neither a program nor a commit"
    rev=${rev:0:12}
    local src=$SCRATCH/src-$rev
    if [[ ! -f $src/.complete ]]; then
        rm -rf "$src"
        mkdir -p "$src"
        git -C "$repo" archive --format=tar "$rev" | tar -x -C "$src"
        touch "$src/.complete"
    fi
    if [[ ! -f $src/build/CMakeCache.txt ]]; then
        cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=Release -DORBLENZ_TESTS=OFF >"$src/build.log" 2>&1 ||
            die "$arg does not configure: see $src/build.log"
    fi
    cmake --build "$src/build" -j"$JOBS" --target orblenz >>"$src/build.log" 2>&1 ||
        die "$arg does not build: see $src/build.log"
    # The program moved to the top of the build folder at some point.
    local p
    for p in "$src/build/orblenz" "$src/build/src/driver/orblenz"; do
        if [[ -f $p && -x $p ]]; then
            echo "$p"
            return
        fi
    done
    die "no orblenz in $src/build"
}
label() {
    if [[ -f $1 && -x $1 ]]; then echo "$1"; else echo "$1 ($(git -C "$repo" rev-parse --short "$1^{commit}"))"; fi
}

prog_a=$(program "$1")
prog_b=$(program "$2")
label_a=$(label "$1")
label_b=$(label "$2")

# ---------------------------------------------------------------- list

base=$(echo "c${STARS}_$SEED" | cut -c1-20)
list=$SCRATCH/$base.txt
genid=$(cksum <"$repo/tools/gen_cluster.cpp" | cut -d' ' -f1)
if [[ ! -f $list || ! -f $list.ok || $(cat "$list.ok") != "$genid" ]]; then
    "$gen" "$STARS" "$SEED" >"$list.part"
    mv "$list.part" "$list"
    echo "$genid" >"$list.ok"
fi

cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | sed 's/^model name[[:space:]]*:[[:space:]]*//' || true)
echo "machine: $(nproc) cores, ${cpu:-unknown CPU}"
echo "A:       $label_a"
echo "B:       $label_b"
echo "runs:    $PAIRS pairs on $STARS stars, the order swapped from pair to pair; seed $SEED; placement $PLACE"
echo

# ---------------------------------------------------------------- runs

work=$SCRATCH/compare
mkdir -p "$work"
ln -sf "$list" "$work/$base.txt"
cd "$work"
: >a.runs
: >b.runs

# One run of a build: its line "wall-ns cpu-s" appended to the file given.
run_one() {
    local prog=$1 out=$2 tag=$3
    rm -f "$base.stc"
    set +e
    # shellcheck disable=SC2086
    "$timer" "$tag.stats" "$prog" "$base" BENCH_ $PLACE >"$tag.report" 2>"$tag.err"
    local rc=$?
    set -e
    [[ $rc -eq 0 ]] || die "$tag: exit status $rc: $(head -3 "$tag.err")"
    [[ ! -s $tag.err ]] || die "$tag: output on standard error: $(head -3 "$tag.err")"
    local total
    total=$(sed -n 's/.*total stars= *\([0-9]*\).*/\1/p' "$tag.report")
    [[ $total == "$STARS" ]] || die "$tag: report counts '$total' stars, list has $STARS"
    local wall usr sys
    read -r wall _ usr sys < <(tail -1 "$tag.stats")
    awk -v w="$wall" -v u="$usr" -v s="$sys" 'BEGIN {print w, u + s}' >>"$out"
}

for ((i = 1; i <= PAIRS; i++)); do
    if ((i % 2)); then
        run_one "$prog_a" a.runs a
        mv "$base.stc" a.stc
        run_one "$prog_b" b.runs b
    else
        run_one "$prog_b" b.runs b
        mv "$base.stc" b.stc
        run_one "$prog_a" a.runs a
    fi
    if ((i == 1)); then
        cmp -s a.stc "$base.stc" || echo "note: the catalogues of A and B differ"
        cmp -s a.report b.report || echo "note: the reports of A and B differ"
    fi
done
rm -f "$base.stc" a.stc b.stc

# ---------------------------------------------------------------- table

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
cpu_a=$(awk '{print $2}' a.runs | median)
cpu_b=$(awk '{print $2}' b.runs | median)
wall_a=$(awk '{print $1 / 1e9}' a.runs | median)
wall_b=$(awk '{print $1 / 1e9}' b.runs | median)
best_a=$(awk '{print $1 / 1e9}' a.runs | sort -g | head -1)
best_b=$(awk '{print $1 / 1e9}' b.runs | sort -g | head -1)
paste a.runs b.runs | awk '{print $4 / $2, $3 / $1}' >ratios
rcpu=$(awk '{print $1}' ratios | median)
rwall=$(awk '{print $2}' ratios | median)
rlo=$(awk '{print $1}' ratios | sort -g | head -1)
rhi=$(awk '{print $1}' ratios | sort -g | tail -1)

echo "| build | median CPU (s) | median wall (s) | best wall (s) | CPU B / A, median of pairs (lowest, highest) | wall B / A, median of pairs |"
echo "|-------|---------------:|----------------:|--------------:|---------------------------:|---------------------------:|"
awk -v l="$label_a" -v c="$cpu_a" -v w="$wall_a" -v b="$best_a" \
    'BEGIN {printf "| A: %s | %.3f | %.3f | %.3f | | |\n", l, c, w, b}'
awk -v l="$label_b" -v c="$cpu_b" -v w="$wall_b" -v b="$best_b" -v r="$rcpu" -v lo="$rlo" -v hi="$rhi" -v rw="$rwall" \
    'BEGIN {printf "| B: %s | %.3f | %.3f | %.3f | %.3f (%.3f, %.3f) | %.3f |\n", l, c, w, b, r, lo, hi, rw}'
