# Fails when a program links any floating-point routine: the soft-float helpers a compiler calls
# for double and float arithmetic on a core without an FPU, or the C library's pow, exp and log.
#   NM       the nm of the toolchain
#   PROGRAM  the linked program
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${NM}" "${PROGRAM}" OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
# The Arm run-time ABI's names (__aeabi_dadd, __aeabi_fmul, __aeabi_i2d, __aeabi_d2uiz ...), then
# libgcc's generic ones (__adddf3, __floatsidf, __fixdfsi ...), then the maths library's.
set(helper "__aeabi_([df](add|sub|rsub|mul|div|neg|cmp[a-z]*)|[a-z0-9]*2[df]|[df]2[a-z0-9]+)")
set(generic "__(add|sub|mul|div|neg|extend|trunc|fix|fixuns|float|floatun|un|eq|ne|lt|le|gt|ge|cmp)[sd]f[a-z0-9]*")
string(REGEX MATCHALL " [TtWw] (${helper}|${generic}|pow|exp|log)\n" found "${symbols}")
if(found)
  string(REPLACE "\n" "" found "${found}")
  message(FATAL_ERROR "${PROGRAM} links floating-point code:${found}")
endif()
message(STATUS "${PROGRAM}: no floating-point code linked")
