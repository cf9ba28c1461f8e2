#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeWs2812Spi(std::span<const Rgbw> leds, ColorOrder order, WhitePosition white,
                            std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Ws2812SpiSize(leds.size(), 4);
  const auto channels = strip::Channels(order, white);
  if (size == 0 || !channels || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  strip::SpreadWs2812<4>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(),
                         channels->data(), out.data());
  return size;
}

}  // namespace ledcolor
