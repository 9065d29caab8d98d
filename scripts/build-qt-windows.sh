#!/usr/bin/env bash
# Qt for 64-bit Windows (Core, Gui, Widgets as DLLs), cross-built with mingw-w64 from Debian's own
# qt6-base source of the host Qt's version, so that the host's moc, rcc and uic serve the build.
# Built once per machine into a cache outside the clone and reused by every clone:
#
#   scripts/build-qt-windows.sh        # prints the Qt folder as its last line
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/kvt27/qt-<version>-mingw-w64      (KVT_QT_CACHE overrides the folder)
#
# The build runs in a work folder beside the cache and is installed into the cache's final name by
# one rename at the very end, so an interrupted build never passes for a finished one; a rerun goes
# on where the interrupted one stopped. About 1100 build steps: some 30 minutes on 2 cores.
# The source comes through apt from the deb-src twin of the system's debian.sources, kept in a
# private apt state of the work folder: the system's apt configuration is not touched.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh g++-mingw-w64-x86-64-posix dpkg-dev xz-utils

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)      # 6.4.2+dfsg-10
upstream=${host_version%%+*}
upstream=${upstream%%-*}
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/kvt27
final=${KVT_QT_CACHE:-$cache_root/qt-$upstream-mingw-w64}
stamp=kvt27-qt-build.txt   # written last into the finished tree

if [ -f "$final/$stamp" ]; then
  echo "Qt $upstream for Windows: found the one built before in $final" >&2
  echo "$final"
  exit 0
fi

mkdir -p "$(dirname "$final")"
# One build per machine at a time; a second caller waits and then finds the finished one.
exec 9>"$final.lock"
if ! flock -n 9; then
  echo "Qt for Windows: another build is running; waiting for it ..." >&2
  flock 9
fi
if [ -f "$final/$stamp" ]; then
  echo "Qt $upstream for Windows: found the one built before in $final" >&2
  echo "$final"
  exit 0
fi
if [ -e "$final" ]; then
  echo "Qt for Windows: $final is not a finished build (no $stamp): removing it" >&2
  rm -rf "$final"
fi

work=$final.work
mkdir -p "$work"
log=$work/build.log
started=$SECONDS
echo "Qt $upstream for Windows: not found in $final; building it from Debian's qt6-base $host_version" \
  "(about 30 minutes on 2 cores; log: $log)" >&2

fail() {
  echo "Qt for Windows: $1 failed; the last lines of $log:" >&2
  tail -30 "$log" >&2
  exit 1
}

# --- the source ----------------------------------------------------------------------------------
src=$work/qt6-base-$upstream+dfsg
if [ ! -f "$work/source.done" ]; then
  rm -rf "$work/apt" "$work"/qt6-base*
  apt_dir=$work/apt
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  : >"$apt_dir/empty.list"
  # Debian's own archive, as the system knows it (URIs, suites, components, key), for sources.
  sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt_dir/parts/kvt27-qt-source.sources"
  apt_options=(-q -o "Dir::Etc::SourceList=$apt_dir/empty.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
  [ "$(id -u)" -eq 0 ] && apt_options+=(-o APT::Sandbox::User=root)
  {
    apt-get "${apt_options[@]}" update &&
      (cd "$work" && apt-get "${apt_options[@]}" source --only-source "qt6-base=$host_version")
  } >>"$log" 2>&1 || fail "fetching Debian's qt6-base $host_version source"
  rm -rf "$apt_dir"   # the deb-src entry and its lists go again
  [ -d "$src" ] || fail "unpacking the source ($src missing)"
  touch "$work/source.done"
fi

# --- configure -----------------------------------------------------------------------------------
toolchain=$work/toolchain.cmake
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
# Only what the window uses: Core, Gui (QPdfWriter included) and Widgets. Debian's source has no
# wintab, hence no tablet events; Qt 6.4's Windows plugin does not link without Direct2D.
configure_options=(
  -prefix "$final" -xplatform win32-g++ -qt-host-path /usr -release -shared
  -nomake tests -nomake examples
  -no-feature-network -no-feature-sql -no-feature-dbus -no-feature-printsupport -no-feature-testlib
  -no-feature-concurrent -no-feature-xml -no-opengl -no-feature-vulkan -no-zstd
  -no-feature-tabletevent -feature-direct2d -feature-directwrite3
  -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion
  --
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)
build=$work/build
options_text=$(printf '%q ' "${configure_options[@]}")
if [ ! -f "$build/configure.done" ] || [ "$(cat "$build/configure.done")" != "$options_text" ]; then
  rm -rf "$build"
  mkdir -p "$build"
  echo "Qt for Windows: configuring" >&2
  (cd "$build" && "$src/configure" "${configure_options[@]}") >>"$log" 2>&1 || fail "configure"
  echo "$options_text" >"$build/configure.done"
fi

# --- build and install ---------------------------------------------------------------------------
echo "Qt for Windows: compiling (a line every 100 steps)" >&2
set +e
cmake --build "$build" --parallel "${KVT_QT_JOBS:-2}" 2>&1 | tee -a "$log" |
  awk '/^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), s, "/"); n = s[1] + 0
       if (n % 100 == 0) { printf "Qt for Windows: step %s of %s\n", n, s[2] + 0; fflush() } }' >&2
status=${PIPESTATUS[0]}
set -e
[ "$status" -eq 0 ] || fail "the build"

partial=$final.partial
rm -rf "$partial"
cmake --install "$build" --prefix "$partial" >>"$log" 2>&1 || fail "installing"
# Qt's licences and where its source comes from, for what is shipped with it.
info=$partial/kvt27
mkdir -p "$info"
cp -r "$src/LICENSES" "$info/LICENSES"
cp "$src/debian/copyright" "$info/debian-copyright"
cp "$work"/qt6-base_*.dsc "$info/"
{
  echo "Qt $upstream (qtbase: Core, Gui, Widgets and the Windows platform plugin), built for 64-bit"
  echo "Windows with mingw-w64 from Debian's source package qt6-base, version $host_version:"
  echo
  echo "  https://packages.debian.org/source/bookworm/qt6-base"
  echo "  https://snapshot.debian.org/package/qt6-base/$host_version/"
  echo "  (apt-get source qt6-base=$host_version on Debian; $(basename "$work"/qt6-base_*.dsc) beside this file"
  echo "   gives the checksums of the original source and of Debian's changes to it)"
  echo
  echo "Configured with:"
  echo "  configure $options_text" | sed "s|$toolchain|toolchain.cmake|; s|$final|PREFIX|g"
  echo
  echo "toolchain.cmake:"
  sed 's/^/  /' "$toolchain"
  echo
  echo "Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -1)"
} >"$info/SOURCE.txt"
date -u '+built %Y-%m-%d %H:%M UTC' >"$partial/$stamp"
echo "$host_version" >>"$partial/$stamp"
mv -T "$partial" "$final"
rm -rf "$work"
elapsed=$((SECONDS - started))
# The processor time of the build's programs: on an idle machine the build takes about this much
# divided by the number of cores.
cpu=$(times | awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } printf "%d", s }')
echo "Qt $upstream for Windows: built in $((elapsed / 60)) min $((elapsed % 60)) s" \
  "($((cpu / 60)) min of processor time) into $final" >&2
echo "$final"
