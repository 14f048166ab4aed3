# Cross build for 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu) against the target's
# libraries from Debian's multiarch packages (expat, OpenSSL, zlib, cpp-httplib, GoogleTest, the C and C++
# runtimes as :arm64, in /usr/lib/aarch64-linux-gnu). Programs built for the target run through qemu-user
# (CMAKE_CROSSCOMPILING_EMULATOR): ctest, GoogleTest's test discovery and the test scripts that start
# programs put the emulator in front, so nothing depends on the host starting ARM programs by itself
# (binfmt). scripts/setup.sh aarch64 installs all of it; the `aarch64` preset uses this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The programs load with the target's loader and libraries from the arm64 multiarch packages
# (/lib/ld-linux-aarch64.so.1, libc6:arm64, libstdc++6:arm64 ...), so the emulator needs no root of its own.
# (With the cross toolchain's folder as its root, `-L /usr/aarch64-linux-gnu`, qemu-aarch64 7.2 hangs in the
# first pthread_create of a program.)
find_program(QUORL_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORL_QEMU_AARCH64}")

# Libraries, headers and packages of the target only; programs (Python, pkg-config, the generator) of the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the target's .pc files, not the host's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
