#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"
#include "ledcolor/strip/words.h"

namespace ledcolor {

namespace {

// The chips' bytes a block at a time, then each byte spread into three, in the order they lie.
template <std::size_t kChannels, typename Color>
std::size_t Encode(std::span<const Color> leds, const std::uint8_t* channels,
                   std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Ws2812SpiSize16(leds.size(), kChannels);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  constexpr std::size_t kBlock = 256;  // LEDs a block: 1.5 or 2 KiB of chip bytes on the stack
  std::array<std::uint8_t, 2 * kChannels * kBlock> bytes{};
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  std::uint8_t* o = out.data();
  for (std::size_t at = 0; at < leds.size(); at += kBlock) {
    const std::size_t n = leds.size() - at < kBlock ? leds.size() - at : kBlock;
    strip::WordsHighFirst<kChannels>(in + 2 * kChannels * at, n, channels, bytes.data());
    const std::size_t chip_bytes = 2 * kChannels * n;
    strip::SpreadBytes(bytes.data(), chip_bytes, o);
    o += 3 * chip_bytes;
  }
  return size;
}

}  // namespace

std::size_t EncodeWs2812Spi(std::span<const Rgb16> leds, ColorOrder order,
                            std::span<std::uint8_t> out) noexcept {
  return Encode<3>(leds, strip::Channels(order), out);
}

std::size_t EncodeWs2812Spi(std::span<const Rgbw16> leds, ColorOrder order, WhitePosition white,
                            std::span<std::uint8_t> out) noexcept {
  const auto channels = strip::Channels(order, white);
  return Encode<4>(leds, channels ? channels->data() : nullptr, out);
}

}  // namespace ledcolor
