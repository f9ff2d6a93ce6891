#!/usr/bin/env bash
# Fetches the upstream source of a Debian source package (its orig tarball,
# checksum verified) into .cache/NAME-VERSION (ignored by git) and prints
# that folder. The web build compiles zlib and libpng from it with emcc, as
# it compiles giflib from scripts/giflib-source.sh.
#
#   scripts/upstream-source.sh PACKAGE VERSION SHA256 [NAME]
#
# Only the orig tarball is used: the build wants the library as upstream
# released it, and any Debian revision of that version carries the same
# tarball, so every revision apt knows is tried until one download gives it
# (a mirror may list a revision that it no longer holds).
set -euo pipefail
cd "$(dirname "$0")/.."

package=$1
version=$2
sha256=$3
name=${4:-$package}
dest=.cache/$name-$version

if [ -f "$dest/.verified" ]; then
  echo "$PWD/$dest"
  exit 0
fi

# giflib-source.sh adds the deb-src entries that apt needs for sources.
if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Version:"; then
  scripts/giflib-source.sh >/dev/null
fi

mkdir -p .cache
work=$(mktemp -d ".cache/$name-fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
orig=""
for revision in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -urV); do
  upstream=${revision#*:}
  case "$upstream" in "$version"*) ;; *) continue ;; esac
  # apt's complaints are shown only if no revision gives the tarball.
  (cd "$work" && apt-get source -qq --download-only "$package=$revision" >>apt.log 2>&1 || true)
  orig=$(ls "$work"/"${package}"_*.orig.tar.* 2>/dev/null | head -n1 || true)
  [ -n "$orig" ] && break
done
if [ -z "$orig" ]; then
  grep -v "unsandboxed" "$work/apt.log" >&2 || true
  echo "upstream-source: apt gave no $package $version source" >&2
  exit 1
fi
echo "$sha256  $orig" | sha256sum -c --quiet - >&2 || {
  echo "upstream-source: the checksum of $(basename "$orig") does not match" >&2
  exit 1
}
mkdir "$work/src"
tar -xf "$orig" -C "$work/src" --strip-components=1
rm -rf "$dest"
mv "$work/src" "$dest"
touch "$dest/.verified"
echo "$PWD/$dest"
