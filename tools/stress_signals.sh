#!/usr/bin/env bash
# Signals at random moments: for each list size and each signal, RUNS runs
# of orblenz on a generated member list, each sent the signal after a random
# delay, and every run checked against a clean run of the same list:
#   - the catalogue left behind (if any) is a byte prefix of the clean one
#     that ends at a line feed (no half line, no old or foreign bytes);
#   - the exit status and standard error are the signal's: "Interrupt" and 1
#     (SIGINT), "Killed" and 1 (SIGTERM), "Quit signal" and 134 (SIGQUIT),
#     nothing and 128 + n for every other; or, when the run ended before the
#     signal came, the clean run's status, output and whole catalogue; or,
#     when it came before anything was written, no file and 128 + n (for
#     SIGINT, SIGTERM and SIGQUIT: before the process set up its handlers).
# Prints one line per size and signal; exits 1 if any run failed a check.
#
#   tools/stress_signals.sh
#   SIZES="10000" RUNS=10 SIGNALS="HUP INT" tools/stress_signals.sh
#
# Environment:
#   SIZES     star counts          (default "10000 1000000")
#   RUNS      runs per signal      (default 50)
#   SIGNALS   signal names         (default "HUP PIPE USR1 USR2 ALRM XFSZ INT TERM QUIT")
#   SEED      generator seed       (default 20240601)
#   BUILD     build directory      (default <repo>/build)
#   SCRATCH   where files go       (default a new directory under /tmp, removed at the end)
# The delay is drawn from 0 to 1.2 times the clean run's wall time, so that
# signals fall all over the run at every size (and some after its end).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SIZES=${SIZES:-"10000 1000000"}
RUNS=${RUNS:-50}
SIGNALS=${SIGNALS:-"HUP PIPE USR1 USR2 ALRM XFSZ INT TERM QUIT"}
SEED=${SEED:-20240601}
BUILD=$(cd "${BUILD:-$repo/build}" && pwd)
orblenz=$BUILD/orblenz
gen=$BUILD/tools/gen_cluster
[[ -x $orblenz && -x $gen ]] || { echo "stress_signals: build first (cmake --build $BUILD)" >&2; exit 2; }

# Removed at the end, not by an EXIT trap: a run's shell, signalled before
# it starts orblenz, would run the trap.
own_scratch=0
if [[ -z ${SCRATCH:-} ]]; then
    SCRATCH=$(mktemp -d /tmp/orblenz-stress-XXXXXX)
    own_scratch=1
fi
mkdir -p "$SCRATCH"
cd "$SCRATCH"
ulimit -c 0  # SIGQUIT and SIGXFSZ would dump core

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Wait some milliseconds without starting a process: a read that times out
# on a FIFO nobody writes.
mkfifo idle.fifo
exec 9<>idle.fifo
pause_ms() { read -r -t "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))" -u 9 || true; }

failed=0
for n in $SIZES; do
    "$gen" "$n" "$SEED" >s.txt
    t0=$(now_ms)
    "$orblenz" s T_ 83.75 -22.5 3000. >clean.out 2>clean.err || { echo "stress_signals: clean run failed" >&2; exit 2; }
    maxdelay=$((($(now_ms) - t0) * 12 / 10 + 1))
    mv s.stc clean.stc
    for name in $SIGNALS; do
        num=$(kill -l "$name")
        case $name in
        INT) want_err="Interrupt" want_st=1 ;;
        TERM) want_err="Killed" want_st=1 ;;
        QUIT) want_err="Quit signal" want_st=134 ;;
        *) want_err="" want_st=$((128 + num)) ;;
        esac
        ok=0 ended=0 early=0 bad=0 sizes=()
        for ((r = 1; r <= RUNS; r++)); do
            rm -f s.stc
            delay=$((RANDOM * 32768 + RANDOM))
            delay=$((delay % maxdelay))
            # A background command starts with SIGINT and SIGQUIT ignored: not this one.
            env --default-signal=INT,QUIT "$orblenz" s T_ 83.75 -22.5 3000. >run.out 2>run.err &
            pid=$!
            pause_ms "$delay"
            kill -s "$name" "$pid" 2>/dev/null || true
            st=0
            { wait "$pid"; } 2>/dev/null || st=$?  # no "Hangup" etc. from the shell
            size=0
            [[ -f s.stc ]] && size=$(stat -c %s s.stc)
            why=""
            if [[ $size -gt 0 ]]; then
                cmp -s -n "$size" s.stc clean.stc || why="not a prefix of the clean catalogue"
                [[ -z $why && $(tail -c 1 s.stc | od -An -tx1) != " 0a" ]] && why="ends inside a line"
            fi
            if [[ -z $why && $st -eq 0 ]]; then
                cmp -s s.stc clean.stc && cmp -s run.out clean.out && [[ ! -s run.err ]] || why="status 0, output not the clean run's"
                ended=$((ended + 1))
            elif [[ -z $why && ! -f s.stc && $st -eq $((128 + num)) && ! -s run.err ]]; then
                early=$((early + 1))  # before the first entry (or before start-up): nothing written
            elif [[ -z $why ]]; then
                [[ $st -eq $want_st && $(cat run.err) == "$want_err" ]] ||
                    why="status $st, standard error '$(head -c 80 run.err)'"
                sizes+=("$size")
            fi
            if [[ -n $why ]]; then
                bad=$((bad + 1))
                echo "  $n stars, SIG$name after $delay ms: $why" >&2
            else
                ok=$((ok + 1))
            fi
        done
        median=$(printf '%s\n' "${sizes[@]:-0}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
        printf '%8d stars  SIG%-5s runs %3d  ok %3d  failed %d  (no file yet %d, after the end %d; median catalogue left %d bytes)\n' \
            "$n" "$name" "$RUNS" "$ok" "$bad" "$early" "$ended" "$median"
        ((bad == 0)) || failed=1
    done
done
exec 9<&-
cd /
((own_scratch == 0)) || rm -rf "$SCRATCH"
exit $failed
