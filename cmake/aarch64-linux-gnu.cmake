# Cross-builds for 64-bit Arm Linux (Raspberry Pi-class boards) with Debian's aarch64 toolchain and
# runs the results under qemu-aarch64.
#   cmake --preset linux-arm64   (or -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(triple aarch64-linux-gnu)
find_program(LEDCOLOR_CROSS_GXX ${triple}-g++)
find_program(LEDCOLOR_QEMU_AARCH64 qemu-aarch64)
if(NOT LEDCOLOR_CROSS_GXX)
  message(FATAL_ERROR "${triple}-g++ not found: install the Debian package g++-${triple} "
                      "(apt-get install g++-${triple})")
endif()
if(NOT LEDCOLOR_QEMU_AARCH64)
  message(FATAL_ERROR "qemu-aarch64 not found: install the Debian package qemu-user "
                      "(apt-get install qemu-user)")
endif()
set(CMAKE_C_COMPILER ${triple}-gcc)
set(CMAKE_CXX_COMPILER ${LEDCOLOR_CROSS_GXX})
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the target's dynamic loader and libraries live under Debian's cross sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR ${LEDCOLOR_QEMU_AARCH64} -L /usr/${triple})
