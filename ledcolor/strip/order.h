// The channel orders the strip encoders take. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "ledcolor/strip.h"

namespace ledcolor::strip {

// The byte offsets in an Rgb (0 red, 1 green, 2 blue) in the order the chips take them, or nullptr
// for a value that is no ColorOrder.
inline const std::uint8_t* Channels(ColorOrder order) noexcept {
  // In the order of the enumerators: kRgb, kRbg, kGrb, kGbr, kBrg, kBgr.
  // NOLINTNEXTLINE(modernize-avoid-c-arrays)
  static constexpr std::uint8_t kOffsets[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                  {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const auto index = static_cast<std::uint8_t>(order);
  return index < 6 ? kOffsets[index] : nullptr;
}

// The byte offsets in an Rgbw (3 white) in the order the chips take them: the colours in `order`
// with the white at `white`. Nothing for a value that is no ColorOrder or no WhitePosition.
inline std::optional<std::array<std::uint8_t, 4>> Channels(ColorOrder order,
                                                           WhitePosition white) noexcept {
  const std::uint8_t* colours = Channels(order);
  const auto at = static_cast<std::uint8_t>(white);
  if (colours == nullptr || at > 3) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 4> offsets{};
  for (std::size_t k = 0, c = 0; k < 4; ++k) {
    offsets[k] = k == at ? std::uint8_t{3} : colours[c++];
  }
  return offsets;
}

// Spreads each byte of `leds` LEDs of `kChannels` bytes (3 or 4), taken at `offsets` within its
// LED, into the three-SPI-bits-a-bit waveform of a WS2812-class chip: 3 bytes out for each in.
template <std::size_t kChannels>
void SpreadWs2812(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                  std::uint8_t* out) noexcept;

// Spreads `size` bytes, in the order they lie, into the same waveform: 3 bytes out for each in.
void SpreadBytes(const std::uint8_t* in, std::size_t size, std::uint8_t* out) noexcept;

// Writes each LED's bytes at `offsets` in that order, `kChannels` a LED (3 or 4):
// out[c * i + k] = in[c * i + offsets[k]]. `out` may be `in` itself, exactly.
template <std::size_t kChannels>
void Reorder(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
             std::uint8_t* out) noexcept;

}  // namespace ledcolor::strip
