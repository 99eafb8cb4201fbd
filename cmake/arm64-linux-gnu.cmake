# Cross-building for 64-bit ARM Linux (Debian arm64) on a Debian x86-64
# machine: Debian's g++-aarch64-linux-gnu, and the arm64 libraries installed
# beside the native ones through multiarch (scripts/build-arm64 installs
# both). The cross compiler already searches /usr/include/aarch64-linux-gnu
# and /usr/lib/aarch64-linux-gnu, and with the library architecture set CMake
# finds libraries and packages there; headers in /usr/include are shared.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# pkg-config reads the arm64 packages' files, not the native ones: CMake's
# newer find modules (SQLite's since 3.30) take their library folder from it.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Debian's SDL 1.2 and SDL_image development packages cannot be installed for
# two architectures at once (each brings its own sdl-config), so the build
# takes the native package's headers, which are the same bytes on arm64, and
# links the arm64 run-time libraries by their full names.
set(SDL_LIBRARY_TEMP /usr/lib/aarch64-linux-gnu/libSDL-1.2.so.0 CACHE FILEPATH "SDL 1.2 for arm64")
set(SDL_IMAGE_LIBRARY /usr/lib/aarch64-linux-gnu/libSDL_image-1.2.so.0 CACHE FILEPATH "SDL_image 1.2 for arm64")

# Test programs run on this machine under user-mode emulation.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
