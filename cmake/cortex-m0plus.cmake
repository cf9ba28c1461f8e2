# Cortex-M0+ (ARMv6-M), run under qemu-system-arm -M microbit, a Cortex-M0 with the same
# instruction set: 256 KiB of flash, 16 KiB of RAM.
#   cmake --preset cortex-m0plus
set(LEDCOLOR_CORTEX_M_CPU cortex-m0plus)
set(LEDCOLOR_QEMU_MACHINE microbit)
set(LEDCOLOR_LINKER_SCRIPT microbit.ld)
include(${CMAKE_CURRENT_LIST_DIR}/cortex-m/toolchain.cmake)
