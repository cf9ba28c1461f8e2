// The light's arithmetic without a division, and the kernels the row forms share: each works on a
// row as the flat run of bytes it is, 3 or 4 a LED. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "ledcolor/internal/sse2.h"
#include "ledcolor/internal/unrolled.h"
#include "ledcolor/light.h"

namespace ledcolor::brightness {

// v * ceiling / 255 without a division: with m = ceil(ceiling * 2^16 / 255), (v * m) >> 16 is
// exactly that quotient for every 8-bit v. m overshoots ceiling / 255 by less than 2^-16, so
// v * m / 2^16 overshoots the true quotient by less than 255 / 2^16, which is less than the 1/255
// that separates its fractional part from the next integer. The unit tests check it over all
// 256 x 256 pairs. At ceiling 255, m is 2^16 (17 bits): the identity, exact in 32-bit arithmetic
// but too wide for a 16-bit vector lane, where the callers treat it apart.
constexpr std::uint32_t CeilingMultiplier(std::uint8_t ceiling) noexcept {
  // 65536 = 255 * 257 + 1, so that is 257 * ceiling + ceil(ceiling / 255): no division, which a
  // Cortex-M0+ has no instruction for.
  return 257U * ceiling + (ceiling != 0 ? 1U : 0U);
}

constexpr std::uint8_t Scale(std::uint8_t v, std::uint32_t multiplier) noexcept {
  return static_cast<std::uint8_t>((std::uint32_t{v} * multiplier) >> 16);
}

// Every byte to table[byte]. There is no vector lookup in baseline x86-64 (that came with SSSE3's
// pshufb, and 16 entries at a time), so the lookups are one byte each. On 64-bit machines they go
// a word at a time, one load and one store a word, each byte back where it was taken from (so the
// byte order does not matter), which keeps a byte's store from stalling the next byte's load; a
// 32-bit microcontroller has no such stall, and takes four bytes a turn of a plain loop.
inline void MapBytes(std::uint8_t* bytes, std::size_t size, const ByteTable& table) noexcept {
  std::size_t i = 0;
  if constexpr (sizeof(void*) == 8) {
    using Word = std::uint64_t;
    for (; size - i >= sizeof(Word); i += sizeof(Word)) {
      Word in = 0;
      std::memcpy(&in, bytes + i, sizeof(Word));
      Word out = 0;
      internal::Unrolled<sizeof(Word)>([&](auto k) {
        constexpr unsigned kShift = 8 * k;
        out |= Word{table[static_cast<std::size_t>((in >> kShift) & 0xFF)]} << kShift;
      });
      std::memcpy(bytes + i, &out, sizeof(Word));
    }
  } else {
    for (; size - i >= 4; i += 4) {
      internal::Unrolled<4>([&](auto k) { bytes[i + k] = table[bytes[i + k]]; });
    }
  }
  for (; i < size; ++i) {
    bytes[i] = table[bytes[i]];
  }
}

// Every byte to ApplyCeiling(byte, ceiling).
void DimBytes(std::uint8_t* bytes, std::size_t size, std::uint8_t ceiling) noexcept;

// Each of `leds` LEDs of 3 or 4 channels to ApplyCeiling(its byte c, ceilings[c]).
template <std::size_t kChannels>
void DimChannels(std::uint8_t* bytes, std::size_t leds,
                 const std::array<std::uint8_t, kChannels>& ceilings) noexcept;

}  // namespace ledcolor::brightness
