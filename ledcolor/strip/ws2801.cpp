#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

std::size_t EncodeWs2801Frame(std::span<const Rgb> leds, ColorOrder order,
                              std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Ws2801FrameSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  // The chips' bytes are the channels in order and nothing else: the latch is the clock held low.
  strip::Reorder<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), channels,
                    out.data());
  return size;
}

}  // namespace ledcolor
