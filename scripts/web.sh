#!/usr/bin/env bash
# Builds Quib and the engine tour for the browser and serves them.
#
#   scripts/web.sh [--build-only] [--port N]
#
# Sets up what is missing (emscripten and python3, through setup.sh), builds
# both programs with emcc into build-web/, and serves build-web/site, a
# static folder that any web server can host (an index page, then one page,
# script and WebAssembly file per program), on http://127.0.0.1:8000/ with
# python3's http.server until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

port=8000
serve=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-only) serve=0 ;;
    --port) port=$2; shift ;;
    *) echo "usage: scripts/web.sh [--build-only] [--port N]" >&2; exit 2 ;;
  esac
  shift
done

scripts/setup.sh web
# Debian's emcc runs its JavaScript tools with whatever node is first on the
# PATH; they need Debian's node modules (acorn) when that node is another.
[ -d /usr/share/nodejs ] && export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$(nproc)" --target quib zk_tour

site=build-web/site
echo "web: $site holds the pages; what a player downloads, per program:"
for program in quib zk_tour; do
  files=("$site/$program.html" "$site/$program.js" "$site/$program.wasm")
  raw=$(cat "${files[@]}" | wc -c)
  packed=$(for f in "${files[@]}"; do gzip -9c "$f"; done | wc -c)
  printf '  %-8s %4d KiB (%d KiB gzip-compressed)\n' "$program" $(((raw + 1023) / 1024)) $(((packed + 1023) / 1024))
done
[ "$serve" -eq 1 ] || exit 0
echo "web: serving http://127.0.0.1:$port/ (Ctrl-C stops)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
