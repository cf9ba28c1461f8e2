# Installs the built project into a fresh prefix and builds the consumer against it the ways a user
# would: with find_package, and with a plain compiler line from pkg-config. Then builds it in a
# parent project that adds ledcolor's sources with add_subdirectory, which must get no harness
# and install nothing of ours.
#   BUILD_DIR, CONFIG      the build tree to install, and its configuration
#   SOURCE_DIR, WORK_DIR   ledcolor's sources, and a scratch folder (emptied first)
#   GENERATOR, CXX_COMPILER, CXX_FLAGS, LINKER_FLAGS  the toolchain the build tree was made with
#   PKG_CONFIG             the pkg-config program
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --config "${CONFIG}"
                        --prefix "${prefix}" COMMAND_ERROR_IS_FATAL ANY)

include(GNUInstallDirs)
foreach(installed IN ITEMS include/ledcolor/ledcolor.h include/ledcolor/color.h
                           include/ledcolor/adalight.h include/ledcolor/light.h
                           include/ledcolor/strip.h include/ledcolor/net.h
                           ${CMAKE_INSTALL_LIBDIR}/cmake/ledcolor/ledcolorConfig.cmake
                           ${CMAKE_INSTALL_LIBDIR}/cmake/ledcolor/ledcolorConfigVersion.cmake
                           ${CMAKE_INSTALL_LIBDIR}/pkgconfig/ledcolor.pc)
  if(NOT EXISTS "${prefix}/${installed}")
    message(FATAL_ERROR "the install is missing ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE archives "${prefix}/*ledcolor.a" "${prefix}/*ledcolor.lib")
file(GLOB harness "${prefix}/bin/vantiro_spike_harness*")
if(NOT archives OR NOT harness)
  message(FATAL_ERROR "the install is missing the static library or the harness")
endif()

set(toolchain "-DCMAKE_BUILD_TYPE=${CONFIG}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
              "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
file(READ "${SOURCE_DIR}/tests/expected/controller_stdout.txt" expected)
function(expect_consumer_output program how)
  execute_process(COMMAND "${program}" OUTPUT_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "consumer (${how}): status ${status}, printed '${out}', expected '${expected}'")
  endif()
  message(STATUS "consumer (${how}) printed: ${out}")
endfunction()

# find_package against the prefix.
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/examples/consumer" -B "${WORK_DIR}/build" -G "${GENERATOR}"
          "-DCMAKE_PREFIX_PATH=${prefix}" ${toolchain} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/build" --config "${CONFIG}"
                COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE consumer "${WORK_DIR}/build/consumer" "${WORK_DIR}/build/consumer.exe")
expect_consumer_output("${consumer}" "find_package")

# pkg-config and one compiler line, as a Makefile would have it.
set(ENV{PKG_CONFIG_PATH} "${prefix}/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs ledcolor OUTPUT_VARIABLE pc_flags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra_flags UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
set(line "${CXX_COMPILER}" ${extra_flags} "${SOURCE_DIR}/examples/consumer/main.cpp"
         ${pc_flags} -o "${WORK_DIR}/consumer_pc")
list(JOIN line " " shown)
message(STATUS "pkg-config consumer: ${shown}")
execute_process(COMMAND ${line} COMMAND_ERROR_IS_FATAL ANY)
expect_consumer_output("${WORK_DIR}/consumer_pc" "pkg-config")

# add_subdirectory from a parent project: the library only, and an install of the parent's own.
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/tests/parent" -B "${WORK_DIR}/parent" -G "${GENERATOR}"
          "-DLEDCOLOR_SOURCE_DIR=${SOURCE_DIR}" ${toolchain}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/parent" --config "${CONFIG}"
                COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE stray "${WORK_DIR}/parent/*vantiro_spike_harness*"
     "${WORK_DIR}/parent/*ledcolor_tests*")
if(stray)
  message(FATAL_ERROR "a parent project built what it did not ask for: ${stray}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${WORK_DIR}/parent" --config "${CONFIG}"
                        --prefix "${WORK_DIR}/parent_prefix" COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE installed RELATIVE "${WORK_DIR}/parent_prefix" "${WORK_DIR}/parent_prefix/*")
if(NOT installed MATCHES "^bin/consumer(\\.exe)?$")
  message(FATAL_ERROR "a parent project's install holds more than its own program: ${installed}")
endif()
file(GLOB_RECURSE parent_consumer "${WORK_DIR}/parent/consumer" "${WORK_DIR}/parent/consumer.exe")
expect_consumer_output("${parent_consumer}" "add_subdirectory")
