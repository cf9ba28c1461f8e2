# CPack. `cpack -G DEB` makes two Debian packages, libledcolor-dev (the library, its header and
# its CMake and pkg-config files) and vantiro-spike-harness (the program); configured with the
# prefix /usr, as the deb preset does, GNUInstallDirs puts the library under Debian's multiarch
# directory (lib/x86_64-linux-gnu). `cpack -G ZIP` in the windows-x64 tree makes one zip of both.
set(CPACK_PACKAGE_NAME ledcolor)
set(CPACK_PACKAGE_VENDOR "Vantiro")
set(CPACK_PACKAGE_CONTACT "Vantiro LED team <led@vantiro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ledcolor)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL dev harness)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libledcolor-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "pure colour functions for LED-strip controllers (static library)
A small C++20 static library for LED-strip controllers: Adalight frames,
classic and checked, encoded, decoded and read from a noisy serial stream;
hex colours; gamma tables, white balance and brightness ceilings; the
exact ceiling that keeps a strip within its power supply; and the bytes of
WS2812 (over SPI) and APA102 / SK9822 strips. No heap, no I/O, no global
state. This package holds the header, libledcolor.a, and the CMake and
pkg-config files: find_package(ledcolor) or pkg-config ledcolor.")
set(CPACK_DEBIAN_HARNESS_PACKAGE_NAME vantiro-spike-harness)
set(CPACK_DEBIAN_HARNESS_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_HARNESS_DESCRIPTION
    "validation program for the ledcolor library
vantiro_spike_harness runs fixed checks of the Adalight encoder, the hex
colour parser and the brightness ceiling against known values, prints a
PASS line per group, and stops at the first failed check with one FAIL
line and exit status 1. Scripts and CI read its exact output.")
# The architecture the toolchain builds for, not the one of the machine that packs it.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()

include(CPack)
