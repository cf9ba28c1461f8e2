# Runs a program and holds its stdout, stderr and exit status to the harness's output contract,
# byte for byte. Line ends are expected as the target platform writes them in text mode, so the
# same comparison runs natively and under an emulator.
#
#   PROGRAM          the program to run
#   CAPTURE          path prefix for the files that catch its stdout and stderr
#   EMULATOR         what to run it under, if anything ("|" between words)
#   PROGRAM_ARGS     its arguments ("|" between them)
#   EXPECTED_STDOUT  a file of expected lines, LF-terminated
#   STDOUT_LINES     how many of those lines stdout must hold, no more and no fewer
#   EXPECTED_FAIL    the message of the single FAIL line on stderr; empty for an empty stderr
#   EXPECTED_STATUS  the exit status
#   LINE_END         LF, or CRLF for a Windows target
cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" emulator "${EMULATOR}")
string(REPLACE "|" ";" args "${PROGRAM_ARGS}")
# Through files, not variables: execute_process turns CR LF into LF and drops NUL bytes in what it
# captures, and both must show here.
execute_process(
  COMMAND ${emulator} "${PROGRAM}" ${args}
  OUTPUT_FILE "${CAPTURE}.stdout"
  ERROR_FILE "${CAPTURE}.stderr"
  RESULT_VARIABLE actual_status
  TIMEOUT 120)
file(READ "${CAPTURE}.stdout" actual_out)
file(READ "${CAPTURE}.stderr" actual_err)
file(READ "${CAPTURE}.stdout" actual_out_hex HEX)
file(READ "${CAPTURE}.stderr" actual_err_hex HEX)

file(READ "${EXPECTED_STDOUT}" rest)
set(expected_out "")
set(taken 0)
while(taken LESS STDOUT_LINES)
  string(FIND "${rest}" "\n" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "${EXPECTED_STDOUT} has fewer than ${STDOUT_LINES} lines")
  endif()
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${rest}" 0 ${end} line)
  string(SUBSTRING "${rest}" ${end} -1 rest)
  string(APPEND expected_out "${line}")
  math(EXPR taken "${taken} + 1")
endwhile()

set(expected_err "")
if(NOT "${EXPECTED_FAIL}" STREQUAL "")
  set(expected_err "FAIL: ${EXPECTED_FAIL}\n")
endif()
if(LINE_END STREQUAL "CRLF")
  string(REPLACE "\n" "\r\n" expected_out "${expected_out}")
  string(REPLACE "\n" "\r\n" expected_err "${expected_err}")
elseif(NOT LINE_END STREQUAL "LF")
  message(FATAL_ERROR "LINE_END must be LF or CRLF, not '${LINE_END}'")
endif()

# Line ends made visible, so that a report shows a CR or a missing LF.
function(show text out_var)
  string(REPLACE "\r" "\\r" text "${text}")
  string(REPLACE "\n" "\\n\n    " text "${text}")
  set(${out_var} "    ${text}" PARENT_SCOPE)
endfunction()

set(problems "")
foreach(stream IN ITEMS out err)
  string(HEX "${expected_${stream}}" expected_hex)
  if(NOT actual_${stream}_hex STREQUAL expected_hex)
    show("${expected_${stream}}" want)
    show("${actual_${stream}}" got)
    string(APPEND problems "std${stream} differs.\n  expected:\n${want}\n  actual:\n${got}\n")
  endif()
endforeach()
if(NOT actual_status STREQUAL EXPECTED_STATUS)
  string(APPEND problems "exit status: expected ${EXPECTED_STATUS}, actual ${actual_status}\n")
endif()
if(NOT problems STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} broke the output contract:\n${problems}")
endif()
