#!/usr/bin/env bash
# Installs the build into a staging prefix and checks that both programs,
# their desktop entries (clean under desktop-file-validate: no error,
# warning or hint) and their icons at every size land where a desktop looks
# for them, and nothing else does.
# Usage: install_test.sh <cmake> <build folder>
set -euo pipefail
cmake=$1
build=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

"$cmake" --install "$build" --prefix "$stage" >/dev/null

fail() { echo "install_test: $*" >&2; exit 1; }
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (scripts/setup.sh installs it)"
expected=""
for program in quib zk_tour; do
  [ -x "$stage/bin/$program" ] || fail "bin/$program missing or not executable"
  desktop="$stage/share/applications/$program.desktop"
  [ -f "$desktop" ] || fail "share/applications/$program.desktop missing"
  grep -qx "Exec=$program" "$desktop" || fail "$program.desktop does not start $program"
  grep -qx "Icon=$program" "$desktop" || fail "$program.desktop does not name its own icon"
  said=$(desktop-file-validate "$desktop" 2>&1) || fail "$program.desktop is refused: $said"
  [ -z "$said" ] || fail "desktop-file-validate on $program.desktop: $said"
  expected+="./bin/$program ./share/applications/$program.desktop "
  for size in 16 32 48 128 256; do
    icon="share/icons/hicolor/${size}x${size}/apps/$program.png"
    [ -f "$stage/$icon" ] || fail "$icon missing"
    # PNG signature, then the IHDR chunk: width and height, then 8-bit RGBA.
    [ "$(od -An -tx1 -N8 "$stage/$icon" | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$icon is not a PNG"
    printf -v want '%08x%08x0806' "$size" "$size"
    [ "$(od -An -tx1 -j16 -N10 "$stage/$icon" | tr -d ' \n')" = "$want" ] || fail "$icon is not $size x $size RGBA"
    expected+="./$icon "
  done
done
# Nothing else is installed: not the recorder, the tools or the tests.
extra=$(cd "$stage" && find . -type f | sort | grep -vxF -f <(tr ' ' '\n' <<<"$expected" | grep .) || true)
[ -z "$extra" ] || fail "unexpected files installed: $extra"
echo "install_test: ok"
