#!/usr/bin/env bash
# Whole-process benchmark of orblenz.
#
#   bench/run_bench.sh                      # 10^4 .. 10^7 stars, 5 runs each
#   SIZES="10000 100000" RUNS=3 bench/run_bench.sh
#
# Builds orblenz (Release) and the member-list generator if needed, generates
# one member list per size into a scratch directory (kept and reused by later
# runs), converts each list RUNS times into a real catalogue (in rounds of
# one run per size, so a drifting machine weighs on every size alike) and
# prints one markdown table row per size: stars, median wall time, stars per
# second,
# the largest peak resident memory of the runs, the best wall time and the
# median user + system CPU time (on a shared machine the best run and the CPU
# time show the program, the median wall time shows the machine as well).
# Times and memory come from tools/run_timed: the wall time runs from the
# fork to the end of the wait, nothing else.
# Every run is checked: exit status 0, nothing on standard error (no fatal
# report), a totals line that counts every star, one catalogue entry per
# star that is not dead.
# Each round also converts the same list with --table (the cluster
# generator's reading rules; the list is a valid table, so its catalogue
# must be the same bytes) and checks it with --check (which must find no
# warning or error; the note on dark shining stars leaves the status 0): the
# last two columns are their median wall times.
#
# Environment:
#   SIZES     star counts                   (default "10000 100000 1000000 10000000")
#   RUNS      runs per size                 (default 5)
#   SEED      generator seed                (default 20240601)
#   BUILD     build directory               (default <repo>/build-bench)
#   SCRATCH   where lists and catalogues go (default /tmp/orblenz-bench)
#   PLACE     RA Dec Distance of the centre (default "83.75 -22.5 3000.")
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
SIZES=${SIZES:-"10000 100000 1000000 10000000"}
RUNS=${RUNS:-5}
SEED=${SEED:-20240601}
BUILD=${BUILD:-$repo/build-bench}
SCRATCH=${SCRATCH:-/tmp/orblenz-bench}
PLACE=${PLACE:-"83.75 -22.5 3000."}

die() { echo "run_bench: $*" >&2; exit 1; }

[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive integer"
for n in $SIZES; do [[ $n =~ ^[1-9][0-9]*$ ]] || die "bad size '$n'"; done

# ---------------------------------------------------------------- tools

# ---------------------------------------------------------------- build

orblenz=$BUILD/orblenz
if [[ ! -f $BUILD/CMakeCache.txt ]]; then
    cmake -S "$repo" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt" ||
    die "$BUILD is not a Release build"
cmake --build "$BUILD" -j"$(nproc)" --target orblenz >/dev/null
[[ -x $orblenz ]] || die "no $orblenz after the build"

mkdir -p "$SCRATCH"
# The member-list generator and the timer, from this build tree or, when
# tools/ is not part of it, compiled on their own.
tool() {
    local t=$BUILD/tools/$1
    if ! cmake --build "$BUILD" -j"$(nproc)" --target "$1" >/dev/null 2>&1 || [[ ! -x $t ]]; then
        t=$SCRATCH/$1
        if [[ ! -x $t || $repo/tools/$1.cpp -nt $t ]]; then
            "${CXX:-g++}" -std=c++17 -O2 -Wall -Wextra -Wpedantic -ffp-contract=off -o "$t" "$repo/tools/$1.cpp"
        fi
    fi
    echo "$t"
}
gen=$(tool gen_cluster)
timer=$(tool run_timed)

# ---------------------------------------------------------------- machine

cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | sed 's/^model name[[:space:]]*:[[:space:]]*//' || true)
commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
if [[ -n $(git -C "$repo" status --porcelain --untracked-files=no 2>/dev/null) ]]; then
    commit="$commit (with uncommitted changes)"
fi
echo "machine: $(nproc) cores, ${cpu:-unknown CPU}, $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
echo "commit:  $commit"
echo "runs:    $RUNS per size, median wall time; seed $SEED; placement $PLACE"
echo

# ---------------------------------------------------------------- lists

# Short base names: orblenz keeps only 20 characters of the base name.
base_of() { echo "c${1}_$SEED" | cut -c1-20; }

# A list is reused only if the generator's source is the one that wrote it.
genid=$(cksum <"$repo/tools/gen_cluster.cpp" | cut -d' ' -f1)
generated=0
for n in $SIZES; do
    b=$(base_of "$n")
    list=$SCRATCH/$b.txt
    if [[ -f $list && -f $list.ok && $(cat "$list.ok") == "$genid" ]]; then continue; fi
    t0=$(date +%s%N)
    "$gen" "$n" "$SEED" >"$list.part"
    mv "$list.part" "$list"
    echo "$genid" >"$list.ok"
    t1=$(date +%s%N)
    awk -v n="$n" -v b="$(stat -c %s "$list")" -v t="$((t1 - t0))" \
        'BEGIN {printf "generated %d stars (%.0f MiB) in %.1f s\n", n, b / 1048576, t / 1e9}'
    generated=1
done

if ((generated)); then echo; fi

# ---------------------------------------------------------------- runs

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

cd "$SCRATCH"
for n in $SIZES; do
    b=$(base_of "$n")
    : >"$b.times"
    : >"$b.cpu"
    : >"$b.rssall"
    : >"$b.ttimes"
    : >"$b.ctimes"
done

# One run of every size per round, so that a machine whose speed drifts
# (a shared host) weighs on every size alike.
for ((r = 1; r <= RUNS; r++)); do
    for n in $SIZES; do
        b=$(base_of "$n")
        rm -f "$b.stc"
        set +e
        # shellcheck disable=SC2086
        "$timer" "$b.rss" "$orblenz" "$b" BENCH_ $PLACE >"$b.report" 2>"$b.err"
        rc=$?
        set -e
        read -r wall rss usr sys < <(tail -1 "$b.rss")
        echo "$wall" >>"$b.times"  # nanoseconds

        # The conversion must succeed: no fatal report, every star counted.
        [[ $rc -eq 0 ]] || die "$b: orblenz exit status $rc: $(head -3 "$b.err")"
        [[ ! -s $b.err ]] || die "$b: output on standard error: $(head -3 "$b.err")"
        total=$(sed -n 's/.*total stars= *\([0-9]*\).*/\1/p' "$b.report")
        [[ $total == "$n" ]] || die "$b: report counts '$total' stars, list has $n"
        dead=$(awk '$1 == "dead" {print $2; exit}' "$b.report")
        entries=$(wc -l <"$b.stc")
        [[ $entries -eq $((n - ${dead:-0})) ]] ||
            die "$b: $entries catalogue entries for $n stars of which ${dead:-0} dead"

        awk -v u="$usr" -v s="$sys" 'BEGIN {print u + s}' >>"$b.cpu"
        echo "$rss" >>"$b.rssall"

        # The same list under the table's reading rules: the same catalogue.
        mv "$b.stc" "$b.ref.stc"
        set +e
        # shellcheck disable=SC2086
        "$timer" "$b.rss" "$orblenz" --table "$b" BENCH_ $PLACE >"$b.report" 2>"$b.err"
        rc=$?
        set -e
        [[ $rc -eq 0 && ! -s $b.err ]] || die "$b: orblenz --table exit status $rc: $(head -3 "$b.err")"
        cmp -s "$b.stc" "$b.ref.stc" || die "$b: --table wrote another catalogue"
        rm -f "$b.ref.stc"
        read -r wall rss _ < <(tail -1 "$b.rss")
        echo "$wall" >>"$b.ttimes"
        echo "$rss" >>"$b.rssall"

        # The check of the list finds no warning or error.
        set +e
        "$timer" "$b.rss" "$orblenz" --check "$b" >"$b.report" 2>"$b.err"
        rc=$?
        set -e
        [[ $rc -eq 0 ]] || die "$b: orblenz --check exit status $rc: $(head -3 "$b.report" "$b.err")"
        read -r wall rss _ < <(tail -1 "$b.rss")
        echo "$wall" >>"$b.ctimes"
        echo "$rss" >>"$b.rssall"
    done
done

echo "| stars | median wall (s) | stars/s | peak RSS (KiB) | best wall (s) | median CPU (s) | --table wall (s) | --check wall (s) |"
echo "|------:|----------------:|--------:|---------------:|--------------:|---------------:|-----------------:|-----------------:|"
for n in $SIZES; do
    b=$(base_of "$n")
    med=$(median <"$b.times")
    best=$(sort -g "$b.times" | head -1)
    cpu=$(median <"$b.cpu")
    rss_max=$(sort -g "$b.rssall" | tail -1)
    tmed=$(median <"$b.ttimes")
    cmed=$(median <"$b.ctimes")
    awk -v n="$n" -v t="$med" -v m="$rss_max" -v b="$best" -v c="$cpu" -v tt="$tmed" -v ct="$cmed" \
        'BEGIN {printf "| %d | %.3f | %.0f | %d | %.3f | %.2f | %.3f | %.3f |\n", n, t / 1e9, n / (t / 1e9), m, b / 1e9, c, tt / 1e9, ct / 1e9}'
done
