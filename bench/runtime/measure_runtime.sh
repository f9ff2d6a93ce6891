#!/usr/bin/env bash
# Measures the desktop runtime as a player meets it, on a build made with
# -DCMAKE_BUILD_TYPE=Release -DZK_BENCH=ON:
#   presents  quib under Xvfb at 1x and 3x, quiet and with two busy `yes`
#             processes: presents per second and the program's processor
#             share (one core = 100%) over 10 s after 2 s of warm-up
#   taps      20 quick clicks (press and release sent back to back) at 5, 10,
#             20 and 40 frames per second: how many presses the frame loop saw
#   headless  the recorder over a seeded 3,000-frame game of quib, timed as a
#             whole process: microseconds per frame (the best of 5 runs)
# Run it while nothing else loads the machine; it prints one line per figure.
#   bench/runtime/measure_runtime.sh BUILD_DIR [presents] [taps] [headless]
set -euo pipefail
build=$(cd "${1:?usage: measure_runtime.sh BUILD_DIR [presents] [taps] [headless]}" && pwd)
shift
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(presents taps headless)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb with the given screen size and sets `display`. -noreset: the
# probes below connect and leave before the program does.
start_xvfb() {
  local fifo=$work/displayfd
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  pids+=("$xvfb")
  local number
  read -r -t 20 number <"$fifo"
  display=":$number"
}
stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

find_window() {
  local w=""
  for _ in $(seq 100); do
    w=$(DISPLAY=$display xdotool search --name "^Coded using ZKlib$" 2>/dev/null | head -n1) || true
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

presents() {  # screen, label, busy processes
  local screen=$1 label=$2 busy=$3 log=$work/presents
  start_xvfb "$screen"
  local hogs=()
  for _ in $(seq "$busy"); do yes >/dev/null & hogs+=($!); pids+=($!); done
  : >"$log"
  DISPLAY=$display LD_PRELOAD=$build/bench/runtime/libzk_present_counter.so ZK_PRESENT_LOG=$log \
    "$build/game/quib" &
  local game=$!
  pids+=("$game")
  [ -n "$(find_window)" ] || { echo "$label: no window" >&2; exit 1; }
  sleep 2
  local n0 c0 n1 c1 t0 t1
  t0=$(date +%s.%N); n0=$(wc -l <"$log"); c0=$(cpu_ticks "$game")
  sleep 10
  t1=$(date +%s.%N); n1=$(wc -l <"$log"); c1=$(cpu_ticks "$game")
  stop "$game"
  for h in "${hogs[@]}"; do stop "$h"; done
  stop "$xvfb"
  awk -v n=$((n1 - n0)) -v c=$((c1 - c0)) -v t0="$t0" -v t1="$t1" -v hz="$(getconf CLK_TCK)" -v l="$label" \
    'BEGIN { printf "%s: %.1f presents/s, processor %.0f%%\n", l, n / (t1 - t0), 100 * c / hz / (t1 - t0) }'
}

taps() {  # frames per second
  local fps=$1 out=$work/taps
  start_xvfb 800x600
  DISPLAY=$display ZK_PROBE_FPS=$fps "$build/bench/runtime/zk_tap_probe" >"$out" &
  local probe=$!
  pids+=("$probe")
  local w
  w=$(find_window)
  [ -n "$w" ] || { echo "taps: no window" >&2; exit 1; }
  sleep 1
  # Five frames apart (at least 200 ms), so each click is over before the next.
  local gap
  gap=$(awk -v f="$fps" 'BEGIN { g = 5 / f; if (g < 0.2) g = 0.2; print g }')
  DISPLAY=$display xdotool mousemove --window "$w" 100 100
  for _ in $(seq 20); do
    DISPLAY=$display xdotool click 1
    sleep "$gap"
  done
  sleep "$(awk -v g="$gap" 'BEGIN { print 2 * g + 0.5 }')"
  stop "$probe"
  stop "$xvfb"
  echo "taps at $fps fps: $(grep -c '^pressed' "$out" || true) pressed, $(grep -c '^released' "$out" || true) released of 20"
}

headless() {
  printf 'random 7 60\n' >"$work/game.txt"
  local best=""
  for _ in 1 2 3 4 5; do
    local t0 t1
    t0=$(date +%s%N)
    "$build/zk_record" --program quib --script "$work/game.txt" --frames 3000 >/dev/null
    t1=$(date +%s%N)
    [ -z "$best" ] || [ "$((t1 - t0))" -lt "$best" ] && best=$((t1 - t0))
  done
  awk -v ns="$best" 'BEGIN { printf "headless: %.1f us per frame (3,000-frame recorded game, best of 5)\n", ns / 3000 / 1000 }'
}

for part in "${parts[@]}"; do
  case $part in
    presents)
      presents 400x400 "1x quiet" 0
      presents 400x400 "1x loaded" 2
      presents 1280x1024 "3x quiet" 0
      presents 1280x1024 "3x loaded" 2
      ;;
    taps) for fps in 5 10 20 40; do taps "$fps"; done ;;
    headless) headless ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done
