# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/toolchain-mingw-w64.cmake
# Without a Qt for Windows the window is left out (a notice says so); kvt27ctl.exe and the
# libraries are built. scripts/wine-test.sh builds and tests with it under wine.
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

# Linked statically, so no DLL of the compiler's runtime (libstdc++, libgcc, winpthread) has to
# travel with the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine where it is installed (ctest in the build folder).
find_program(KVT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(KVT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVT_WINE})
endif()
