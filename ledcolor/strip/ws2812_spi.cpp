#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeWs2812Spi(std::span<const Rgb> leds, ColorOrder order,
                            std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Ws2812SpiSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  strip::SpreadWs2812<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), channels,
                         out.data());
  return size;
}

}  // namespace ledcolor
