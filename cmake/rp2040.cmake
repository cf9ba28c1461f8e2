# The Raspberry Pi Pico's RP2040 (a Cortex-M0+), bare metal: arm-none-eabi GCC with newlib-nano,
# the firmware in firmware/rp2040/ with its own boot, startup and linker script.
#   cmake --preset rp2040
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
find_program(LEDCOLOR_ARM_GCC arm-none-eabi-gcc)
find_program(LEDCOLOR_ARM_GXX arm-none-eabi-g++)
if(NOT LEDCOLOR_ARM_GCC OR NOT LEDCOLOR_ARM_GXX)
  message(FATAL_ERROR "arm-none-eabi-gcc not found: install the Debian packages gcc-arm-none-eabi "
                      "libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib")
endif()
set(CMAKE_C_COMPILER ${LEDCOLOR_ARM_GCC})
set(CMAKE_CXX_COMPILER ${LEDCOLOR_ARM_GXX})
set(CMAKE_ASM_COMPILER ${LEDCOLOR_ARM_GCC})
set(CMAKE_C_FLAGS_INIT "-mcpu=cortex-m0plus -mthumb -mfloat-abi=soft -ffunction-sections -fdata-sections")
set(CMAKE_ASM_FLAGS_INIT "-mcpu=cortex-m0plus -mthumb")
# -Wno-psabi: GCC notes that small structs passed by value changed their ABI in GCC 7.1, which
# concerns only code built with GCC 6 or older.
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT} -fno-exceptions -fno-rtti -Wno-psabi")
set(CMAKE_EXE_LINKER_FLAGS_INIT "--specs=nano.specs --specs=nosys.specs -nostartfiles -Wl,--gc-sections")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The firmware is what this toolchain builds; the host-side tests of the other presets are not.
set(LEDCOLOR_FIRMWARE rp2040)
