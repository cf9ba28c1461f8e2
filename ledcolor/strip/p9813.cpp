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
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  std::uint8_t* o = out.data();
  std::memset(o, 0, 4);  // the start frame
  o += 4;
  for (std::size_t i = 0; i < leds.size(); ++i, in += 3, o += 4) {
    // Read before writing: the compiler cannot know that `out` and the row never overlap.
    const unsigned r = in[0];
    const unsigned g = in[1];
    const unsigned b = in[2];
    // The flag byte repeats each channel's top two bits, inverted, as a check the chip makes:
    // 0xC0 | ~b[7:6] << 4 | ~g[7:6] << 2 | ~r[7:6], the three inverted by one XOR.
    o[0] = static_cast<std::uint8_t>((0xC0U | (b >> 6) << 4 | (g >> 6) << 2 | r >> 6) ^ 0x3FU);
    o[1] = static_cast<std::uint8_t>(b);
    o[2] = static_cast<std::uint8_t>(g);
    o[3] = static_cast<std::uint8_t>(r);
  }
  std::memset(o, 0, 8);  // the end frame latches the chain
  return size;
}

}  // namespace ledcolor
