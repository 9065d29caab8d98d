#!/usr/bin/env bash
# The whole check, in stages that stop at the first failure:
#   1. every test, on a build with AddressSanitizer and UndefinedBehaviorSanitizer (build-test/);
#   2. Windows, under wine: kvt27ctl.exe, the Win32 serial backend and the safe writer
#      (scripts/wine-test.sh), then the window and its zip (scripts/wine-window-test.sh, which
#      builds Qt for Windows first where this machine has none: some 30 minutes, once);
#   3. the optimised build the program runs from (build/, as run.sh makes it) and the benchmark
#      figures from it, which never fail on a time;
#   4. the .deb package from that build, with lintian, desktop-file-validate and appstreamcli.
# The last line says how many tests passed and how long it all took.
#
#   ./test.sh                  everything (what CI runs)
#   ./test.sh --skip-windows   without stage 2, for a quick run at home
set -euo pipefail
cd "$(dirname "$0")"
windows=1
for arg in "$@"; do
  case $arg in
    --skip-windows) windows=0 ;;
    *) echo "usage: ./test.sh [--skip-windows]" >&2; exit 2 ;;
  esac
done
start=$SECONDS
scripts/deps.sh help2man lintian desktop-file-utils appstream poppler-utils  # pdftotext for the work record test

# 1. Every test, with sanitizers.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j "$(nproc)" | tee build-test/ctest.log
tests=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' build-test/ctest.log)

# 2. Windows under wine, against the simulator.
windows_text="the Windows stages skipped"
if [ "$windows" = 1 ]; then
  windows_start=$SECONDS
  scripts/wine-test.sh build-test
  window_start=$SECONDS
  scripts/wine-window-test.sh build-test
  windows_text=$(printf 'the Windows suite under wine (%d min %02d s, the window and its zip %d min %02d s)' \
    $(((SECONDS - windows_start) / 60)) $(((SECONDS - windows_start) % 60)) \
    $(((SECONDS - window_start) / 60)) $(((SECONDS - window_start) % 60)))
fi

# 3. The optimised build and the speed and memory figures.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF >/dev/null
cmake --build build
build/tools/bench/kvt27-bench || echo "benchmark: a figure could not be taken (see above)"

# 4. The package and Debian's checks on it.
scripts/check-package.sh build

elapsed=$((SECONDS - start))
printf 'test.sh: all %s tests, %s and the 3 package checks passed in %d min %02d s\n' \
  "$tests" "$windows_text" $((elapsed / 60)) $((elapsed % 60))
