#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j "$(nproc)"
scripts/wine-test.sh build-test  # kvt27ctl.exe and the Win32 serial backend under wine, against the simulator

# Figures for speed and memory: an optimised build of the benchmark program, printed, never failing on a time.
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target kvt27-bench
build-bench/tools/bench/kvt27-bench || echo "benchmark: a figure could not be taken (see above)"
