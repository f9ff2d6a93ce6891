#!/usr/bin/env bash
# Records the checked-in demo script twice and checks that both runs write
# the same bytes, that frame 0 is the game's first frame (not a blank
# window), and that the GIF stays small enough for a README.
# Usage: record_test.sh <zk_record> <script> <frames> <screenshot frame>
set -euo pipefail
record=$1
script=$2
frames=$3
shot=$4
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() { echo "record_test: $*" >&2; exit 1; }
for run in a b; do
  "$record" --program quib --script "$script" --frames "$frames" \
    --png "$shot:$out/$run.png" --png "0:$out/$run-first.png" --gif "$out/$run.gif" || fail "run $run failed"
done
for f in .png -first.png .gif; do
  [ -s "$out/a$f" ] || fail "a$f not written"
  cmp "$out/a$f" "$out/b$f" || fail "a$f and b$f differ"
done
# A blank frame packs into a few hundred bytes; the board into several kB.
[ "$(stat -c %s "$out/a-first.png")" -gt 4000 ] || fail "frame 0 is blank"
size=$(stat -c %s "$out/a.gif")
[ "$size" -lt 1600000 ] || fail "the GIF is $size bytes"

# Bad scripts and options are refused with a message, not run.
printf 'f10 press 1 2\n' >"$out/bad.txt"
if "$record" --program quib --script "$out/bad.txt" --frames 5 2>"$out/err"; then fail "a bad script ran"; fi
grep -q "line 1" "$out/err" || fail "no line number in: $(cat "$out/err")"
if "$record" --program nosuch --script "$script" --frames 5 2>/dev/null; then fail "an unknown program ran"; fi
if "$record" --program quib --script "$script" --frames 5 --png 9:"$out/x.png" 2>/dev/null; then
  fail "a frame outside the run was accepted"
fi
echo "record_test: ok ($size bytes of GIF)"
