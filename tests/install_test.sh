#!/usr/bin/env bash
# Installs the build into a staging prefix and checks that the program, its
# desktop entry and its 16 x 16 icon, and the tour, land where a desktop looks for them.
# Usage: install_test.sh <cmake> <build folder>
set -euo pipefail
cmake=$1
build=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

"$cmake" --install "$build" --prefix "$stage" >/dev/null

fail() { echo "install_test: $*" >&2; exit 1; }
[ -x "$stage/bin/quib" ] || fail "bin/quib missing or not executable"
desktop="$stage/share/applications/quib.desktop"
[ -f "$desktop" ] || fail "share/applications/quib.desktop missing"
grep -qx '\[Desktop Entry\]' "$desktop" || fail "desktop entry has no [Desktop Entry] group"
grep -qx 'Exec=quib' "$desktop" || fail "desktop entry does not start quib"
grep -qx 'Icon=quib' "$desktop" || fail "desktop entry does not name the quib icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

[ -x "$stage/bin/zk_tour" ] || fail "bin/zk_tour missing or not executable"
grep -qx 'Exec=zk_tour' "$stage/share/applications/zk_tour.desktop" || fail "no desktop entry for zk_tour"

icon="$stage/share/icons/hicolor/16x16/apps/quib.png"
[ -f "$icon" ] || fail "share/icons/hicolor/16x16/apps/quib.png missing"
# PNG signature, then the IHDR chunk: width and height, 16 x 16.
[ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "the icon is not a PNG"
[ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = "0000001000000010" ] || fail "the icon is not 16 x 16"
# Nothing of the recorder or the tests is installed.
extra=$(cd "$stage" && find . -type f | grep -v -e '^./bin/quib$' -e '^./bin/zk_tour$' -e '^./share/' || true)
[ -z "$extra" ] || fail "unexpected files installed: $extra"
echo "install_test: ok"
