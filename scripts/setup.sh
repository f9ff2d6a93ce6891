#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing.
# Safe to run again; installs nothing else.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgif-dev libsdl2-dev libsdl2-gfx-dev libpixman-1-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  dpkg-dev python3
  libx11-dev xvfb xdotool xauth
  desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
