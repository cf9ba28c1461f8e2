# Cross-builds for 64-bit Windows with Debian's MinGW-w64 and runs the results under Wine.
#   cmake --preset windows-x64   (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
# The posix thread model: the win32 one has no std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime, so that each .exe runs on a bare Windows (or Wine) without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian installs the 64-bit loader outside PATH. WINEDEBUG=-all keeps Wine's own diagnostics off
# the programs' stderr, which the tests compare byte for byte.
find_program(LEDCOLOR_CROSS_GXX ${triple}-g++-posix)
find_program(LEDCOLOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
if(NOT LEDCOLOR_CROSS_GXX)
  message(FATAL_ERROR "${triple}-g++-posix not found: install the Debian package "
                      "g++-mingw-w64-x86-64 (apt-get install g++-mingw-w64-x86-64)")
endif()
if(NOT LEDCOLOR_WINE)
  message(FATAL_ERROR "wine64 not found, which runs the tests: install the Debian package wine64 "
                      "(apt-get install wine64)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${LEDCOLOR_WINE})
