#!/usr/bin/env bash
# Build the libFuzzer targets of fuzz/ with clang++ into build-fuzz/ and run
# each of them for SECONDS (default 60) over a copy of its seed corpus.
#
#   tools/fuzz.sh [SECONDS]
#
# Installs clang and its runtime libraries (libFuzzer, the sanitizers) with
# apt-get when they are missing. Crash inputs are kept in
# build-fuzz/artifacts/<target>/, the fuzzers' output in
# build-fuzz/logs/<target>.log. Exits non-zero when any target found a crash
# (or failed to run).
set -euo pipefail

secs=${1:-60}
case $secs in
  '' | *[!0-9]*) echo "usage: $0 [seconds]" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build-fuzz

# A tiny program that needs libFuzzer and both sanitizers at link time.
can_fuzz() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local probe
  probe=$(mktemp -d)
  printf '%s\n' 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
  local ok=0
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1 || ok=1
  rm -rf "$probe"
  return $ok
}

if ! can_fuzz; then
  echo "fuzz.sh: installing clang and libclang-rt-14-dev" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q clang libclang-rt-14-dev
  can_fuzz || { echo "fuzz.sh: clang++ cannot link -fsanitize=fuzzer" >&2; exit 1; }
fi

CXX=clang++ cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# fuzz_fields first checks its reference decoder against the vector table.
export ORBLENZ_READ_FIELDS=$root/tests/data/read_fields.tsv

mkdir -p "$build/logs"
failed=()
for target in fuzz_fields fuzz_line fuzz_sorts fuzz_forms; do
  work=$(mktemp -d)
  cp -R "$root/fuzz/corpus/$target/." "$work/"
  mkdir -p "$build/artifacts/$target"
  args=(-max_total_time="$secs" -timeout=20 -print_final_stats=1
        -artifact_prefix="$build/artifacts/$target/")
  if [ -f "$root/fuzz/$target.dict" ]; then
    args+=(-dict="$root/fuzz/$target.dict")
  fi
  log=$build/logs/$target.log
  echo "== $target: ${secs}s over a copy of fuzz/corpus/$target"
  status=0
  "$build/$target" "${args[@]}" "$work" >"$log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$log" || true
  if [ $status -ne 0 ]; then
    echo "!! $target failed (status $status); see $log and $build/artifacts/$target/" >&2
    grep -E 'ERROR|SUMMARY|fuzz_(fields|line|sorts|forms):|Test unit written' "$log" | head -20 >&2 || true
    failed+=("$target")
  fi
  rm -rf "$work"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: crashes in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: no crash in ${secs}s per target"
