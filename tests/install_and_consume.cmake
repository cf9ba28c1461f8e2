# Installs the built project into a fresh prefix, then configures, builds and runs the consumer
# project against it, the way a user would.
#   BUILD_DIR, CONFIG      the build tree to install, and its configuration
#   CONSUMER_DIR, WORK_DIR the consumer's sources, and a scratch folder (emptied first)
#   GENERATOR, CXX_COMPILER, CXX_FLAGS, LINKER_FLAGS  the toolchain the build tree was made with
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --config "${CONFIG}"
                        --prefix "${prefix}" COMMAND_ERROR_IS_FATAL ANY)

include(GNUInstallDirs)
foreach(installed IN ITEMS include/ledcolor/ledcolor.h
                           ${CMAKE_INSTALL_LIBDIR}/cmake/ledcolor/ledcolorConfig.cmake
                           ${CMAKE_INSTALL_LIBDIR}/cmake/ledcolor/ledcolorConfigVersion.cmake)
  if(NOT EXISTS "${prefix}/${installed}")
    message(FATAL_ERROR "the install is missing ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE archives "${prefix}/*ledcolor.a" "${prefix}/*ledcolor.lib")
file(GLOB harness "${prefix}/bin/vantiro_spike_harness*")
if(NOT archives OR NOT harness)
  message(FATAL_ERROR "the install is missing the static library or the harness")
endif()

execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
          "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_BUILD_TYPE=${CONFIG}"
          "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
          "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/build" --config "${CONFIG}"
                COMMAND_ERROR_IS_FATAL ANY)

file(GLOB_RECURSE consumer "${WORK_DIR}/build/consumer" "${WORK_DIR}/build/consumer.exe")
execute_process(COMMAND ${consumer} OUTPUT_VARIABLE out RESULT_VARIABLE status)
set(expected "41 64 61 00 01 54 FF 80 00 32 00 00\n")
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "consumer: status ${status}, printed '${out}', expected '${expected}'")
endif()
message(STATUS "consumer built against the installed package printed: ${out}")
