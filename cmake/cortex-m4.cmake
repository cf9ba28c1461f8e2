# Cortex-M4 (ARMv7E-M), run under qemu-system-arm -M mps2-an386: 4 MiB of code, 4 MiB of RAM.
#   cmake --preset cortex-m4
set(LEDCOLOR_CORTEX_M_CPU cortex-m4)
set(LEDCOLOR_QEMU_MACHINE mps2-an386)
set(LEDCOLOR_LINKER_SCRIPT mps2-an386.ld)
include(${CMAKE_CURRENT_LIST_DIR}/cortex-m/toolchain.cmake)
