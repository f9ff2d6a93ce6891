#!/usr/bin/env bash
# Sets up, builds and runs every test: a plain build (with the web build and
# its tests under node and in headless Chromium), then one under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets for
# a short fixed budget. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh web browser
jobs=$(nproc)

run_suite() {  # build dir, extra cmake flags...
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

echo "== plain build"
run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK_BENCH=ON
echo "== sanitized build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DZK_SANITIZE=ON -DZK_BENCH=OFF

if [ -x fuzz/run.sh ]; then
  echo "== fuzzing"
  fuzz/run.sh build-fuzz "${ZK_FUZZ_SECONDS:-25}"
fi
echo "== all tests passed"
