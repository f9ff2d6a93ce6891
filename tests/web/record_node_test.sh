#!/usr/bin/env bash
# The recorder built for node against the native one: the demo game, recorded
# by both, gives the same bytes in its first and a busy frame's PNG and in
# the GIF of the whole run.
# Usage: record_node_test.sh <native zk_record> <node> <zk_record.js> <script>
set -euo pipefail
native=$1
node=$2
web=$3
script=$4
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for build in native web; do
  run=("$native")
  [ $build = web ] && run=("$node" "$web")
  "${run[@]}" --program quib --script "$script" --frames 870 --from 1 \
    --png "1:$out/$build-1.png" --png "722:$out/$build-722.png" --gif "$out/$build.gif" \
    || { echo "record_node_test: the $build recorder failed" >&2; exit 1; }
done
for f in -1.png -722.png .gif; do
  [ -s "$out/native$f" ] || { echo "record_node_test: native$f not written" >&2; exit 1; }
  cmp "$out/native$f" "$out/web$f" || { echo "record_node_test: native$f and web$f differ" >&2; exit 1; }
done
echo "record_node_test: node and native wrote the same bytes"
