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
  // Each channel's top seven bits under a set top bit, the mark of a data byte.
  const std::size_t bytes = 3 * leds.size();
  std::uint8_t* o = out.data();
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  if constexpr (sizeof(void*) >= 8) {
    // With 64-bit registers: the channels in order, as a WS2812 takes them, then eight bytes a
    // step -- the shift moves no bit across a byte boundary that the mask keeps.
    strip::Reorder<3>(in, leds.size(), channels, o);
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
  } else {
    // Small cores: one pass, LED by LED, the offsets in locals.
    const std::size_t c0 = channels[0];
    const std::size_t c1 = channels[1];
    const std::size_t c2 = channels[2];
    for (std::size_t i = 0; i < leds.size(); ++i, in += 3) {
      // Read before writing: the compiler cannot know that `out` and the row never overlap.
      const unsigned first = in[c0];
      const unsigned second = in[c1];
      const unsigned third = in[c2];
      o[3 * i] = static_cast<std::uint8_t>(0x80 | first >> 1);
      o[3 * i + 1] = static_cast<std::uint8_t>(0x80 | second >> 1);
      o[3 * i + 2] = static_cast<std::uint8_t>(0x80 | third >> 1);
    }
  }
  // A zero byte latches the chain and starts the next frame, one for each 32 LEDs it must pass.
  std::memset(o + bytes, 0, size - bytes);
  return size;
}

}  // namespace ledcolor
