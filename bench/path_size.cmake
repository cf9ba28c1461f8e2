# Prints the bytes of code and constants (the `text` of arm-none-eabi-size) that the controller's
# path adds to a firmware, WITH less WITHOUT, and fails above BUDGET when one is given.
#   cmake -DSIZE=arm-none-eabi-size -DWITH=a.elf -DWITHOUT=b.elf [-DBUDGET=4096] -P path_size.cmake
foreach(program IN ITEMS WITH WITHOUT)
  execute_process(COMMAND ${SIZE} ${${program}} OUTPUT_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out MATCHES "\n *([0-9]+)")
    message(FATAL_ERROR "${SIZE} ${${program}} failed: ${out}")
  endif()
  set(${program}_text ${CMAKE_MATCH_1})
endforeach()
math(EXPR path "${WITH_text} - ${WITHOUT_text}")
message("the controller's path as a firmware links it: ${path} bytes of code and constants")
if(BUDGET AND path GREATER BUDGET)
  message(FATAL_ERROR "above the budget of ${BUDGET} bytes")
endif()
