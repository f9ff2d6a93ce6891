#!/usr/bin/env bash
# Builds every fuzz target with clang, libFuzzer, ASan and UBSan into
# BUILD_DIR, over giflib built from source with the same instrumentation,
# writes each target's seeds into BUILD_DIR/fuzz/corpus/NAME and runs the
# targets one after another for SECONDS each, one job, starting from the
# seeds and the committed corpus fuzz/corpus/NAME. Exits non-zero on any
# finding; crashing inputs are kept in BUILD_DIR/fuzz/artifacts.
#   fuzz/run.sh BUILD_DIR [SECONDS] [NAME...]
# With ZK_FUZZ_MERGE=1 it afterwards replaces fuzz/corpus/NAME by a small set
# of inputs that reaches every code edge that the committed corpus and the
# run's inputs reach together: that is how the committed corpus is made.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [NAME...]}
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
jobs=${ZK_FUZZ_JOBS:-2}

giflib=$(scripts/giflib-source.sh)
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZK_GIFLIB_SOURCE="$giflib" \
  -DZK_FUZZ=ON -DZK_TESTS=OFF -DZK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" --target zk_fuzz_all

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(grep -v '^$' "$build/fuzz/targets.txt")
fi
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no fuzz targets" >&2
  exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for name in "${targets[@]}"; do
  bin="$build/fuzz/$name"
  corpus="$build/fuzz/corpus/$name"
  artifacts="$build/fuzz/artifacts"
  mkdir -p "$corpus" "$artifacts" "fuzz/corpus/$name"
  ZK_FUZZ_SEEDS="$corpus" "$bin"
  echo "== $name: ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" "fuzz/corpus/$name" \
      > "$build/fuzz/$name.log" 2>&1; then
    tail -n 60 "$build/fuzz/$name.log" >&2
    echo "== $name: FINDING (see $build/fuzz/$name.log)" >&2
    status=1
    continue
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$build/fuzz/$name.log" || true
  if [ "${ZK_FUZZ_MERGE:-0}" = 1 ]; then
    merged="$build/fuzz/merged/$name"
    rm -rf "$merged" && mkdir -p "$merged"
    "$bin" -merge=1 -use_counters=0 "$merged" "fuzz/corpus/$name" "$corpus" > "$build/fuzz/$name.merge.log" 2>&1
    rm -rf "fuzz/corpus/$name" && cp -r "$merged" "fuzz/corpus/$name"
    echo "== $name: corpus of $(ls "fuzz/corpus/$name" | wc -l) inputs"
  fi
done
exit "$status"
