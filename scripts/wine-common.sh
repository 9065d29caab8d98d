# Sourced by the wine test scripts: a wine prefix of the test's own, set to Windows 10, where the
# test's COM port is mapped (HKLM\Software\Wine\Ports) to a link that exists only while a
# simulator runs, and where wine maps no port of its own.
#
# At every start of its server wine links each /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* it finds
# to the next free dosdevices/comN (/dev/ttyS0 is the system console here); deleting the links
# does not last. An empty folder of that name makes wine's link fail, so the prefix keeps
# COM1-COM255, all but the test's own port, as folders: no COM port of the prefix reaches a device,
# and opening one fails.
#
# Set WINEPREFIX, WINE_COM (such as COM27) and WINE_LINK (the link's path) and WINE_SERVER_LOG
# first; then wine_prepare_prefix starts the server in the script's foreground (a daemonised one
# takes the first terminal it opens as its controlling terminal and dumps its objects to stderr
# when that hangs up), and wine_stop_server ends it.

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
wine_server_pid=

wine_start_server() {
  "$wineserver" -f -p >>"$WINE_SERVER_LOG" 2>&1 &
  wine_server_pid=$!
  local i
  for i in $(seq 200); do
    [ -S "/proc/$wine_server_pid/cwd/socket" ] && return 0
    sleep 0.05
  done
  echo "wine: the wineserver did not start (see $WINE_SERVER_LOG)" >&2
  exit 1
}

wine_stop_server() {
  if [ -n "$wine_server_pid" ]; then
    "$wineserver" -k 2>/dev/null || true
    wait "$wine_server_pid" 2>/dev/null || true
    wine_server_pid=
  fi
}

wine_block_ports() {
  local n l
  for n in $(seq 1 255); do
    [ "COM$n" = "$WINE_COM" ] && continue
    l=$WINEPREFIX/dosdevices/com$n
    if [ -L "$l" ] || [ -f "$l" ]; then rm -f "$l"; fi
    [ -d "$l" ] || mkdir "$l"
  done
}

# Whatever is a link named comN must be the test's port on the test's link.
wine_check_ports() {
  local l
  for l in "$WINEPREFIX"/dosdevices/com*; do
    [ -L "$l" ] || continue
    if [ "$(basename "$l")" != "${WINE_COM,,}" ] || [ "$(readlink "$l")" != "$WINE_LINK" ]; then
      echo "wine: $(basename "$l") is mapped to $(readlink "$l"); stopping before anything opens it" >&2
      exit 1
    fi
  done
  [ "$(readlink "$WINEPREFIX/dosdevices/${WINE_COM,,}" 2>/dev/null)" = "$WINE_LINK" ] || {
    echo "wine: $WINE_COM is not mapped to $WINE_LINK" >&2; exit 1; }
}

wine_prepare_prefix() {
  : >"$WINE_SERVER_LOG"
  "$wineserver" -k 2>/dev/null || true   # one left over from an interrupted run
  if [ ! -f "$WINEPREFIX/kvt27-ports-blocked" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine_start_server
    "$wine" wineboot -i >/dev/null 2>&1
    "$wine" winecfg -v win10 >/dev/null 2>&1
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$WINE_COM" /t REG_SZ /d "$WINE_LINK" /f >/dev/null 2>&1
    # The mount manager reads the mapping at the server's next start.
    wine_stop_server
    wine_block_ports
    touch "$WINEPREFIX/kvt27-ports-blocked"
  fi
  wine_block_ports
  wine_start_server
  "$wine" reg query 'HKLM\Software\Wine\Ports' >/dev/null 2>&1   # the first process maps the ports
  wine_check_ports
}
