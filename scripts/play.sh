#!/usr/bin/env bash
# Sets up, builds and starts the game in a desktop window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZK_TESTS=OFF -DZK_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quib
exec build/game/quib
