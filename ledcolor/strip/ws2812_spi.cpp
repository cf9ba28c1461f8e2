#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/strip.h"
#include "ledcolor/strip/order.h"

namespace ledcolor {

namespace {

// Each data bit is three line bits, 1b0, most significant first: so a byte's 24 line bits are the
// fixed 100100... pattern with the byte's bits at positions 22, 19, ... 1. A nibble's four data
// bits, spread to their places, come from a 16-entry table: 32 bytes rather than the 768 of a
// table per byte, which a Cortex-M0+ firmware would feel.
constexpr std::array<std::uint16_t, 16> kSpreadNibble = [] {
  std::array<std::uint16_t, 16> table{};
  for (unsigned n = 0; n < 16; ++n) {
    for (unsigned bit = 0; bit < 4; ++bit) {
      table[n] = static_cast<std::uint16_t>(table[n] | ((n >> bit) & 1U) << (3 * bit + 1));
    }
  }
  return table;
}();

}  // namespace

std::size_t EncodeWs2812Spi(std::span<const Rgb> leds, ColorOrder order,
                            std::span<std::uint8_t> out) noexcept {
  const std::size_t size = Ws2812SpiSize(leds.size());
  const std::uint8_t* channels = strip::Channels(order);
  if (size == 0 || channels == nullptr || out.size() < size || internal::Overlap(leds, out)) {
    return 0;
  }
  const auto* in = reinterpret_cast<const std::uint8_t*>(leds.data());
  std::uint8_t* o = out.data();
  for (std::size_t i = 0; i < leds.size(); ++i, in += 3) {
    for (std::size_t k = 0; k < 3; ++k, o += 3) {
      const std::uint8_t v = in[channels[k]];
      const std::uint32_t bits =
          0x924924U | std::uint32_t{kSpreadNibble[v >> 4]} << 12 | kSpreadNibble[v & 0x0F];
      o[0] = static_cast<std::uint8_t>(bits >> 16);
      o[1] = static_cast<std::uint8_t>(bits >> 8);
      o[2] = static_cast<std::uint8_t>(bits);
    }
  }
  return size;
}

}  // namespace ledcolor
