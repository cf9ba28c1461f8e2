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
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  std::uint8_t* o = out.data();
  const std::size_t c0 = channels[0];
  const std::size_t c1 = channels[1];
  const std::size_t c2 = channels[2];
  for (std::size_t i = 0; i < leds.size(); ++i, in += 3, o += 3) {
    // The top bit marks a data byte; the chip takes the 7 bits below it.
    o[0] = static_cast<std::uint8_t>(0x80 | (in[c0] >> 1));
    o[1] = static_cast<std::uint8_t>(0x80 | (in[c1] >> 1));
    o[2] = static_cast<std::uint8_t>(0x80 | (in[c2] >> 1));
  }
  // A zero byte latches the chain and starts the next frame, one for each 32 LEDs it must pass.
  std::memset(o, 0, size - 3 * leds.size());
  return size;
}

}  // namespace ledcolor
