#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

std::size_t DecodeAdalightFrame(std::span<const std::uint8_t> frame, std::span<Rgb> leds) noexcept {
  if (frame.size() < kAdalightHeaderSize) {
    return 0;
  }
  const std::size_t count = adalight::LedCount(frame.data());
  if (count == 0 || frame.size() < AdalightFrameSize(count) || leds.size() < count) {
    return 0;
  }
  // memmove: a caller may decode in place, into storage that overlaps the frame.
  std::memmove(leds.data(), frame.data() + kAdalightHeaderSize, 3 * count);
  return count;
}

}  // namespace ledcolor
