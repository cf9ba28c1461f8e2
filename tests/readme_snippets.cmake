# Every C++ block of the README must appear, line for line, in one of the example programs the
# tests build and run, so that no snippet a reader copies can rot. Indentation is ignored: a
# snippet is shown flush left, the same lines sit inside a function in the file.
#   README    the README
#   SOURCES   the example programs ("|" between them)
cmake_minimum_required(VERSION 3.25)

# The lines of `text`, each stripped of leading blanks, joined again.
function(flush_left text out_var)
  string(REGEX REPLACE "(^|\n)[ ]+" "\\1" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

string(REPLACE "|" ";" sources "${SOURCES}")
set(examples "")
foreach(source IN LISTS sources)
  file(READ "${source}" content)
  flush_left("${content}" content)
  string(APPEND examples "${content}\n")
endforeach()

file(READ "${README}" readme)
# Walked with string(FIND) rather than matched into a list: C++ is full of semicolons, which would
# cut a CMake list's items.
set(count 0)
while(TRUE)
  string(FIND "${readme}" "```cpp\n" start)
  if(start EQUAL -1)
    break()
  endif()
  math(EXPR start "${start} + 7")
  string(SUBSTRING "${readme}" ${start} -1 readme)
  string(FIND "${readme}" "```" end)
  string(SUBSTRING "${readme}" 0 ${end} code)
  string(SUBSTRING "${readme}" ${end} -1 readme)
  flush_left("${code}" code)
  string(FIND "${examples}" "${code}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "A C++ block of the README is in none of the examples:\n${code}")
  endif()
  math(EXPR count "${count} + 1")
endwhile()
if(count EQUAL 0)
  message(FATAL_ERROR "${README} has no C++ block: the check would hold nothing")
endif()
message(STATUS "all ${count} C++ blocks of the README are in the examples")
