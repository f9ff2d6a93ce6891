#!/usr/bin/env bash
# Records the headless device's first composed frame with the native
# recorder, then runs the browser test against it.
# Usage: browser_test.sh <native zk_record> <node> <site folder> <chromium>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
[ -f "$here/node_modules/playwright-core/package.json" ] || {
  echo "browser_test: the driver is missing; run scripts/setup.sh browser" >&2
  exit 1
}
printf '' >"$out/none.txt"
"$1" --program quib --script "$out/none.txt" --frames 1 --png "0:$out/first.png"
"$2" "$here/browser_test.mjs" "$3" "$out/first.png" "$4"
