// Fault: the last colour byte is changed on its way into the frame.
#include <cstring>

#include "ledcolor/ledcolor.h"

namespace ledcolor {

std::size_t EncodeAdalightFrame(std::span<const Rgb> leds, std::span<std::uint8_t> frame) {
  const std::size_t size = AdalightFrameSize(leds.size());
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  const std::size_t count = leds.size() - 1;
  const auto hi = static_cast<std::uint8_t>(count >> 8);
  const auto lo = static_cast<std::uint8_t>(count & 0xFF);
  const std::uint8_t header[] = {0x41, 0x64, 0x61,
                                 hi,   lo,   static_cast<std::uint8_t>(hi ^ lo ^ 0x55)};
  std::memcpy(frame.data(), header, sizeof header);
  std::memcpy(frame.data() + kAdalightHeaderSize, leds.data(), leds.size_bytes());
  frame[size - 1] ^= 0x01;
  return size;
}

}  // namespace ledcolor
