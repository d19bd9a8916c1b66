# Cross-build for 64-bit ARM with Debian's cross compiler and the arm64 multiarch -dev packages
# (scripts/install-deps --aarch64 brings both). The tests run under user-mode emulation:
#   cmake -S . -B build/aarch64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#   ninja -C build/aarch64 && ctest --test-dir build/aarch64 -LE vm
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Debian keeps arm64 libraries and their CMake packages under /usr/lib/aarch64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# ctest, test discovery and the tests that start the driver or vexa_ctl run the binaries through
# this. The loader and libraries are the arm64 multiarch ones, where the kernel's paths find them:
# pointing the emulator at the cross toolchain's tree instead (-L) mixes two C library builds, and
# a second thread or a forked child then hangs.
find_program(VEXA_QEMU_AARCH64 qemu-aarch64-static qemu-aarch64)
if(VEXA_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXA_QEMU_AARCH64})
endif()
