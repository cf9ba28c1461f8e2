#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeApa102Frame(std::span<const Rgb> leds, ColorOrder order, std::uint8_t brightness,
                              std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Apa102FrameSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || brightness > 31 || out.size() < size ||
      internal::Overlap(leds, out)) {
    return 0;
  }
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  std::uint8_t* o = out.data();
  std::memset(o, 0, 4);  // the start frame
  o += 4;
  for (std::size_t i = 0; i < leds.size(); ++i, in += 3, o += 4) {
    // The top three bits mark an LED frame; the low five are its global current.
    o[0] = static_cast<std::uint8_t>(0xE0 | brightness);
    o[1] = in[channels[0]];
    o[2] = in[channels[1]];
    o[3] = in[channels[2]];
  }
  // The end frame: four bytes that latch an SK9822, then one per 16 LEDs, the N / 2 extra clock
  // edges an APA102 chain needs to pass the data on to its last LED.
  std::memset(o, 0, size - 4 - 4 * leds.size());
  return size;
}

}  // namespace ledcolor
