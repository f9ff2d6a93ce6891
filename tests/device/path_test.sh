#!/usr/bin/env bash
# ZK_Path is the program's folder as UTF-8, with its trailing separator, for
# any characters and length: a copy of the probe runs from a folder with an
# accent, from a long CJK path (hundreds of characters of three bytes each)
# and from a folder whose name is not UTF-8 at all (its bytes come back as
# they are), and must print exactly that folder.
# Usage: path_test.sh <path_probe>
set -euo pipefail
probe=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "path test: $*" >&2; exit 1; }

long=$root
for _ in $(seq 40); do long+="/漢字の長いフォルダの名前"; done
for dir in "$root/dé" "$long" "$root/"$'\xff\xfe'"x"; do
  mkdir -p "$dir"
  cp "$probe" "$dir/probe"
  want="$(cd "$dir" && pwd -P)/"
  got=$(cd "$dir" && ./probe) || fail "the probe failed in ${#dir}-byte folder $dir"
  [ "$got" = "$want" ] || fail "ZK_Path is '$got', not '$want'"
done
echo "path test: passed"
