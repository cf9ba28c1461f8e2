#include <cstring>

#include "ledcolor/ledcolor.h"

namespace ledcolor {

std::size_t EncodeAdalightFrame(std::span<const Rgb> leds, std::span<std::uint8_t> frame) noexcept {
  const std::size_t size = AdalightFrameSize(leds.size());
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  // The payload goes first and with memmove, so that a row that overlaps the frame -- even one
  // sitting in the header's bytes -- is copied whole before the header can overwrite any of it.
  std::memmove(frame.data() + kAdalightHeaderSize, leds.data(), leds.size_bytes());

  // N - 1, because a frame always holds at least one LED: 16 bits then reach 65536 LEDs.
  const std::size_t count = leds.size() - 1;
  const auto hi = static_cast<std::uint8_t>(count >> 8);
  const auto lo = static_cast<std::uint8_t>(count & 0xFF);
  frame[0] = 0x41;  // 'A'
  frame[1] = 0x64;  // 'd'
  frame[2] = 0x61;  // 'a'
  frame[3] = hi;
  frame[4] = lo;
  frame[5] = static_cast<std::uint8_t>(hi ^ lo ^ 0x55);
  return size;
}

}  // namespace ledcolor
