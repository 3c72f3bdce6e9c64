#!/usr/bin/env bash
# Build orblenz and run every test: the unit and end-to-end tests, the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, and a short
# run of each fuzz target. Installs what a fresh machine lacks (as root).
#
#   tools/test.sh            everything (FUZZ_SECONDS per fuzz target, default 60)
#   QUICK=1 tools/test.sh    the normal build's tests only
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v man >/dev/null || need+=(man-db)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
/usr/bin/python3 -c 'import matplotlib, numpy' 2>/dev/null || need+=(python3-matplotlib python3-numpy)
if [ ${#need[@]} -gt 0 ] && [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && apt-get install -y -q "${need[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORBLENZ_TESTS=ON >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

# The Debian package, and what it installs.
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/orblenz_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
guide=()
for page in doc/*.md doc/m67.png; do guide+=("./usr/share/doc/orblenz/$page"); done
for f in ./usr/bin/orblenz ./usr/bin/orblenz-plot ./usr/share/man/man1/orblenz.1 \
         ./usr/share/doc/orblenz/README.md ./usr/share/doc/orblenz/LICENSE "${guide[@]}"; do
  grep -qx -- "$f" <<<"$files" || { echo "test.sh: $deb does not install $f" >&2; exit 1; }
done
for d in python3-matplotlib python3-numpy; do
  dpkg-deb -f "$deb" Depends | grep -qw -- "$d" || { echo "test.sh: $deb does not depend on $d" >&2; exit 1; }
done
echo "test.sh: $deb installs $(grep -c -v '/$' <<<"$files") files"

if [ "${QUICK:-0}" = 1 ]; then exit 0; fi

# The sanitizer build runs the same tests; the exactness tests with fewer values.
ORBLENZ_EXACT_COUNT=100000 tools/sanitize.sh
tools/fuzz.sh "${FUZZ_SECONDS:-60}"
