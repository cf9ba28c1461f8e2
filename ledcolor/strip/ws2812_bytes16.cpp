#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"
#include "ledcolor/strip/words.h"

namespace ledcolor {

namespace {

template <std::size_t kChannels, typename Color>
std::size_t Encode(std::span<const Color> leds, const std::uint8_t* channels,
                   std::span<std::uint8_t> out) noexcept {
  const auto* row = reinterpret_cast<const std::uint8_t*>(leds.data());
  // In place is the row's own bytes exactly; a shifted overlap would overwrite LEDs not yet read.
  if (leds.empty() || channels == nullptr || out.size() < leds.size_bytes() ||
      (internal::Overlap(leds, out) && out.data() != row)) {
    return 0;
  }
  strip::WordsHighFirst<kChannels>(row, leds.size(), channels, out.data());
  return leds.size_bytes();
}

}  // namespace

std::size_t EncodeWs2812Bytes(std::span<const Rgb16> leds, ColorOrder order,
                              std::span<std::uint8_t> out) noexcept {
  return Encode<3>(leds, strip::Channels(order), out);
}

std::size_t EncodeWs2812Bytes(std::span<const Rgbw16> leds, ColorOrder order, WhitePosition white,
                              std::span<std::uint8_t> out) noexcept {
  const auto channels = strip::Channels(order, white);
  return Encode<4>(leds, channels ? channels->data() : nullptr, out);
}

}  // namespace ledcolor
