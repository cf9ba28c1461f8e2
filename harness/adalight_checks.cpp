#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "harness/checks.h"
#include "ledcolor/ledcolor.h"

namespace harness {

namespace {

using ledcolor::AdalightFrameSize;
using ledcolor::EncodeAdalightFrame;
using ledcolor::Rgb;

bool HeaderIs(std::span<const std::uint8_t> frame,
              const std::array<std::uint8_t, ledcolor::kAdalightHeaderSize>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (frame[i] != expected[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

void RunAdalightChecks() {
  constexpr std::size_t kLeds = 10;
  // Byte i of the row is 7i + 1: no two neighbouring bytes are equal and none is zero, so a
  // payload that is shifted, reordered or left unwritten cannot match by accident.
  std::array<Rgb, kLeds> leds{};
  for (std::size_t k = 0; k < kLeds; ++k) {
    leds[k] = Rgb{static_cast<std::uint8_t>(21 * k + 1), static_cast<std::uint8_t>(21 * k + 8),
                  static_cast<std::uint8_t>(21 * k + 15)};
  }
  std::array<std::uint8_t, AdalightFrameSize(kLeds)> frame{};
  const std::size_t written = EncodeAdalightFrame(leds, frame);

  if (!HeaderIs(frame, {0x41, 0x64, 0x61, 0x00, 0x09, 0x5C})) {
    Fail("Adalight 10-LED header must be 41 64 61 00 09 5C");
  }
  const std::span<const std::byte> input = std::as_bytes(std::span(leds));
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (frame[ledcolor::kAdalightHeaderSize + i] != std::to_integer<std::uint8_t>(input[i])) {
      Fail("Adalight payload byte must match input RGB verbatim");
    }
  }
  if (written != frame.size()) {
    Fail("Adalight 10-LED frame length must be 36 bytes");
  }
  std::printf("PASS: Adalight encoder — 10-LED header (41 64 61 00 09 5C) + 30 RGB bytes\n");

  const std::array<Rgb, 1> one_led{Rgb{0xFF, 0x80, 0x00}};
  std::array<std::uint8_t, AdalightFrameSize(1)> small_frame{};
  const std::size_t small_written = EncodeAdalightFrame(one_led, small_frame);
  // N - 1 = 0 leaves only the constant in the checksum.
  if (!HeaderIs(small_frame, {0x41, 0x64, 0x61, 0x00, 0x00, 0x55})) {
    Fail("Adalight N=1 header must be 41 64 61 00 00 55 (checksum 0x55)");
  }
  if (small_written != small_frame.size()) {
    Fail("Adalight N=1 frame length must be 9 bytes");
  }
  std::printf("PASS: Adalight encoder — N=1 boundary (checksum 0x55)\n");
}

}  // namespace harness
