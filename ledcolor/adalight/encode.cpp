#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

std::size_t EncodeAdalightFrame(std::span<const Rgb> leds, std::span<std::uint8_t> frame) noexcept {
  const std::size_t size = AdalightFrameSize(leds.size());
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  // The payload goes first and with memmove, so that a row that overlaps the frame -- even one
  // sitting in the header's bytes -- is copied whole before the header can overwrite any of it.
  std::memmove(frame.data() + kAdalightHeaderSize, leds.data(), leds.size_bytes());

  adalight::WriteHeader(frame.data(), adalight::kMagic, leds.size());
  return size;
}

}  // namespace ledcolor
