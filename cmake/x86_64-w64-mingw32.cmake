# Cross-builds the 64-bit Windows program with Debian's MinGW-w64 compiler
# (the POSIX-threads variant). VELDMARROW_MINGW_PREFIXES lists the folders
# where scripts/build-windows installed the cross-built libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(target x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${target}-g++-posix)
set(CMAKE_RC_COMPILER ${target}-windres)
set(CMAKE_AR ${target}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${target}-gcc-ranlib-posix CACHE FILEPATH "")
# Passed on to the compiler checks CMake makes with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELDMARROW_MINGW_PREFIXES)

set(CMAKE_FIND_ROOT_PATH /usr/${target} ${VELDMARROW_MINGW_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
