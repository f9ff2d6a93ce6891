#!/usr/bin/env bash
# Sets up, builds and runs every test: a plain build (with the web build and
# its tests under node and in headless Chromium), its long headless soak
# (left out of a plain `ctest`), then one under
# AddressSanitizer and UndefinedBehaviorSanitizer (with giflib built from
# source under them too), then each fuzz target for ZK_FUZZ_SECONDS (60 by
# default). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh web browser
jobs=$(nproc)

run_suite() {  # build dir, extra cmake flags...
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" -LE soak)
}

echo "== plain build"
run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK_BENCH=ON -DZK_SOAK=ON -DZK_WEB_TESTS=ON
echo "== soak"
(cd build-test && ctest --output-on-failure -L soak)
echo "== sanitized build"
giflib=$(scripts/giflib-source.sh)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DZK_SANITIZE=ON -DZK_BENCH=OFF -DZK_GIFLIB_SOURCE="$giflib"

if [ -x fuzz/run.sh ]; then
  echo "== fuzzing"
  fuzz/run.sh build-fuzz "${ZK_FUZZ_SECONDS:-60}"
fi
echo "== all tests passed"
