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
  "${run[@]}" --program quib --script "$script" --frames 869 \
    --png "0:$out/$build-0.png" --png "721:$out/$build-721.png" --gif "$out/$build.gif" \
    || { echo "record_node_test: the $build recorder failed" >&2; exit 1; }
done
for f in -0.png -721.png .gif; do
  [ -s "$out/native$f" ] || { echo "record_node_test: native$f not written" >&2; exit 1; }
  cmp "$out/native$f" "$out/web$f" || { echo "record_node_test: native$f and web$f differ" >&2; exit 1; }
done
echo "record_node_test: node and native wrote the same bytes"
