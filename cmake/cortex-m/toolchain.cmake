# What both Cortex-M toolchain files share: arm-none-eabi GCC with newlib-nano, no exceptions or
# RTTI, our own startup and linker script, the standard streams through semihosting, and QEMU to
# run the programs. The including file sets LEDCOLOR_CORTEX_M_CPU, LEDCOLOR_QEMU_MACHINE and
# LEDCOLOR_LINKER_SCRIPT.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
# Bare metal links nothing without a startup file and a linker script: check the compiler alone.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# What is missing is said at configure time, with the Debian package that brings it.
function(ledcolor_require_program variable program package)
  find_program(${variable} ${program})
  if(NOT ${variable})
    message(FATAL_ERROR "${program} not found: install the Debian package ${package} "
                        "(apt-get install ${package})")
  endif()
endfunction()
ledcolor_require_program(LEDCOLOR_ARM_GCC arm-none-eabi-gcc gcc-arm-none-eabi)
ledcolor_require_program(LEDCOLOR_ARM_GXX arm-none-eabi-g++ gcc-arm-none-eabi)
ledcolor_require_program(LEDCOLOR_QEMU_SYSTEM_ARM qemu-system-arm qemu-system-arm)

set(cpu_flags "-mcpu=${LEDCOLOR_CORTEX_M_CPU} -mthumb -mfloat-abi=soft")
foreach(needed IN ITEMS "librdimon_nano.a;libnewlib-arm-none-eabi"
                        "libstdc++_nano.a;libstdc++-arm-none-eabi-newlib")
  list(GET needed 0 library)
  list(GET needed 1 package)
  separate_arguments(flags UNIX_COMMAND "${cpu_flags}")
  execute_process(COMMAND ${LEDCOLOR_ARM_GXX} ${flags} -print-file-name=${library}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}")
    message(FATAL_ERROR "${library} not found for ${LEDCOLOR_CORTEX_M_CPU}: install the Debian "
                        "package ${package} (apt-get install ${package})")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${LEDCOLOR_ARM_GCC})
set(CMAKE_CXX_COMPILER ${LEDCOLOR_ARM_GXX})
set(CMAKE_C_FLAGS_INIT "${cpu_flags} -ffunction-sections -fdata-sections")
# -Wno-psabi: GCC notes that small structs passed by value changed their ABI in GCC 7.1, which
# concerns only code built with GCC 6 or older.
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT} -fno-exceptions -fno-rtti -Wno-psabi")
# rdimon: newlib's system calls through semihosting. -nostartfiles: the startup is our own.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "--specs=nano.specs --specs=rdimon.specs -nostartfiles -L${CMAKE_CURRENT_LIST_DIR} \
-T${LEDCOLOR_LINKER_SCRIPT} -Wl,--gc-sections")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-in-qemu.sh
                                  ${LEDCOLOR_QEMU_SYSTEM_ARM} ${LEDCOLOR_QEMU_MACHINE})
# The startup file, linked into every program of the build (see cmake/cortex-m/CMakeLists.txt).
set(LEDCOLOR_PLATFORM_RUNTIME ${CMAKE_CURRENT_LIST_DIR})
