#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"

namespace ledcolor {

std::size_t EncodeP9813Frame(std::span<const Rgb> leds, std::span<std::uint8_t> out) noexcept {
  const std::size_t size = P9813FrameSize(leds.size());
  if (size == 0 || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  std::uint8_t* o = out.data();
  std::memset(o, 0, 4);  // the start frame
  o += 4;
  for (const Rgb& led : leds) {
    // The flag byte repeats each channel's top two bits, inverted, as a check the chip makes.
    const unsigned flag = 0xC0U | ((~static_cast<unsigned>(led.b) >> 6 & 3U) << 4) |
                          ((~static_cast<unsigned>(led.g) >> 6 & 3U) << 2) |
                          (~static_cast<unsigned>(led.r) >> 6 & 3U);
    o[0] = static_cast<std::uint8_t>(flag);
    o[1] = led.b;
    o[2] = led.g;
    o[3] = led.r;
    o += 4;
  }
  std::memset(o, 0, 8);  // the end frame latches the chain
  return size;
}

}  // namespace ledcolor
