#!/usr/bin/env bash
# Builds the program and starts it. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF >/dev/null
cmake --build build
exec build/app/kvt27-config "$@"
