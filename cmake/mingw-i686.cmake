# Cross toolchain: 32-bit Windows, MinGW-w64 with the posix thread model so that
# std::thread and std::mutex work. Test executables run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The 32-bit loader, through Debian's wrapper (which picks it while wine32 is there).
set(BRIVOLA_WINE wine)
set(BRIVOLA_WINEARCH win32)
set(BRIVOLA_BINUTILS_PREFIX i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${BRIVOLA_WINE})
