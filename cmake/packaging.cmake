# CPack: `cpack -G DEB` in a build tree makes a Debian package, `cpack -G ZIP` (in the windows-x64
# tree) a zip; both hold what `cmake --install` puts under the prefix.
set(CPACK_PACKAGE_NAME ledcolor)
set(CPACK_PACKAGE_VENDOR "Vantiro")
set(CPACK_PACKAGE_CONTACT "Vantiro LED team <led@vantiro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "A small C++20 static library for LED-strip colour controllers: Adalight frame encoding, \
decoding and stream reading, six-digit hex colour parsing, and a brightness ceiling for single \
values and whole rows. No heap, no I/O, no global state; safe on any input. Includes the \
vantiro_spike_harness validation program.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ledcolor)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The architecture the toolchain builds for, not the one of the machine that packs it.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()

include(CPack)
