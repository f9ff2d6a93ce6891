#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing.
# Safe to run again; installs nothing else.
#
#   scripts/setup.sh [web] [browser]
#
# web adds emscripten for the web build; browser adds Chromium and the npm
# package that drives it in the browser test (tests/web, from its lockfile).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git
  libgif-dev libsdl2-dev libsdl2-gfx-dev libpixman-1-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  dpkg-dev python3
  libx11-dev xvfb xdotool xauth
  desktop-file-utils
)
browser=0
for group in "$@"; do
  case "$group" in
    web) packages+=(emscripten python3) ;;
    browser) packages+=(chromium python3) browser=1 ;;
    *) echo "setup: unknown group $group" >&2; exit 2 ;;
  esac
done
# A node and npm from elsewhere serve as well as Debian's.
if [ $browser -eq 1 ]; then
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ $browser -eq 1 ] && [ ! -f tests/web/node_modules/playwright-core/package.json ]; then
  echo "setup: installing the browser test's driver"
  (cd tests/web && npm ci --no-progress --no-fund --no-audit >/dev/null)
fi
