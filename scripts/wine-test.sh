#!/usr/bin/env bash
# kvt27ctl for Windows, checked under wine against kvt27-sim. Builds kvt27ctl.exe and the Win32
# backend's unit tests with mingw-w64 (build-windows/), runs the unit tests under wine, then runs
# every scenario below twice, natively and under wine, each time against a fresh simulator, and
# compares the exit status, stdout (carriage returns stripped, the port's name as PORT), the files
# written and the frames the simulator received (its --trace, station byte and CRC masked).
#
#   scripts/wine-test.sh [NATIVE_BUILD_DIR]
#
# NATIVE_BUILD_DIR gives kvt27ctl and kvt27-sim for Linux (test.sh passes its own build); without
# it they are built in build-wine-native/.
#
# Wine never gets a COM port on /dev/ttyS* (the system console here): it runs in its own prefix in
# build-windows/wine/, set to Windows 10, where the test's port COM27 is mapped in the registry to
# a link that only the running simulator provides and wine maps no port by itself
# (scripts/wine-common.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh g++-mingw-w64-x86-64-posix wine wine64 python3
started=$(date +%s)

# --- builds ------------------------------------------------------------------------------------
native=${1:-build-wine-native}
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_GUI=OFF -DKVT_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$native" --parallel 2 --target kvt27ctl kvt27-sim >/dev/null
native_ctl=$root/$native/tools/ctl/kvt27ctl
sim=$root/$native/tools/sim/kvt27-sim
[[ $native = /* ]] && { native_ctl=$native/tools/ctl/kvt27ctl; sim=$native/tools/sim/kvt27-sim; }

win=build-windows
if [ ! -f "$win/CMakeCache.txt" ]; then
  cmake -S . -B "$win" -G Ninja --toolchain cmake/toolchain-mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$win" --parallel 2 --target kvt27ctl serial_win32_test platform_win32_test >/dev/null
win_ctl=$root/$win/tools/ctl/kvt27ctl.exe
built=$(date +%s)

# --- wine ----------------------------------------------------------------------------------------
work=$root/$win/wine
export WINEPREFIX=$work/prefix
# One locale for both sides, so numbers and texts compare.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
com=COM27
link=$work/com27
WINE_COM=$com WINE_LINK=$link WINE_SERVER_LOG=$work/wineserver.log
mkdir -p "$work"
rm -f "$link"
# shellcheck source=scripts/wine-common.sh
. scripts/wine-common.sh

sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -f "$link"
  wine_stop_server
}
trap cleanup EXIT

# The ports wine maps by itself: none (scripts/wine-common.sh). Checked again before every run.
neutralise_ports() {
  wine_check_ports
}

wine_prepare_prefix
prepared=$(date +%s)

runs=$work/runs
rm -rf "$runs"
mkdir -p "$runs"
failed=0
passed=0

start_sim() { # options...
  rm -f "$link"
  "$sim" --no-register --trace --link "$link" "$@" >"$dir/sim.out" 2>"$dir/trace.raw" &
  sim_pid=$!
  local i
  for i in $(seq 100); do
    [ -L "$link" ] && [ -s "$dir/sim.out" ] && return 0
    sleep 0.05
  done
  echo "wine-test: the simulator did not start" >&2
  exit 1
}

stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
  rm -f "$link"
}

# The frames received: the station address (byte 2) is drawn anew by each run, and with it the CRC.
frames() {
  perl -ne 's/^\s*[\d.]+ //; next unless /^rx /;
    s/^rx (\S\S) \S\S (\S\S \S\S \S\S) \S\S \S\S /rx $1 SS $2 CC CC /; s/station \d+/station S/; print' "$1"
}

# run MODE DIR SIM_OPTIONS ARGS...: one side of a scenario. @PORT@ in ARGS is the port's name.
run_side() {
  local mode=$1 sim_options=$2
  shift 2
  mkdir -p "$dir/$mode"
  local port program
  if [ "$mode" = native ]; then port=$link; program=("$native_ctl"); else port=$com; program=("$wine" "$win_ctl"); fi
  local args=() a
  for a in "$@"; do args+=("${a//@PORT@/$port}"); done
  [ -n "$seed" ] && cp -r "$seed"/. "$dir/$mode/"
  if [ "$sim_options" != none ]; then
    # shellcheck disable=SC2086
    start_sim $sim_options
  fi
  [ "$mode" = wine ] && neutralise_ports
  local status=0
  # The converters' histories go beside the run, not into the user's folder nor among its files.
  (cd "$dir/$mode" && KVT27_HISTORY_DIR="$dir/history-$mode" timeout 60 "${program[@]}" "${args[@]}" >"../$mode.stdout.raw" 2>"../$mode.stderr") || status=$?
  stop_sim
  echo "$status" >"$dir/$mode.status"
  local shown=$link
  [ "$mode" = wine ] && shown='\\.\'$com
  PORTTEXT=$shown perl -pe '$j = $ENV{PORTTEXT} =~ s/\\/\\\\/gr; s/\r//g; s/\Q$ENV{PORTTEXT}\E|\Q$j\E/PORT/g' \
    "$dir/$mode.stdout.raw" >"$dir/$mode.stdout"
  if [ -f "$dir/trace.raw" ]; then frames "$dir/trace.raw" >"$dir/$mode.frames"; rm -f "$dir/trace.raw"; else : >"$dir/$mode.frames"; fi
  # Files the run left, the port names of both sides made alike (a seeded file has the native one).
  (cd "$dir/$mode" && find . -type f | sort | while read -r f; do
      echo "== $f"; NATIVE=$link WINE='\\.\'$com perl -pe 's/\Q$ENV{NATIVE}\E|\Q$ENV{WINE}\E/PORT/g' "$f" | od -An -c
    done) >"$dir/$mode.files"
}

# scenario NAME EXPECTED_STATUS SIM_OPTIONS ARGS...  (SIM_OPTIONS "none": no simulator)
seed=
scenario() {
  local name=$1 expected=$2 sim_options=$3
  shift 3
  dir=$runs/$name
  mkdir -p "$dir"
  run_side native "$sim_options" "$@"
  run_side wine "$sim_options" "$@"
  local problems=()
  [ "$(cat "$dir/native.status")" = "$expected" ] || problems+=("native exit status $(cat "$dir/native.status"), expected $expected")
  local part
  for part in status stdout frames files; do
    cmp -s "$dir/native.$part" "$dir/wine.$part" || problems+=("$part differs")
  done
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    printf 'ok    %-22s exit %s, %s frames\n' "$name" "$expected" "$(wc -l <"$dir/native.frames")"
  else
    failed=$((failed + 1))
    printf 'FAIL  %-22s %s\n' "$name" "$(IFS=';'; echo "${problems[*]}")"
    for part in status stdout frames files; do
      cmp -s "$dir/native.$part" "$dir/wine.$part" || diff -u "$dir/native.$part" "$dir/wine.$part" | head -20 || true
    done
    echo "      stderr native: $(head -c 300 "$dir/native.stderr")"
    echo "      stderr wine:   $(head -c 300 "$dir/wine.stderr")"
  fi
}

# --- the Win32 backend under wine: unit tests of its pure parts, and its event thread -------------
ctest --test-dir "$win" --output-on-failure
# A hang-up reaches OnLineError from the event thread while nothing is transferred, also after the
# event mask changed under a running WaitCommEvent.
for case in AHangUpEndsTheDriversWait AMaskChangedWhileWaitingThenAHangUp; do
  dir=$runs/$case
  mkdir -p "$dir"
  start_sim --hang-up-after 1
  neutralise_ports
  if KVT_TEST_PORT=$com "$wine" "$root/$win/tests/serial/serial_win32_test.exe" --gtest_filter="Win32Line.$case" \
    >"$dir/test.log" 2>&1 && grep -q '1 test\.' "$dir/test.log" && ! grep -q SKIPPED "$dir/test.log"; then
    passed=$((passed + 1))
    echo "ok    Win32Line.$case"
  else
    failed=$((failed + 1))
    echo "FAIL  Win32Line.$case"
    cat "$dir/test.log"
  fi
  stop_sim
done
# A write that the driver holds (a pseudo-terminal whose other end reads nothing) is waited for
# without spinning.
case=AHeldWriteIsWaitedForWithoutSpinning
dir=$runs/$case
mkdir -p "$dir"
rm -f "$link"
/usr/bin/python3 -c 'import os, pty, sys, time
master, slave = pty.openpty()
os.symlink(os.ttyname(slave), sys.argv[1])
time.sleep(600)' "$link" &
sim_pid=$!
for i in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
neutralise_ports
if KVT_TEST_HELD_PORT=$com "$wine" "$root/$win/tests/serial/serial_win32_test.exe" --gtest_filter="Win32Line.$case" \
  >"$dir/test.log" 2>&1 && grep -q '1 test\.' "$dir/test.log" && ! grep -q SKIPPED "$dir/test.log"; then
  passed=$((passed + 1))
  echo "ok    Win32Line.$case"
else
  failed=$((failed + 1))
  echo "FAIL  Win32Line.$case"
  cat "$dir/test.log"
fi
stop_sim
unit=$(date +%s)

# --- scenarios -----------------------------------------------------------------------------------
echo "Scenarios, each natively and under wine:"
scenario identification 0 "" info --port @PORT@
scenario identification-json 0 "--model KVT27L --config-type 3" info --json --port @PORT@
scenario read 0 "--word InputMode=3 --word OutputMode=4" read --port @PORT@
scenario read-json 0 "" read --json --port @PORT@
scenario write 0 "" write --port @PORT@ LimitReaction 2
scenario measure 0 "--word InputMode=3 --signal-value 12" measure --port @PORT@
scenario measure-recording 0 "--word InputMode=3 --signal-value 7.5" \
  measure --port @PORT@ --count 3 --period 0.1 --csv "záznam měření.csv"
scenario save 0 "--word InputMode=3 --word OutputMode=4 --word FilterType=2" save --port @PORT@ "nastavení.txt"
seed=$runs/seed
mkdir -p "$seed"
echo "an older file" >"$seed/existing.txt"
scenario save-replaces 0 "" save --port @PORT@ existing.txt
# The configuration that "save" wrote natively is applied to a fresh converter on both sides.
seed=$runs/save/native
scenario apply 0 "" apply --port @PORT@ "nastavení.txt"
scenario apply-dry-run 0 "" apply --dry-run --port @PORT@ "nastavení.txt"
seed=
scenario lost-reply 4 "--no-reply-word InZero" read --port @PORT@
scenario lost-reply-write 4 "--no-reply-command write-word" write --port @PORT@ FilterType 1
scenario hang-up 4 "--hang-up-after 3" read --port @PORT@
scenario no-port 3 none info --port @PORT@

# Ctrl-C ends a recording on both sides with status 130 and the samples taken in the file. Not
# compared: how many samples there are depends on the moment.
dir=$runs/interrupt
mkdir -p "$dir"
for mode in native wine; do
  mkdir -p "$dir/$mode"
  start_sim --word InputMode=3
  if [ "$mode" = native ]; then port=$link; program=("$native_ctl"); else neutralise_ports; port=$com; program=("$wine" "$win_ctl"); fi
  (cd "$dir/$mode" && exec "${program[@]}" measure --port "$port" --count 1000 --period 0.2 --csv rec.csv \
    >"../$mode.stdout" 2>"../$mode.stderr") &
  ctl_pid=$!
  sleep 1.5
  kill -INT "$ctl_pid"
  status=0
  wait "$ctl_pid" || status=$?
  stop_sim
  if [ "$status" = 130 ] && [ "$(head -1 "$dir/$mode/rec.csv" 2>/dev/null | tr -d '\r')" = "0.2 sec;" ] \
    && grep -q "stopped by Ctrl-C" "$dir/$mode.stderr"; then
    passed=$((passed + 1))
    printf 'ok    %-22s exit 130, %s samples kept\n' "interrupt-$mode" "$(($(wc -l <"$dir/$mode/rec.csv") - 1))"
  else
    failed=$((failed + 1))
    echo "FAIL  interrupt-$mode     exit $status; $(cat "$dir/$mode.stderr")"
  fi
done

# The port list comes from the system's device map, where wine lists the test's port.
if "$wine" "$win_ctl" ports 2>/dev/null | tr -d '\r' | grep -qx "$com"; then
  passed=$((passed + 1))
  echo "ok    ports                  $com in the port list"
else
  failed=$((failed + 1))
  echo "FAIL  ports                  $com is not in the port list"
fi

finished=$(date +%s)
echo "wine-test: builds $((built - started)) s, wine prefix $((prepared - built)) s, unit tests $((unit - prepared)) s," \
  "scenarios $((finished - unit)) s"
echo "wine-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
