#!/usr/bin/env bash
# Makes the .deb from a built folder (default build/) and runs Debian's own checks on it: lintian
# with no error and no warning, desktop-file-validate on the desktop entry and appstreamcli validate
# on the AppStream metadata, both as the package installs them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

rm -f "$build"/kvt27-config_*.deb
if ! out=$(cd "$build" && cpack 2>&1); then
  echo "$out" >&2
  exit 1
fi
deb=$(echo "$build"/kvt27-config_*.deb)
echo "Package: $deb"

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"

# lintian's advice against running as root is no finding about the package.
lintian --fail-on error,warning "$deb" 2>&1 | { grep -v '^running with root privileges' || true; }
echo "lintian: no error, no warning"
desktop-file-validate "$contents"/usr/share/applications/kvt27-config.desktop
echo "desktop-file-validate: passed"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
