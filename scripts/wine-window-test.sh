#!/usr/bin/env bash
# The window for Windows, under wine on Xvfb against kvt27-sim, compared with the window on Linux.
#
#   scripts/wine-window-test.sh [NATIVE_BUILD_DIR]
#
# NATIVE_BUILD_DIR gives kvt27-config, kvt27-sim and kvt27-window-scenario for Linux (test.sh
# passes build-test); without it they are built in build-window-native/.
#
# 1. scripts/build-windows.sh builds the zip (and Qt for Windows first where this machine has none)
#    in build-windows-qt/, and the window's scenario for Windows is built there too.
# 2. The scenario (tests/ui/window_scenario.cpp): the window connects, loads the settings, a kind
#    button writes its word, three datalog samples go into a CSV file, the work record into a PDF,
#    and the window closes. It runs on Linux and under wine, each against a fresh simulator; the
#    frames the simulator received, the CSV, the PDF's text and what the window showed must be the
#    same, and under wine the window's settings must be in the registry.
# 3. The zip, unpacked into a fresh folder: kvt27-config.exe starts from it with no other file,
#    connects when the port is typed and Enter pressed, shows its About box and closes by
#    File › Close, all by the keyboard (xdotool); the frames must be those of kvt27-config on
#    Linux doing the same.
# Screenshots of every screen go to build-windows-qt/wine/shots/.
#
# Wine runs in its own prefix (build-windows-qt/wine/prefix, set to Windows 10) where the test's
# COM27 is the only port: mapped to a link that exists only while a simulator runs
# (scripts/wine-common.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool imagemagick poppler-utils zip unzip
started=$(date +%s)

# --- builds ------------------------------------------------------------------------------------
zip=$(scripts/build-windows.sh | tail -n 1)
win=$root/build-windows-qt
cmake --build "$win" --parallel 2 --target kvt27-window-scenario >/dev/null

native=${1:-build-window-native}
[[ $native = /* ]] || native=$root/$native
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" --parallel 2 --target kvt27-config kvt27-sim kvt27-window-scenario >/dev/null
sim=$native/tools/sim/kvt27-sim
built=$(date +%s)

# --- wine and the display ------------------------------------------------------------------------
work=$win/wine
export WINEPREFIX=$work/prefix
export LC_ALL=C.UTF-8 LANG=C.UTF-8
com=COM27
link=$work/com27
WINE_COM=$com WINE_LINK=$link WINE_SERVER_LOG=$work/wineserver.log
runs=$work/runs
shots=$work/shots
rm -rf "$runs" "$shots"
mkdir -p "$runs" "$shots"
rm -f "$link"
# shellcheck source=scripts/wine-common.sh
. scripts/wine-common.sh

sim_pid=
xvfb_pid=
app_pid=
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -f "$link"
  wine_stop_server
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work/home"
}
trap cleanup EXIT

# A display of the test's own; Xvfb picks a free number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for i in $(seq 400); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "wine-window-test: Xvfb did not start (see $work/xvfb.log)" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")

wine_prepare_prefix
prepared=$(date +%s)

start_sim() { # DIR
  rm -f "$link"
  "$sim" --no-register --trace --link "$link" >"$1/sim.out" 2>"$1/trace.raw" &
  sim_pid=$!
  local i
  for i in $(seq 100); do
    [ -L "$link" ] && [ -s "$1/sim.out" ] && return 0
    sleep 0.05
  done
  echo "wine-window-test: the simulator did not start" >&2
  exit 1
}

stop_sim() { # DIR NAME: the frames received go to DIR/NAME.frames
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
  rm -f "$link"
  # The station address (byte 2) is drawn anew by each connect, and with it the CRC.
  perl -ne 's/^\s*[\d.]+ //; next unless /^rx /;
    s/^rx (\S\S) \S\S (\S\S \S\S \S\S) \S\S \S\S /rx $1 SS $2 CC CC /; s/station \d+/station S/; print' \
    "$1/trace.raw" >"$1/$2.frames"
}

# Takes the screenshots a scenario asks for (shot-NAME.wait in its folder) while it runs.
serve_shots() { # PID DIR PREFIX
  local f
  while kill -0 "$1" 2>/dev/null; do
    for f in "$2"/shot-*.wait; do
      [ -e "$f" ] || continue
      f=${f##*/shot-}
      import -display "$DISPLAY" -window root "$shots/$3-${f%.wait}.png"
      rm -f "$2/shot-$f"
    done
    sleep 0.1
  done
}

failed=0
passed=0
pass() { passed=$((passed + 1)); printf 'ok    %-26s %s\n' "$1" "$2"; }
fail() { failed=$((failed + 1)); printf 'FAIL  %-26s %s\n' "$1" "$2"; }
same() { # NAME FILE-A FILE-B WHAT
  if cmp -s "$2" "$3"; then return 0; fi
  fail "$1" "$4 differs"
  diff -u "$2" "$3" | head -30 || true
  return 1
}

# --- the zip, unpacked where nothing else is -----------------------------------------------------
unpacked="$work/unpacked/Nová složka"
rm -rf "$work/unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
app=$(find "$unpacked" -maxdepth 1 -mindepth 1 -type d | head -n 1)
[ -f "$app/kvt27-config.exe" ] || { echo "wine-window-test: no kvt27-config.exe in $zip" >&2; exit 1; }

# --- the scenario, on Linux and under wine -------------------------------------------------------
dir=$runs/scenario
mkdir -p "$dir/native" "$dir/wine"
start_sim "$dir"
status=0
# Settings and the converters' history stay in the run's folder, never in the user's home.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$dir/native XDG_CONFIG_HOME=$dir/native/config \
  XDG_DATA_HOME=$dir/native/data KVT27_HISTORY_DIR=$dir/native/history \
  timeout 120 "$native/tests/ui/kvt27-window-scenario" \
  --port "$link" --out "$dir/native" >"$dir/native.log" 2>&1 || status=$?
stop_sim "$dir" native
[ "$status" = 0 ] || { fail scenario-native "exit $status: $(grep FAIL "$dir/native.log" || tail -3 "$dir/native.log")"; }

# The scenario's program runs from the unpacked zip, beside the window it drives.
# The prefix outlives a run: the converters' history of an earlier one must not greet this one.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/kvt27-config
cp "$win/tests/ui/kvt27-window-scenario.exe" "$app/"
start_sim "$dir"
wine_check_ports
status=0
(cd "$app" && exec timeout 180 "$wine" kvt27-window-scenario.exe --port "$com" --out "Z:$dir/wine" --shots \
  >"$dir/wine.log" 2>&1) &
app_pid=$!
serve_shots "$app_pid" "$dir/wine" scenario
wait "$app_pid" || status=$?
app_pid=
stop_sim "$dir" wine
rm -f "$app/kvt27-window-scenario.exe"
tr -d '\r' <"$dir/wine.log" >"$dir/wine.out"
if [ "$status" != 0 ]; then
  fail scenario-wine "exit $status: $(grep FAIL "$dir/wine.out" || tail -3 "$dir/wine.out")"
else
  for side in native wine; do
    port=$link
    [ $side = wine ] && port=$com
    PORTNAME=$port perl -pe 's/\Q$ENV{PORTNAME}\E/PORT/g' "$dir/$side/window.txt" >"$dir/$side.window"
    pdftotext -q "$dir/$side/pracovní záznam.pdf" - | PORTNAME=$port perl -CS -ne \
      's/\Q$ENV{PORTNAME}\E/PORT/g;
       s/\x{FB01}/fi/g; s/\x{FB02}/fl/g;   # ligatures, as the fonts of each system give them
       s/\d{1,2}\. ?\d{1,2}\. ?\d{4}|\d{1,2}\/\d{1,2}\/\d{2,4}|\d{4}-\d\d-\d\d/DATE/g;
       s/\d{1,2}:\d\d(:\d\d)?( ?[AP]M)?/TIME/g; s/\s+/\n/g; print' |
      grep -v '^$' >"$dir/$side.pdfwords"
  done
  ok=1
  same scenario-frames "$dir/native.frames" "$dir/wine.frames" "the frames received" || ok=0
  same scenario-window "$dir/native.window" "$dir/wine.window" "what the window showed" || ok=0
  same scenario-csv "$dir/native/záznam měření.csv" "$dir/wine/záznam měření.csv" "the CSV file" || ok=0
  same scenario-pdf "$dir/native.pdfwords" "$dir/wine.pdfwords" "the work record's text" || ok=0
  # QSettings' native store on Windows is the registry.
  if ! "$wine" reg query 'HKCU\Software\kvt27-config\kvt27-config' /v port 2>/dev/null | tr -d '\r' | grep -q "REG_SZ *$com\$"; then
    fail scenario-registry "the port is not kept in the registry"
    ok=0
  fi
  [ $ok = 1 ] && pass scenario "$(wc -l <"$dir/native.frames") frames, $(grep -c . "$dir/native/záznam měření.csv") CSV lines, PDF, registry"
fi
scenario_done=$(date +%s)

# --- the program from the zip, by the keyboard, on Linux and under wine --------------------------
# Waits for a window whose title begins with the program's; prints its id.
window_of() { # PID
  local id i
  for i in $(seq 600); do
    id=$(xdotool search --onlyvisible --name 'KVT27/KVT27L - ' 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Waits until the settings load has reached its last word and the line has been quiet for a second.
loaded() { # TRACE
  local i size=-1 quiet=0
  for i in $(seq 600); do
    if grep -q 'read word 44 ' "$1"; then
      if [ "$(stat -c %s "$1")" = "$size" ]; then
        quiet=$((quiet + 1))
        [ $quiet -ge 10 ] && return 0
      else
        quiet=0
        size=$(stat -c %s "$1")
      fi
    fi
    sleep 0.1
  done
  return 1
}

keyboard_run() { # SIDE PORT PROGRAM...
  local side=$1 port=$2
  shift 2
  local d=$runs/zip
  mkdir -p "$d/$side"
  start_sim "$d"
  [ "$side" = wine ] && { "$wine" reg delete 'HKCU\Software\kvt27-config' /f >/dev/null 2>&1 || true; wine_check_ports
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/kvt27-config; }
  (cd "$d/$side" && exec env -u QT_QPA_PLATFORM -u QT_PLUGIN_PATH -u WINEPATH HOME="$d/$side" \
    XDG_CONFIG_HOME="$d/$side/config" XDG_DATA_HOME="$d/$side/data" XDG_RUNTIME_DIR="$d/$side" "$@" >"$d/$side.log" 2>&1) &
  app_pid=$!
  local id problem=
  if ! id=$(window_of "$app_pid"); then
    problem="no window"
  else
    sleep 1
    import -display "$DISPLAY" -window root "$shots/zip-$side-start.png"
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    xdotool type --delay 20 "$port"
    xdotool key Return
    if ! loaded "$d/trace.raw"; then
      problem="no connect"
    else
      sleep 1
      import -display "$DISPLAY" -window root "$shots/zip-$side-connected.png"
      xdotool key alt+o   # About
      sleep 1.5
      import -display "$DISPLAY" -window root "$shots/zip-$side-about.png"
      xdotool key Return
      sleep 0.5
      xdotool windowfocus --sync "$id" 2>/dev/null || true
      xdotool key alt+s   # File
      sleep 0.5
      xdotool key k       # Close
    fi
  fi
  local i
  for i in $(seq 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then
    [ -n "$problem" ] || problem="did not close"
    kill "$app_pid" 2>/dev/null || true
  fi
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  stop_sim "$d" "$side"
  [ -z "$problem" ] || { fail "zip-$side" "$problem (see $d/$side.log)"; return 1; }
}

zip_ok=1
keyboard_run native "$link" "$native/app/kvt27-config" -platform xcb || zip_ok=0
keyboard_run wine "$com" "$wine" "$app/kvt27-config.exe" || zip_ok=0
if [ $zip_ok = 1 ]; then
  d=$runs/zip
  if same zip-frames "$d/native.frames" "$d/wine.frames" "the frames received"; then
    if tail -n 1 "$d/wine.frames" | grep -q 'output release'; then
      pass zip "$(basename "$zip") from $(basename "$unpacked"): $(wc -l <"$d/wine.frames") frames, released at close"
    else
      fail zip "the last frame is not the output's release"
    fi
  fi
fi

finished=$(date +%s)
echo "wine-window-test: builds $((built - started)) s, wine prefix $((prepared - built)) s," \
  "scenario $((scenario_done - prepared)) s, zip $((finished - scenario_done)) s; screenshots in $shots"
echo "wine-window-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
