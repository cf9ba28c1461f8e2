# CPack. `cpack -G DEB` makes Debian packages: libledcolor-dev (the library, its header and its
# CMake and pkg-config files), vantiro-spike-harness (the program) and, where it is built,
# ledcolor (the controller program, its systemd unit and an example configuration); configured with the
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
if(TARGET ledcolor_tool)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()
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
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ledcolor)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION net)
# Set by hand, not by dpkg-shlibdeps, so that the cross-built arm64 package gets them too.
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
# `ledcolor inspect` loads libpcap when it reads a capture.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "libpcap0.8")
set(CPACK_DEBIAN_TOOL_DESCRIPTION
    "LED strips driven from the network: a DDP, E1.31 and Art-Net controller
ledcolor receives DDP, E1.31 (sACN, unicast and multicast) and Art-Net from
show programs, audio-reactive programs and ambient-lighting hosts, assembles
whole frames, shapes them (gamma, white balance, RGBW, a power budget) and
drives WS2812, SK6812 RGBW and APA102 strips on spidev, or controllers such
as a Pico running the ledcolor firmware on a serial port. Run as a systemd
service (ledcolor.service) from /etc/ledcolor/ledcolor.toml; an example
configuration is in /usr/share/doc/ledcolor/examples.")
# The architecture the toolchain builds for, not the one of the machine that packs it.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()

include(CPack)
