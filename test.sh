#!/usr/bin/env bash
# The whole check, in stages that stop at the first failure:
#   1. every test, on a build with AddressSanitizer and UndefinedBehaviorSanitizer (build-test/),
#      then kvt27ctl.exe and the Win32 serial backend built with mingw-w64 and run under wine;
#   2. the optimised build the program runs from (build/, as run.sh makes it) and the benchmark
#      figures from it, which never fail on a time;
#   3. the .deb package from that build, with lintian, desktop-file-validate and appstreamcli.
# The last line says how many tests passed and how long it all took.
set -euo pipefail
cd "$(dirname "$0")"
start=$SECONDS
scripts/deps.sh help2man lintian desktop-file-utils appstream poppler-utils  # pdftotext for the work record test

# 1. Every test, with sanitizers.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j "$(nproc)" | tee build-test/ctest.log
tests=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' build-test/ctest.log)
scripts/wine-test.sh build-test  # kvt27ctl.exe and the Win32 serial backend under wine, against the simulator

# 2. The optimised build and the speed and memory figures.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF >/dev/null
cmake --build build
build/tools/bench/kvt27-bench || echo "benchmark: a figure could not be taken (see above)"

# 3. The package and Debian's checks on it.
scripts/check-package.sh build

elapsed=$((SECONDS - start))
printf 'test.sh: all %s tests, the Windows suite under wine and the 3 package checks passed in %d min %02d s\n' \
  "$tests" $((elapsed / 60)) $((elapsed % 60))
