#!/usr/bin/env bash
# Builds the program and starts it. Extra arguments go to the program.
#   ./run.sh --sim [simulator options]   also starts kvt27-sim, a simulated converter whose port
#                                        is in the program's port list; it stops with the program.
# It builds only what it starts, in build/ (the optimised build that test.sh also uses).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh qt6-translations-l10n
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF >/dev/null

if [ "${1:-}" != "--sim" ]; then
  cmake --build build --target kvt27-config
  exec build/app/kvt27-config "$@"
fi
shift
cmake --build build --target kvt27-config kvt27-sim

coproc SIM { exec build/tools/sim/kvt27-sim "$@"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
device=""
if ! read -r -t 10 device <&"${SIM[0]}" || [ -z "$device" ]; then
  echo "run.sh: the simulator did not start (see its message above)" >&2
  exit 1
fi
echo "Simulated converter on $device: pick it in the port list and connect."
build/app/kvt27-config
