#!/usr/bin/env bash
# Builds every fuzz target with clang, libFuzzer, ASan and UBSan into
# BUILD_DIR, writes each target's seed corpus into BUILD_DIR/fuzz/corpus/NAME
# and runs the targets one after another for SECONDS in all (split evenly).
# Exits non-zero on any finding; crashing inputs are kept in
# BUILD_DIR/fuzz/artifacts.
#   fuzz/run.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS}
seconds=${2:-60}
jobs=${ZK_FUZZ_JOBS:-2}

cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZK_FUZZ=ON -DZK_TESTS=OFF -DZK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" --target zk_fuzz_all

mapfile -t targets < <(grep -v '^$' "$build/fuzz/targets.txt")
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no fuzz targets" >&2
  exit 1
fi
each=$(( seconds / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for name in "${targets[@]}"; do
  bin="$build/fuzz/$name"
  corpus="$build/fuzz/corpus/$name"
  artifacts="$build/fuzz/artifacts"
  mkdir -p "$corpus" "$artifacts"
  ZK_FUZZ_SEEDS="$corpus" "$bin"
  echo "== $name: ${each}s"
  if ! "$bin" -max_total_time="$each" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" > "$build/fuzz/$name.log" 2>&1; then
    tail -n 60 "$build/fuzz/$name.log" >&2
    echo "== $name: FINDING (see $build/fuzz/$name.log)" >&2
    status=1
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$build/fuzz/$name.log" || true
  fi
done
exit "$status"
