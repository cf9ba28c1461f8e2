# Holds the built library to what it promises callers: no heap, no I/O, no global state. Its
# objects may call only the few C library functions it is written against, and may define no
# writable data. Run on an optimised, uninstrumented build, where inline library code is folded.
#   NM       the nm of the toolchain
#   LIBRARY  the static library
cmake_minimum_required(VERSION 3.25)

# The last lines: libgcc's arithmetic helpers on 32-bit Arm -- division where the core has no
# divide instruction (ARMv6-M), and 64-bit multiplication, division and shifts.
set(allowed memmove memcpy memset memchr memcmp isxdigit strtoul __ctype_b_loc __stack_chk_fail
            __aeabi_uidiv __aeabi_idiv __aeabi_uidivmod __aeabi_lmul __aeabi_uldivmod __aeabi_llsl
            __aeabi_llsr)

execute_process(COMMAND "${NM}" --defined-only "${LIBRARY}" OUTPUT_VARIABLE defined
                COMMAND_ERROR_IS_FATAL ANY)
# One object of the library may call a function that another defines (W: a template's explicit
# instantiation).
string(REGEX MATCHALL "[0-9a-fA-F]+ [TtWw] [^\n]+" own_functions "${defined}")
list(TRANSFORM own_functions REPLACE "^[0-9a-fA-F]+ [TtWw] " "")

execute_process(COMMAND "${NM}" -u "${LIBRARY}" OUTPUT_VARIABLE undefined COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "U [^\n]+" undefined "${undefined}")
set(problems "")
foreach(entry IN LISTS undefined)
  string(SUBSTRING "${entry}" 2 -1 symbol)
  string(REGEX REPLACE "^__imp_" "" symbol "${symbol}")  # MinGW: the same call, through the DLL
  if(NOT symbol IN_LIST allowed AND NOT symbol IN_LIST own_functions)
    string(APPEND problems "  calls ${symbol}\n")
  endif()
endforeach()

# B, D, C, G and S (any case) are zero-filled, initialised, common and small data: state.
# MinGW lists every object's (empty) section names as symbols, so names with a dot are left out.
string(REGEX MATCHALL "[0-9a-fA-F]+ [BbDdCGgSs] [^.\n][^\n]*" data "${defined}")
foreach(entry IN LISTS data)
  string(APPEND problems "  defines writable data: ${entry}\n")
endforeach()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "${LIBRARY} reaches beyond its promise:\n${problems}")
endif()
