#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeWs2812Bytes(std::span<const Rgbw> leds, ColorOrder order, WhitePosition white,
                              std::span<std::uint8_t> out) noexcept {
  const auto* row = reinterpret_cast<const std::uint8_t*>(leds.data());
  const auto channels = strip::Channels(order, white);
  // In place is the row's own bytes exactly; a shifted overlap would overwrite LEDs not yet read.
  const bool in_place = out.data() == row;
  if (leds.empty() || !channels || out.size() < leds.size_bytes() ||
      (internal::Overlap(leds, out) && !in_place)) {
    return 0;
  }
  strip::Reorder<4>(row, leds.size(), channels->data(), out.data());
  return leds.size_bytes();
}

}  // namespace ledcolor
