#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeLpd8806Frame(std::span<const Rgb> leds, ColorOrder order,
                               std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Lpd8806FrameSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  // The channels in order, as a WS2801 takes them; then each byte's top seven bits under a set top
  // bit -- the mark of a data byte -- eight bytes a step: the shift moves no bit across a byte
  // boundary that the mask keeps.
  const std::size_t bytes = 3 * leds.size();
  strip::Reorder<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), channels,
                    out.data());
  std::uint8_t* o = out.data();
  std::size_t at = 0;
  for (; at + 8 <= bytes; at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, o + at, 8);
    word = (word >> 1 & 0x7F7F7F7F7F7F7F7FU) | 0x8080808080808080U;
    std::memcpy(o + at, &word, 8);
  }
  for (; at < bytes; ++at) {
    o[at] = static_cast<std::uint8_t>(0x80 | o[at] >> 1);
  }
  o += bytes;
  // A zero byte latches the chain and starts the next frame, one for each 32 LEDs it must pass.
  std::memset(o, 0, size - bytes);
  return size;
}

}  // namespace ledcolor
