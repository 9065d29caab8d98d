# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/toolchain-mingw-w64.cmake
# Without a Qt for Windows the window is left out (a notice says so); kvt27ctl.exe and the
# libraries are built. scripts/wine-test.sh builds and tests with it under wine.
#
# The window needs a Qt for Windows outside the sysroot, such as the one scripts/build-qt-windows.sh
# builds (scripts/build-windows.sh does all of it):
#   cmake -S . -B build-windows-qt -G Ninja --toolchain cmake/toolchain-mingw-w64.cmake \
#     -DKVT_QT_WINDOWS=$HOME/.cache/kvt27/qt-6.4.2-mingw-w64
# (or KVT_QT_WINDOWS in the environment). Qt is searched there besides the sysroot; the host's
# moc, rcc and uic come from /usr (the Qt of the same version the build used).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KVT_MINGW_TRIPLE x86_64-w64-mingw32)

# The -posix thread model: std::thread and std::mutex, which the serial component uses, need it.
set(CMAKE_C_COMPILER ${KVT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KVT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Qt for Windows, as a second root of the searches; the sysroot itself stays without Qt, so a
# build that is not given one (the kvt27ctl-only build of the wine suite) never finds one.
if(NOT KVT_QT_WINDOWS AND DEFINED ENV{KVT_QT_WINDOWS})
  set(KVT_QT_WINDOWS "$ENV{KVT_QT_WINDOWS}")
endif()
set(KVT_QT_WINDOWS "${KVT_QT_WINDOWS}" CACHE PATH "A Qt 6 for Windows (mingw-w64) to build the window with")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KVT_QT_WINDOWS)
if(KVT_QT_WINDOWS)
  list(APPEND CMAKE_FIND_ROOT_PATH "${KVT_QT_WINDOWS}")
  list(APPEND CMAKE_PREFIX_PATH "${KVT_QT_WINDOWS}")
  if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
  endif()
endif()

# Programs carry the compiler's runtime inside (cmake/KvtOptions.cmake), so kvt27ctl.exe needs no
# DLL beside it; the window uses the runtime DLLs that its Qt uses.

# Test programs run under wine where it is installed (ctest in the build folder).
find_program(KVT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(KVT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVT_WINE})
endif()
