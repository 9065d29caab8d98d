#!/usr/bin/env bash
# kvt27-config.exe and kvt27ctl.exe for 64-bit Windows, packed as a zip that runs on Windows 10
# and 11 where it is unpacked, with nothing to install:
#
#   scripts/build-windows.sh [BUILD_DIR]     # default build-windows-qt; the zip goes there
#
# Builds Qt for Windows first when this machine has none (scripts/build-qt-windows.sh: once, some
# 30 minutes). The zip holds the two programs; Qt as DLLs beside them (replaceable, as the LGPL
# asks) with its Windows platform plugin, its Windows style and its Czech translations; the
# compiler's runtime DLLs that Qt and the window share (kvt27ctl.exe carries its own); the README,
# the licence, the licences of Qt and of the runtime, and where Qt's source comes from.
# The last line printed is the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh g++-mingw-w64-x86-64-posix zip
qt=$(scripts/build-qt-windows.sh | tail -n 1)
build=${1:-build-windows-qt}
[[ $build = /* ]] || build=$root/$build
version=$(sed -n 's/^project(kvt27 VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "build-windows: no version in CMakeLists.txt" >&2; exit 1; }

if ! grep -qxF "KVT_QT_WINDOWS:PATH=$qt" "$build/CMakeCache.txt" 2>/dev/null; then
  cmake -S . -B "$build" -G Ninja --toolchain cmake/toolchain-mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKVT_QT_WINDOWS="$qt" >/dev/null
fi
cmake --build "$build" --parallel 2 --target kvt27-config kvt27ctl >/dev/null

# Qt's Czech translations (the standard buttons and dialogs) come from Debian's package of the
# same Qt version; the .qm files are the same on every system.
downloads=$build/downloads
qm=$downloads/qtbase_cs.qm
if [ ! -f "$qm" ]; then
  rm -rf "$downloads"
  mkdir -p "$downloads/deb"
  (cd "$downloads" && apt-get download -q qt6-translations-l10n >/dev/null 2>&1) || {
    echo "build-windows: could not download Debian's qt6-translations-l10n" >&2; exit 1; }
  deb=$(ls "$downloads"/qt6-translations-l10n_*.deb)
  dpkg-deb -x "$deb" "$downloads/deb"
  found=$(find "$downloads/deb" -name qtbase_cs.qm | head -n 1)
  [ -n "$found" ] || { echo "build-windows: no qtbase_cs.qm in $deb" >&2; exit 1; }
  cp "$downloads/deb/usr/share/doc/qt6-translations-l10n/copyright" "$downloads/translations-copyright"
  cp "$found" "$qm"
fi

name=kvt27-config-$version-windows-x64
zipdir=$build/zip
stage=$zipdir/$name
rm -rf "$zipdir"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licenses/qt" "$stage/licenses/compiler-runtime"
cp "$build/app/kvt27-config.exe" "$build/tools/ctl/kvt27ctl.exe" "$stage/"
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp packaging/windows/qt.conf "$stage/"
cp "$qm" "$stage/translations/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  cp "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)" "$stage/"
done
[ -s "$stage/libwinpthread-1.dll" ] || cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
# Without their symbols: less than half the size (the Qt DLLs in the cache keep theirs).
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
cp README.md "$stage/README.md"
cp LICENSE "$stage/LICENSE.txt"
cp -r "$qt/kvt27/LICENSES/." "$stage/licenses/qt/"
cp "$qt/kvt27/SOURCE.txt" "$stage/licenses/qt/SOURCE.txt"
cp "$qt/kvt27/debian-copyright" "$stage/licenses/qt/copyright"
cp "$qt"/kvt27/*.dsc "$stage/licenses/qt/"
cp "$downloads/translations-copyright" "$stage/licenses/qt/translations-copyright"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/compiler-runtime/gcc-copyright"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/compiler-runtime/mingw-w64-copyright"
qt_debian=$(sed -n 2p "$qt/kvt27-qt-build.txt")
cat >"$stage/licenses/README.txt" <<EOF
kvt27-config $version for Windows: licences of what the zip holds.

kvt27-config.exe, kvt27ctl.exe: MIT, see LICENSE.txt.

Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms\\qwindows.dll, styles\\qwindowsvistastyle.dll,
translations\\qtbase_cs.qm: Qt ${qt_debian%%+*} (Debian's source package qt6-base $qt_debian),
under the GNU Lesser General Public License version 3 (qt\\LGPL-3.0-only.txt, with the GNU General
Public License version 3 it builds on, qt\\GPL-3.0-only.txt); the parts Qt takes from others are
listed with their licences in qt\\copyright. The Qt DLLs may be replaced by other builds of the
same Qt version: the programs load them from their own folder. Where the source comes from and
how it was built: qt\\SOURCE.txt.

libstdc++-6.dll, libgcc_s_seh-1.dll: GCC's runtime libraries, GNU General Public License version 3
with the GCC Runtime Library Exception; libwinpthread-1.dll: mingw-w64's thread library, MIT and
BSD licences. See compiler-runtime\\.
EOF

# Every DLL that the programs and Qt import is in the zip or a part of Windows 10.
windows_dlls=(advapi32 authz comdlg32 d2d1 d3d9 d3d11 d3d12 dwmapi dwrite dxgi gdi32 imm32 kernel32 mpr msvcrt
  netapi32 ole32 oleaut32 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32)
system_dlls=" ${windows_dlls[*]/%/.dll} "
missing=()
while IFS= read -r -d '' binary; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    lower=${dll,,}
    [[ $lower = api-ms-win-* ]] && continue
    [[ $system_dlls = *" $lower "* ]] && continue
    [ -n "$(find "$stage" -maxdepth 1 -iname "$dll" -print -quit)" ] && continue
    missing+=("${binary#"$stage"/} needs $dll")
  done
done < <(find "$stage" \( -name '*.exe' -o -name '*.dll' \) -print0)
if [ ${#missing[@]} -gt 0 ]; then
  printf 'build-windows: not in the zip and not a part of Windows: %s\n' "${missing[@]}" >&2
  exit 1
fi

rm -f "$build/$name.zip"
(cd "$zipdir" && zip -q -r -X "$build/$name.zip" "$name")
echo "$build/$name.zip"
