# Cross toolchain: 64-bit Windows, MinGW-w64 with the posix thread model. Not shipped:
# this build exists so that every Windows test also runs on machines whose kernel
# cannot run 32-bit programs, and so that the code stays honest about pointer sizes.
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

# Debian's `wine` wrapper picks the 32-bit loader whenever wine32 is installed, even
# where it cannot start: call the 64-bit loader itself.
set(BRIVOLA_WINE /usr/lib/wine/wine64)
set(BRIVOLA_WINEARCH win64)
set(BRIVOLA_BINUTILS_PREFIX x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${BRIVOLA_WINE})
