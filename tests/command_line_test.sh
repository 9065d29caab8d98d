#!/bin/sh
# Every program answers --version with the project's version and --help with its usage, on stdout,
# with status 0 and with no display to open; with stdout closed, status 1.
# Usage: command_line_test.sh VERSION PROGRAM...
set -u
version=$1
shift
status=0
for program in "$@"; do
    name=$(basename "$program")
    if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version); then
        echo "$name --version failed"; status=1
    elif [ "$(printf '%s\n' "$out" | head -n 1)" != "$name $version" ]; then
        echo "$name --version printed: $out"; status=1
    fi
    # Without a standard output the answer cannot reach anyone: status 1 and a message.
    if err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>&1 >&-); then
        echo "$name --version with stdout closed: status 0"; status=1
    elif ! printf '%s\n' "$err" | grep -q "standard output"; then
        echo "$name --version with stdout closed said: $err"; status=1
    fi
    if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help); then
        echo "$name --help failed"; status=1
    elif ! printf '%s\n' "$out" | grep -q "^Usage: $name "; then
        echo "$name --help printed no usage line: $out"; status=1
    fi
done
exit $status
